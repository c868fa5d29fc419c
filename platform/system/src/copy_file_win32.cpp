// CopyFileW into a temporary name beside the destination, then MoveFileExW onto it: CopyFileW
// gives the copy the source's last-write time and attributes (read-only among them), and the
// move puts the whole copy under its name in one step.
#include <atomic>

#include "qmsys/files.h"
#include "win32_p.h"

namespace qmsys {

namespace {

// The folder part of a path, with the separator that ends it; empty for a bare name.
std::wstring folderPart(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\:");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring namePart(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\:");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// A name in target's folder that no other copy of this process or of another uses now.
std::wstring temporaryName(const std::wstring& target) {
    static std::atomic<unsigned> counter{0};
    return folderPart(target) + L"." + namePart(target) + L".qmtmp-" +
           std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

// Removes a temporary file, read-only or not.
void removeTemporary(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

}  // namespace

WinError copyFile(const std::string& src, const std::string& dst, bool failIfExists,
                  LetterCaseIndex* /*names: the system finds names in any letter case*/) {
    const std::wstring source = widePath(src);
    std::wstring target = widePath(dst);
    WinError error = kErrorSuccess;
    if (!openRegularFile(src, error)) {
        return error;  // missing, a folder or no file at all: as CopyFileW reports it
    }
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (failIfExists) {
            return kErrorFileExists;
        }
        if ((existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            return kErrorAccessDenied;
        }
        // CopyFileW overwrites the existing file in place, so it keeps its name when dst is
        // written in another letter case; a rename over it would take dst's spelling instead.
        WIN32_FIND_DATAW found{};
        const HANDLE find = ::FindFirstFileW(target.c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            ::FindClose(find);
            const std::size_t slash = target.find_last_of(L"\\/");
            target = (slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1)) +
                     found.cFileName;
        }
    }
    const std::wstring temporary = temporaryName(target);
    if (!::CopyFileW(source.c_str(), temporary.c_str(), TRUE)) {
        error = lastError();
        removeTemporary(temporary);
        return error;
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                       failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING)) {
        error = lastError();
        removeTemporary(temporary);
        return error == ERROR_ALREADY_EXISTS ? kErrorFileExists : error;
    }
    return kErrorSuccess;
}

void removeAbandonedTemporaries(const std::string& path) {
    const std::wstring target = widePath(path);
    const std::wstring pattern = folderPart(target) + L"." + namePart(target) + L".qmtmp-*";
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        // A writer keeps its temporary file open without sharing it: that one cannot go.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ::DeleteFileW((folderPart(target) + found.cFileName).c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

WinError replaceFileContents(const std::string& path, std::string_view data, unsigned permissions) {
    const std::wstring target = widePath(path);
    const std::wstring temporary = temporaryName(target);
    const HANDLE handle = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    FileHandle file(nativeOf(handle));
    WinError error = kErrorSuccess;
    if (!writeAll(file, data) || !file.close()) {
        error = lastError();
    } else if ((permissions & 0200) == 0 &&
               !::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_READONLY)) {
        error = lastError();
    } else if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = lastError();
    }
    if (error != kErrorSuccess) {
        file.reset();
        removeTemporary(temporary);
    }
    return error;
}

}  // namespace qmsys
