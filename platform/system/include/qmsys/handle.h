#pragma once
// Owners of what the system hands out for an open file or folder. A handle is closed exactly
// once, by its owner, however the owner's scope ends; nothing outside qmsys closes one by hand.
//
// The native value is a descriptor on POSIX and a HANDLE on Windows, both held in an intptr_t
// with -1 (also INVALID_HANDLE_VALUE) for none, so that this header names no system type.
#include <cstdint>
#include <string>

namespace qmsys {

using NativeHandle = std::intptr_t;
inline constexpr NativeHandle kNoHandle = -1;

// An open file (or folder, pipe, device): move-only, closed when destroyed.
class FileHandle {
public:
    FileHandle() noexcept = default;
    // Takes ownership of native (kNoHandle: none).
    explicit FileHandle(NativeHandle native) noexcept : native_(native) {}
    ~FileHandle() { reset(); }
    FileHandle(FileHandle&& other) noexcept : native_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            native_ = other.release();
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool valid() const noexcept { return native_ != kNoHandle; }
    explicit operator bool() const noexcept { return valid(); }
    NativeHandle native() const noexcept { return native_; }
    // Gives up ownership without closing.
    NativeHandle release() noexcept {
        const NativeHandle native = native_;
        native_ = kNoHandle;
        return native;
    }
    // Closes now (when open); the handle then holds none.
    void reset() noexcept { (void)close(); }
    // Closes now and says whether the system accepted the close: false means data written
    // through the handle may not have reached the file. True when nothing was open.
    bool close() noexcept;

private:
    NativeHandle native_ = kNoHandle;
};

// A folder held open so that its entries are looked up by name: the system then looks up one
// path component per entry instead of walking the folder's whole path again, and the entries
// found are those of this folder even if its path is renamed meanwhile. Default-constructed,
// or when the folder cannot be opened, it holds nothing (isOpen() false).
//
// Functions that take a `const FolderHandle*` look the name they are given up in that folder
// when it is open, and take the name as a whole path otherwise (null or not open).
class FolderHandle {
public:
    FolderHandle() noexcept = default;
    // Adopts handle, which must be an open folder's (or none).
    explicit FolderHandle(FileHandle handle) noexcept
        : handle_(static_cast<FileHandle&&>(handle)) {}
    // Opens folder (a path; "" is the working directory). Not open on failure.
    static FolderHandle open(const std::string& folder);

    bool isOpen() const noexcept { return handle_.valid(); }
    // The system's handle, for qmsys's own use.
    const FileHandle& handle() const noexcept { return handle_; }

private:
    FileHandle handle_;
};

// Whether folder is given and open: names are then looked up in it.
inline bool isOpen(const FolderHandle* folder) noexcept {
    return folder != nullptr && folder->isOpen();
}

}  // namespace qmsys
