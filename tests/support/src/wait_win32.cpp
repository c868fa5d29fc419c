#include "qmtest/win32.h"

#include <qmsys/file_identity.h>
#include <qmsys/files.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include "qmtest/wait.h"

namespace qmtest {

namespace {

using namespace std::chrono_literals;

}  // namespace

long currentThreadId() {
    return static_cast<long>(::GetCurrentThreadId());
}

bool waitUntilBlocked(long, long, const std::function<bool()>& done, std::chrono::milliseconds) {
    // Windows does not say what a thread waits in; the caller's own checks still hold, only
    // without proof that the thread had got as far as waiting.
    return !done();
}

bool waitForFile(const std::string& path, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return qmsys::fileExists(path); }, timeout);
}

bool waitPastFileTimes(const std::vector<std::string>& paths, std::chrono::milliseconds timeout) {
    // Past them as the file clock's own rule sees it: each stamp's tick has ended.
    std::vector<qmsys::FileIdentity> identities;
    for (const std::string& path : paths) {
        qmsys::FileIdentity identity;
        if (qmsys::identifyFile(path, identity)) {
            identities.push_back(identity);
        }
    }
    return waitUntil(
        [&] {
            const qmsys::FileClockMark now = qmsys::markLocalFileClock();
            return std::all_of(identities.begin(), identities.end(),
                               [&](const qmsys::FileIdentity& i) { return i.stampedBefore(now); });
        },
        timeout, 1ms);
}

namespace {

// The one job of this process, made on first use: a process cannot leave a job, so every
// Descendants of the process's life shares it. Processes started from then on belong to it
// unless they ask to break away, and so do the processes they start.
HANDLE processJob() {
    static const HANDLE job = [] {
        HANDLE created = ::CreateJobObjectW(nullptr, nullptr);
        if (!created || !::AssignProcessToJobObject(created, ::GetCurrentProcess())) {
            throw std::runtime_error("cannot put the test process into a job: error " +
                                     std::to_string(::GetLastError()));
        }
        return created;
    }();
    return job;
}

// The ids of the job's processes other than this one.
std::vector<DWORD> otherJobProcesses() {
    // The list's header, then room for the ids, as QueryInformationJobObject fills it.
    std::vector<ULONG_PTR> buffer(1024);
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    std::vector<DWORD> ids;
    if (!::QueryInformationJobObject(processJob(), JobObjectBasicProcessIdList, list,
                                     static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)),
                                     nullptr) &&
        ::GetLastError() != ERROR_MORE_DATA) {
        return ids;
    }
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
        const auto id = static_cast<DWORD>(list->ProcessIdList[i]);
        if (id != ::GetCurrentProcessId()) {
            ids.push_back(id);
        }
    }
    return ids;
}

}  // namespace

Descendants::Descendants() {
    processJob();
}

Descendants::~Descendants() {
    for (const DWORD id : otherJobProcesses()) {
        if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
            ::TerminateProcess(process, 137);
            ::CloseHandle(process);
        }
    }
    waitForAll(5s);
}

bool Descendants::waitForAll(std::chrono::milliseconds timeout) {
    bool failed = false;
    return waitUntil(
               [&] {
                   JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
                   failed = !::QueryInformationJobObject(processJob(),
                                                         JobObjectBasicAccountingInformation,
                                                         &accounting, sizeof accounting, nullptr);
                   return failed || accounting.ActiveProcesses <= 1;
               },
               timeout, 2ms) &&
           !failed;
}

}  // namespace qmtest
