// File services over the W functions. Windows reports the error codes the callers expect
// itself (2 for a missing file, 3 for a missing folder on the way, 5, 80, 183, ...).
#include <algorithm>
#include <cstdio>
#include <utility>

#include "qmsys/files.h"
#include "win32_p.h"

namespace qmsys {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// ReadFile and WriteFile take at most a DWORD at once.
constexpr std::size_t kMaxTransfer = 1u << 30;

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens path for reading as a regular file: a folder, a device, a pipe or a console gives
// kErrorAccessDenied. flags: extra CreateFileW flags.
FileHandle openRegular(const std::wstring& path, WinError& error, std::uint64_t* size,
                       DWORD flags = 0) {
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return FileHandle();
    }
    FileHandle file(nativeOf(handle));
    FILE_STANDARD_INFO standard{};
    if (::GetFileType(handle) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) ||
        standard.Directory) {
        error = kErrorAccessDenied;
        return FileHandle();
    }
    if (size) {
        *size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    }
    error = kErrorSuccess;
    return file;
}

// Reads up to count bytes at offset into buffer; the number read, or -1 on failure.
long long readSome(HANDLE handle, std::uint64_t offset, char* buffer, std::size_t count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!::ReadFile(handle, buffer, static_cast<DWORD>(std::min(count, kMaxTransfer)), &n, &at)) {
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return n;
}

// A read or write at an offset moves a synchronous handle's position: these put it back.
struct KeepPosition {
    explicit KeepPosition(HANDLE h) : handle(h) {
        kept = ::SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT) != 0;
    }
    ~KeepPosition() {
        if (kept) {
            ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
        }
    }
    KeepPosition(const KeepPosition&) = delete;
    KeepPosition& operator=(const KeepPosition&) = delete;
    HANDLE handle;
    LARGE_INTEGER position{};
    bool kept = false;
};

// Reads the size bytes file had when it was opened into out, when they are within limit.
WinError readWhole(const FileHandle& file, std::uint64_t size, std::size_t limit,
                   std::string& out) {
    if (size > limit) {
        return kErrorFileTooLarge;
    }
    const WinError error = readAt(file, 0, static_cast<std::size_t>(size), out);
    if (error != kErrorSuccess) {
        out.clear();
    }
    return error;
}

}  // namespace

WinError getFileAttributes(const std::string& path, FileAttributes& out,
                           const FolderHandle* folder) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(lookupPath(path, folder).c_str(), GetFileExInfoStandard, &data)) {
        return lastError();
    }
    FileAttributes attributes;
    attributes.exists = true;
    attributes.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    attributes.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    attributes.lastWriteNs = nanosecondsFromFileTime(data.ftLastWriteTime);
    attributes.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    out = attributes;
    return kErrorSuccess;
}

bool fileExists(const std::string& path) {
    return ::GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isAbsolutePath(std::string_view path) {
    const auto separator = [](char c) { return c == '/' || c == '\\'; };
    if (!path.empty() && separator(path.front())) {
        return true;
    }
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return path.size() >= 3 && letter(path[0]) && path[1] == ':' && separator(path[2]);
}

FileHandle openRegularFile(const std::string& path, WinError& error, std::uint64_t* size) {
    return openRegular(widePath(path), error, size);
}

WinError readAt(const FileHandle& file, std::uint64_t offset, std::size_t count, std::string& out) {
    const HANDLE handle = handleOf(file);
    const KeepPosition keep(handle);
    const std::size_t start = out.size();
    out.resize(start + count);
    std::size_t done = 0;
    while (done < count) {
        const long long n =
            readSome(handle, offset + done, out.data() + start + done, count - done);
        if (n <= 0) {
            const WinError error = n == 0 ? kErrorSuccess : lastError();
            out.resize(start + done);
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

FileBytes::~FileBytes() {
    release();
}

FileBytes::FileBytes(FileBytes&& other) noexcept : read_(std::move(other.read_)) {
    other.release();
}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        read_ = std::move(other.read_);
        other.release();
    }
    return *this;
}

void FileBytes::release() noexcept {
    read_.clear();
}

WinError FileBytes::take(const FileHandle& file, std::size_t count, FileBytes& out) {
    // Read, not mapped: a mapped file could not be replaced by another process meanwhile.
    out.release();
    const WinError error = readAt(file, 0, count, out.read_);
    if (error != kErrorSuccess) {
        out.read_.clear();
    }
    return error;
}

bool writeAll(const FileHandle& file, std::string_view data) {
    while (!data.empty()) {
        DWORD n = 0;
        if (!::WriteFile(handleOf(file), data.data(),
                         static_cast<DWORD>(std::min(data.size(), kMaxTransfer)), &n, nullptr)) {
            return false;
        }
        data.remove_prefix(n);
    }
    return true;
}

bool readAll(const FileHandle& file, std::string& out) {
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(handleOf(file), buffer, sizeof buffer, &n, nullptr)) {
            // The writer of a pipe has closed it: that is its end.
            return ::GetLastError() == ERROR_BROKEN_PIPE;
        }
        if (n == 0) {
            return true;
        }
        out.append(buffer, n);
    }
}

