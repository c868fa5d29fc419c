// Reading a folder's entries with FindFirstFileExW. NTFS lists a folder in its name order,
// other file systems (FAT, a share, Wine's view of a Linux folder) in their own, so entries
// are always put in NTFS order here.
#include "find_files_p.h"
#include "qmsys/files.h"
#include "win32_p.h"

namespace qmsys {

namespace {

EntryKind kindOf(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::Unknown;  // a link: what it names decides
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder : EntryKind::File;
}

bool isDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Every entry of folder but "." and ".."; false when it cannot be listed.
bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                const std::string* pattern) {
    std::wstring search = folder.empty() ? L"." : widePath(folder);
    search += L"\\*";
    WIN32_FIND_DATAW data{};
    // Names are matched here, by the same rules on every system; the basic information level
    // skips the short 8.3 names, which Windows' own matching would also take into account.
    const HANDLE find =
        ::FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // A drive's root has no "." entry, so an empty one has nothing to find.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        if (isDotOrDotDot(data.cFileName)) {
            continue;
        }
        std::string name = narrow(data.cFileName);
        if (pattern && !wildcardMatch(*pattern, name)) {
            continue;
        }
        entries.push_back(FolderEntry{std::move(name), kindOf(data.dwFileAttributes)});
    } while (::FindNextFileW(find, &data));
    const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(find);
    return complete;
}

}  // namespace

bool entryExists(const std::string& path) {
    return ::GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool existsAsWritten(const std::string& path) {
    return entryExists(path);
}

bool readFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                const std::string* pattern) {
    entries.clear();
    if (!listFolder(folder, entries, pattern)) {
        entries.clear();
        return false;
    }
    sortNtfs(entries);
    return true;
}

bool readFolderWithStatus(const std::string& folder, std::vector<FolderEntry>& entries,
                          FileIdentity& opened, FileHandle* keep) {
    entries.clear();
    if (keep) {
        keep->reset();
    }
    // The identity is taken from the open folder before its entries are read, so that a
    // change while they are read shows at the next look.
    FileHandle handle(nativeOf(openForQuery(widePath(folder))));
    if (!handle.valid() || !identityOfHandle(handleOf(handle), opened) ||
        !listFolder(folder, entries, nullptr)) {
        entries.clear();
        return false;
    }
    if (keep) {
        *keep = std::move(handle);
    }
    return true;
}

}  // namespace qmsys
