#include "app/crash_guard.h"

#include <qmsys/files.h>

#include <algorithm>
#include <string_view>

#include "environment/path_util.h"

namespace qm {

namespace {

// The most of a record that is read; also the most this guard writes, which holds any record
// but one with a name of thousands of characters (cut, see record()).
constexpr std::size_t kRecordBytes = 4096;

// "key NUL display name NUL", the name cut to fit the marker; empty when not even the key fits
// (the module then goes unguarded).
std::string record(const CrashGuard::Module& module) {
    constexpr std::size_t kFixed = 2;  // the two NULs
    if (module.key.empty() || module.key.size() + kFixed > kRecordBytes) {
        return {};
    }
    const std::size_t room = kRecordBytes - kFixed - module.key.size();
    // The name ends at its first NUL, if any, and at the room left.
    const std::string_view name = std::string_view(module.displayName)
                                      .substr(0, std::min(module.displayName.find('\0'), room));
    std::string text;
    text.reserve(module.key.size() + name.size() + kFixed);
    text.append(module.key).push_back('\0');
    text.append(name).push_back('\0');
    return text;
}

}  // namespace

CrashGuard::CrashGuard(std::string folder)
    : folder_(std::move(folder)), file_(folder_ + "/bringing-up") {}

std::string CrashGuard::defaultFolder() {
    return path::userStateFolder();
}

CrashGuard::~CrashGuard() {
    end();
}

bool CrashGuard::own() {
    if (!tried_) {
        tried_ = true;
        qmsys::createDirectories(folder_);
        lock_ = qmsys::lockFile(file_ + ".lock");
    }
    return lock_.valid();
}

std::optional<CrashGuard::Module> CrashGuard::takeInterrupted() {
    if (!own()) {
        return std::nullopt;
    }
    std::string text;
    const qmsys::WinError read = qmsys::readOwnFile(file_, kRecordBytes, text);
    // Answered once, and out of the way of this start's records: whatever stands under the
    // name goes (a link itself, not what it names).
    if (read != qmsys::kErrorFileNotFound) {
        qmsys::deleteFile(file_);
    }
    // The key up to its NUL, whole (line breaks included), and the name up to the next. No
    // NUL after the key: a record cut short, naming nobody.
    const std::size_t keyEnd = text.find('\0');
    if (read != qmsys::kErrorSuccess || keyEnd == 0 || keyEnd == std::string::npos) {
        return std::nullopt;
    }
    Module module;
    module.key = text.substr(0, keyEnd);
    const std::size_t nameEnd = text.find('\0', keyEnd + 1);
    module.displayName = text.substr(
        keyEnd + 1, nameEnd == std::string::npos ? std::string::npos : nameEnd - keyEnd - 1);
    return module;
}

void CrashGuard::begin(const Module& module) {
    end();
    const std::string text = record(module);
    if (!text.empty() && own()) {
        recorded_ = qmsys::createFileWith(file_, text, 0600) == qmsys::kErrorSuccess;
    }
}

void CrashGuard::end() {
    if (recorded_) {
        recorded_ = false;
        qmsys::deleteFile(file_);
    }
}

}  // namespace qm
