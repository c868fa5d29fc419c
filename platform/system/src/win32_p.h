#pragma once
// The Windows side of qmsys's sources: text crosses into the W functions as UTF-16 and comes
// back as UTF-8; handles live in FileHandle's intptr_t; times are FILETIME ticks.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "qmsys/file_identity.h"
#include "qmsys/handle.h"
#include "qmsys/text.h"
#include "qmsys/winerror.h"

namespace qmsys {

// UTF-8 text as the W functions take it; what is no UTF-8 becomes U+FFFD (see utf8ToUtf16).
inline std::wstring wide(std::string_view utf8) {
    const std::u16string units = utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

// A path as the W functions take it: the '/' the rest of the product writes becomes '\',
// which every W function and the "\\?\" form accept.
inline std::wstring widePath(std::string_view utf8) {
    std::wstring path = wide(utf8);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

// UTF-16 from the system as UTF-8; unpaired surrogates become U+FFFD.
inline std::string narrow(std::wstring_view text) {
    std::u16string units(text.begin(), text.end());
    return utf16ToUtf8(units);
}

inline HANDLE handleOf(const FileHandle& file) {
    return reinterpret_cast<HANDLE>(file.native());
}

inline NativeHandle nativeOf(HANDLE handle) {
    return reinterpret_cast<NativeHandle>(handle);
}

// GetLastError() as qmsys reports it: never 0, since the caller saw a failure.
inline WinError lastError() {
    const DWORD error = ::GetLastError();
    return error == 0 ? kErrorGenFailure : static_cast<WinError>(error);
}

// FILETIME ticks (100 ns since 1601) and nanoseconds since 1970.
inline constexpr std::int64_t kTicksTo1970 = 116444736000000000LL;
inline std::int64_t nanosecondsFromTicks(std::int64_t ticks) {
    return (ticks - kTicksTo1970) * 100;
}
inline std::int64_t nanosecondsFromFileTime(const FILETIME& time) {
    return nanosecondsFromTicks(static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime));
}

// The path of the open folder, for names looked up in it: the W functions have no *at()
// form. Empty when the system cannot say.
std::wstring folderPathOf(const FolderHandle& folder);

// The path a name is looked up by: in the open folder when one is given, else name itself.
inline std::wstring lookupPath(const std::string& name, const FolderHandle* folder) {
    if (!isOpen(folder)) {
        return widePath(name);
    }
    return folderPathOf(*folder) + L'\\' + widePath(name);
}

// Opens path, a file or a folder, following links, only to ask for its attributes and to look
// names up in it: no further access rights, and every kind of sharing, so that nobody is kept
// from the file. INVALID_HANDLE_VALUE on failure.
inline HANDLE openForQuery(const std::wstring& path) {
    // Folders open only with FILE_FLAG_BACKUP_SEMANTICS.
    return ::CreateFileW(path.empty() ? L"." : path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The identity of the open file or folder; false when the system cannot give it.
bool identityOfHandle(HANDLE handle, FileIdentity& out);

}  // namespace qmsys