StdioFile openStdioFile(const std::string& path, const char* mode) {
    // "N": not inherited by started programs.
    return StdioFile(::_wfopen(widePath(path).c_str(), wide(std::string(mode) + "N").c_str()));
}

StdioFile openLogFile(const std::string& path) {
    // No FIFOs here, and a file's writes do not wait for a reader.
    return openStdioFile(path, "ab");
}

WinError readRegularFile(const std::string& path, std::size_t limit, std::string& out,
                         const FolderHandle* folder) {
    out.clear();
    WinError error = kErrorSuccess;
    std::uint64_t size = 0;
    const FileHandle file = openRegular(lookupPath(path, folder), error, &size);
    if (!file) {
        return error;
    }
    return readWhole(file, size, limit, out);
}

WinError readOwnFile(const std::string& path, std::size_t limit, std::string& out) {
    out.clear();
    WinError error = kErrorSuccess;
    std::uint64_t size = 0;
    // A link (a reparse point) is opened itself, not followed, and then refused.
    const FileHandle file = openRegular(widePath(path), error, &size, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file) {
        return error;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handleOf(file), &info)) {
        return lastError();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1) {
        return kErrorAccessDenied;
    }
    return readWhole(file, size, limit, out);
}

FileHandle createNewFile(const std::string& path, unsigned permissions) {
    // CREATE_NEW fails on anything at path, a link included. Without the owner-write bit the
    // file is read-only, which this handle may still write.
    const DWORD attributes =
        (permissions & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    const HANDLE handle = ::CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        attributes, nullptr);
    return FileHandle(handle == INVALID_HANDLE_VALUE ? kNoHandle : nativeOf(handle));
}

bool writeAt(const FileHandle& file, std::uint64_t offset, std::string_view data) {
    const HANDLE handle = handleOf(file);
    const KeepPosition keep(handle);
    while (!data.empty()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD n = 0;
        if (!::WriteFile(handle, data.data(),
                         static_cast<DWORD>(std::min(data.size(), kMaxTransfer)), &n, &at)) {
            return false;
        }
        data.remove_prefix(n);
        offset += n;
    }
    return true;
}

bool resizeFile(const FileHandle& file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(handleOf(file), FileEndOfFileInfo, &end, sizeof end) != 0;
}

bool fileSizeAllowed(std::uint64_t) {
    return true;  // Windows has no per-process file size limit
}

FileHandle lockFile(const std::string& path) {
    const HANDLE handle =
        ::CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FileHandle();
    }
    FileHandle file(nativeOf(handle));
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        return FileHandle();
    }
    // Windows' byte-range locks are mandatory: the byte locked lies far past any content, so
    // that others still read and write the file while it is held.
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        return FileHandle();
    }
    return file;
}

LockedFile LockedFile::lock(const std::string& path, Access access, WinError& error) {
    const HANDLE handle =
        ::CreateFileW(widePath(path + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return LockedFile();
    }
    FileHandle lock(nativeOf(handle));
    OVERLAPPED at{};
    if (::GetFileType(handle) != FILE_TYPE_DISK ||
        !::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        error = kErrorAccessDenied;
        return LockedFile();
    }
    // The file itself, as it is under the lock: there for reading, creatable for appending.
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && access == Access::Read) {
        error = lastError();
        return LockedFile();
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = kErrorAccessDenied;
        return LockedFile();
    }
    LockedFile locked;
    locked.path_ = path;
    locked.lock_ = std::move(lock);
    error = kErrorSuccess;
    return locked;
}

