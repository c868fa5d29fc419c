// Starting programs with CreateProcessW. With no application name, CreateProcessW itself
// reads the program from the command line (a quoted name up to its closing quote, an unquoted
// one tried at every blank), appends ".exe" and searches the usual folders and PATH; the
// program splits the rest of the line as CommandLineToArgvW does.
#include <vector>

#include "qmsys/process.h"
#include "win32_p.h"

namespace qmsys {

namespace {

WinError create(const std::string& commandLine, DWORD flags, int* pid) {
    if (commandLine.find_first_not_of(" \t") == std::string::npos) {
        return kErrorFileNotFound;
    }
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring line = wide(commandLine);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // No handles are inherited; a Windows process leaves no zombie, so the handles to it are
    // closed at once.
    if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                          flags | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr, &startup,
                          &started)) {
        const WinError error = lastError();
        // A program named by a path whose folder is missing is 3, as the file services
        // report it (Wine says 2 for both).
        if (error == kErrorFileNotFound) {
            const std::string program = splitCommandLine(commandLine).front();
            const std::size_t separator = program.find_last_of("/\\");
            if (separator != std::string::npos && separator > 0) {
                const DWORD folder =
                    ::GetFileAttributesW(widePath(program.substr(0, separator)).c_str());
                if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                    return kErrorPathNotFound;
                }
            }
        }
        return error;
    }
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    if (pid) {
        *pid = static_cast<int>(started.dwProcessId);
    }
    return kErrorSuccess;
}

}  // namespace

WinError startProcess(const std::string& commandLine, int* pid) {
    return create(commandLine, 0, pid);
}

WinError startDetached(const std::string& program, const std::vector<std::string>& arguments,
                       int* pid) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // Without the console and outside the caller's process group: no console to read, and a
    // Ctrl+C in the caller's console does not reach the program.
    return create(joinCommandLine(argv), DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, pid);
}

}  // namespace qmsys
