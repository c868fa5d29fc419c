#include "qmsys/handle.h"

#include <vector>

#include "win32_p.h"

namespace qmsys {

bool FileHandle::close() noexcept {
    if (!valid()) {
        return true;
    }
    return ::CloseHandle(reinterpret_cast<HANDLE>(release())) != 0;
}

FolderHandle FolderHandle::open(const std::string& folder) {
    const HANDLE handle = openForQuery(widePath(folder));
    if (handle == INVALID_HANDLE_VALUE) {
        return FolderHandle();
    }
    FileHandle file(nativeOf(handle));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return FolderHandle();
    }
    return FolderHandle(std::move(file));
}

std::wstring folderPathOf(const FolderHandle& folder) {
    const HANDLE handle = handleOf(folder.handle());
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::wstring(buffer.data(), n);
        }
        buffer.resize(n + 1);
    }
}

}  // namespace qmsys