bool LockedFile::readAll(std::string& out) const {
    WinError error = kErrorSuccess;
    const FileHandle file = openRegular(widePath(path_), error, nullptr);
    return file && qmsys::readAll(file, out);
}

bool LockedFile::append(std::string_view data) const {
    // Without FILE_WRITE_DATA every write goes to the end.
    const HANDLE handle =
        ::CreateFileW(widePath(path_).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShareAll, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    FileHandle file(nativeOf(handle));
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return false;
    }
    const bool written = writeAll(file, data);
    return file.close() && written;
}

WinError LockedFile::replace(std::string_view data, unsigned permissions) const {
    return replaceFileContents(path_, data, permissions);
}

bool LockedFile::unlock() noexcept {
    return lock_.close();
}

StreamKind standardInputKind() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return StreamKind::Closed;
    }
    DWORD mode = 0;
    switch (::GetFileType(input)) {
        case FILE_TYPE_DISK:
            return StreamKind::File;
        case FILE_TYPE_PIPE:
            return StreamKind::Pipe;
        case FILE_TYPE_CHAR:
            return ::GetConsoleMode(input, &mode) ? StreamKind::Terminal : StreamKind::Device;
        default:
            return StreamKind::Device;
    }
}

WinError createDirectory(const std::string& path) {
    return ::CreateDirectoryW(widePath(path).c_str(), nullptr) ? kErrorSuccess : lastError();
}

WinError createDirectories(const std::string& path) {
    if (path.empty()) {
        return kErrorPathNotFound;
    }
    const std::wstring full = widePath(path);
    if (isDirectory(full)) {
        return kErrorSuccess;
    }
    // Each prefix that ends before a separator, then the whole path. A prefix that cannot be
    // made (a drive, a share, a folder of another user on the way) is passed over: whether
    // the whole path exists at the end decides.
    WinError last = kErrorSuccess;
    for (std::size_t end = full.find(L'\\', 1);; end = full.find(L'\\', end + 1)) {
        const std::wstring prefix = full.substr(0, end);
        if (!prefix.empty() && prefix.back() != L'\\' && prefix.back() != L':' &&
            !::CreateDirectoryW(prefix.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            last = lastError();
        }
        if (end == std::wstring::npos) {
            break;
        }
    }
    if (isDirectory(full)) {
        return kErrorSuccess;
    }
    return last != kErrorSuccess ? last : kErrorAlreadyExists;
}

WinError deleteFile(const std::string& path) {
    const std::wstring name = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return lastError();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return kErrorAccessDenied;
    }
    return ::DeleteFileW(name.c_str()) ? kErrorSuccess : lastError();
}

WinError setReadOnly(const std::string& path, bool readOnly) {
    const std::wstring name = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return lastError();
    }
    const DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                                  : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (wanted != attributes && !::SetFileAttributesW(name.c_str(), wanted)) {
        return lastError();
    }
    return kErrorSuccess;
}

bool mayWrite(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    // A folder's read-only attribute does not keep anyone from making entries in it.
    return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
                                                     (attributes & FILE_ATTRIBUTE_READONLY) == 0);
}

WinError matchOwnerWrite(const std::string& path, const std::string& model) {
    FileAttributes like;
    if (const WinError error = getFileAttributes(model, like); error != kErrorSuccess) {
        return error;
    }
    FileAttributes side;
    if (const WinError error = getFileAttributes(path, side); error != kErrorSuccess) {
        return error;
    }
    if (side.directory || side.special || !side.readOnly || like.readOnly) {
        return kErrorAccessDenied;
    }
    return setReadOnly(path, false);
}

bool stampedByLocalClock(const std::string& folder) {
    wchar_t volume[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameW(folder.empty() ? L"." : widePath(folder).c_str(), volume,
                              MAX_PATH + 1)) {
        return true;
    }
    // A share's files are stamped by the server's clock.
    return ::GetDriveTypeW(volume) != DRIVE_REMOTE;
}

}  // namespace qmsys
