#pragma once
// File services with Windows semantics, over POSIX. Every path is an absolute or relative
// native path; nothing here consults or changes the process working directory beyond what a
// relative path itself implies.
//
// Letter case: opening, reading the attributes of, listing and copying a whole path find the
// entry whatever letter case the path is written in, as on Windows (qmsys/letter_case.h): the
// path as written first, a component missing as written by its folded name. A name looked up
// in an open folder (FolderHandle) is taken as written: it comes from a listing of that folder,
// or its caller resolves it with the index of its pass.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qmsys/handle.h"
#include "qmsys/winerror.h"

namespace qmsys {

class LetterCaseIndex;

struct FileAttributes {
    bool exists = false;
    bool directory = false;
    bool special = false;          // neither a file nor a folder: a FIFO, a device, a socket
    bool readOnly = false;         // no owner-write permission bit
    std::int64_t lastWriteNs = 0;  // modification time, nanoseconds since the epoch
    std::uint64_t size = 0;
};

// Reads the attributes of path. Returns kErrorSuccess or the mapped error (2, 3, 5, ...).
// folder: when open, path is a name looked up in it (see FolderHandle).
WinError getFileAttributes(const std::string& path, FileAttributes& out,
                           const FolderHandle* folder = nullptr);

// True when path names an existing file or folder.
bool fileExists(const std::string& path);
// True when path names an existing file or folder as written, without the letter-case rule:
// for a path handed on to a library that opens it as written (the registry's SQLite store).
bool existsAsWritten(const std::string& path);

// Whether path names its place without a folder to start from, so that appending it to a
// folder gives path itself (PathAppendW): one that starts with a separator, and on Windows
// also a drive's path ("C:/x", "C:\\x"). Either separator counts on Windows, only '/'
// elsewhere.
bool isAbsolutePath(std::string_view path);
// path made absolute against the process's current folder (a path that is absolute already is
// kept), then tidied as text: "." and "x/.." parts and doubled separators go, separators are
// written as '/'. On Windows the drive letter is upper-cased ("c:/x" and "C:/x" are one file).
// The file system is not asked whether the path exists. kErrorSuccess, or the error that kept
// the current folder from being told (it was removed); out is then untouched.
WinError absolutePath(const std::string& path, std::string& out);
// path tidied as text as absolutePath tidies it, without making it absolute.
std::string tidyPath(const std::string& path);

// Opens path for reading as a regular file. The open never blocks (a FIFO or a device in
// place of a file is refused, not waited on) and the type is checked on the open descriptor,
// so a file swapped in between cannot slip through. Returns the open file (not inherited by
// started programs, blocking reads) and its size at opening, or no handle with error set:
// kErrorAccessDenied for anything but a regular file, else the mapped errno.
FileHandle openRegularFile(const std::string& path, WinError& error, std::uint64_t* size = nullptr);

// Reads the regular file path into out (see openRegularFile); a file larger than limit gives
// kErrorFileTooLarge and leaves out empty.
// Reads no more than the size the file had when it was opened, so a file that grows while
// being read cannot keep the reader busy.
// folder: when open, path is a name looked up in it; a reader of many files of one folder
// saves looking up the folder's path for each.
WinError readRegularFile(const std::string& path, std::size_t limit, std::string& out,
                         const FolderHandle* folder = nullptr);

// Appends to out up to count bytes of file from offset on, fewer where the file ends first.
// Leaves the file's position alone. On failure returns the mapped error; out then holds what
// was read before it.
WinError readAt(const FileHandle& file, std::uint64_t offset, std::size_t count, std::string& out);

// The bytes of a regular file from its start, read-only, for as long as the object lives. On
// POSIX they are mapped: no copy and no zero-filled pages, only the file's cached pages
// (docs/PERFORMANCE.md: the snapshot mapped); on Windows they are read into memory, as Windows
// refuses to replace a file while a view of it is mapped, and a concurrent writer may replace
// it at any time. For files that are only ever replaced whole (replaceFileContents): a mapped
// file that something cuts short in place faults at the next access past its new end.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // The first count bytes of file (fewer when it ends first), into out. On failure returns
    // the mapped error, and out holds nothing.
    static WinError take(const FileHandle& file, std::size_t count, FileBytes& out);

    std::string_view view() const {
        return mapped_ ? std::string_view(static_cast<const char*>(mapped_), mappedSize_)
                       : std::string_view(read_);
    }

private:
    void release() noexcept;

    void* mapped_ = nullptr;  // POSIX: the mapping, of mappedSize_ bytes
    std::size_t mappedSize_ = 0;
    std::string read_;  // the bytes read: on Windows, or where a file cannot be mapped
};

// Writes all of data to file at its position, going on after interruptions and short writes.
// False when a write fails (errno set on POSIX); part of data may have been written by then.
bool writeAll(const FileHandle& file, std::string_view data);

// Reads file to its end and appends what it read to out, going on after interruptions. False
// when a read fails; out then holds what came before. file must reach an end (a regular file,
// a closed pipe): nothing here bounds the wait.
bool readAll(const FileHandle& file, std::string& out);

// A C stream (fopen) on the file named by path, a UTF-8 name on every system (Windows' narrow
// functions would take it in the ANSI code page), not inherited by started programs. mode as
// for fopen ("rb", "ab", ...). Null on failure.
struct StdioFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileClose>;
StdioFile openStdioFile(const std::string& path, const char* mode);

// A stream that appends to path (created when missing) for a log that must never hold its
// writer up: a FIFO that nobody reads gives no stream rather than a wait for a reader, and
// writes to anything but a regular file never wait either (what a full pipe cannot take is
// lost). Null on failure.
StdioFile openLogFile(const std::string& path);

// Reads the file path into out as readRegularFile does, but only a file of its own: a symbolic
// link at path, or a file with more than one name, gives kErrorAccessDenied, so that nothing
// planted under the name by another program is read through it.
WinError readOwnFile(const std::string& path, std::size_t limit, std::string& out);

// Creates the file path, empty, for writing, with permissions (POSIX bits, as for
// replaceFileContents). Exclusive: anything at path, a link included, gives no handle and is
// neither followed nor written.
FileHandle createNewFile(const std::string& path, unsigned permissions);

// Writes all of data to file at offset (not moving its position); false when a write fails.
bool writeAt(const FileHandle& file, std::uint64_t offset, std::string_view data);

// Cuts or extends file to size bytes; false when the system refuses. Cutting needs no free
// space, so it works on a full disk.
bool resizeFile(const FileHandle& file, std::uint64_t size);

// Whether this process may make a file of size bytes: past its file size limit a write ends
// the process (SIGXFSZ) instead of failing.
bool fileSizeAllowed(std::uint64_t size);

// A lock on the file path (created with mode 0600 when missing), taken without waiting and
// held while the handle lives; the system releases it when the process ends, however it ends.
// No handle when another holder has it, or when path is anything but a regular file with one
// name (a link of either kind, a FIFO): nothing planted under the name is waited on or locked.
// The file is never removed: another process may be about to lock it.
FileHandle lockFile(const std::string& path);

// A file that several processes change in turns (a journal): each change, an append or the
// whole file replaced, is made while holding the file's lock. The lock is waited for, held
// while the object lives, and released by the system when the process ends, however it ends.
// Only other LockedFile holders respect it: readers that do not lock read the file meanwhile.
// Only a regular file is used: nothing waits on a FIFO, and a folder or a device in the file's
// place gives kErrorAccessDenied. Nothing is inherited by started programs. Move-only.
//
// POSIX: the lock is on the file itself (flock). A file renamed over path while the lock was
// awaited (by replace()) is no longer the one under the name: the lock is then taken again on
// the file path names. Windows: a file that is open cannot be renamed over, so the lock lies
// on a file of its own beside it, path + ".lock" (made when first needed, never removed), and
// the file itself is opened only for each read or append.
class LockedFile {
public:
    enum class Access {
        Read,    // an existing file, to read and then maybe replace
        Append,  // created (mode 0644) when missing, its folder not: appends go to the end
    };

    LockedFile() noexcept = default;
    // Waits for path's lock. Not locked on failure, with error set (kErrorFileNotFound for a
    // missing file with Access::Read, kErrorPathNotFound for a missing folder, ...).
    static LockedFile lock(const std::string& path, Access access, WinError& error);

    bool isLocked() const noexcept { return lock_.valid(); }
    // Appends the whole file to out (Access::Read). False when a read fails; out then holds
    // what came before.
    bool readAll(std::string& out) const;
    // Writes data at the end of the file (Access::Append), going on after short writes.
    bool append(std::string_view data) const;
    // Replaces the file by one holding data (replaceFileContents). Last: from then on, holders
    // of the new file are not excluded any more, so nothing else is done under this lock.
    WinError replace(std::string_view data, unsigned permissions) const;
    // Gives the lock up now. False when the system reported a failure closing the file: data
    // appended may not have reached it. True when nothing was locked.
    bool unlock() noexcept;

private:
    std::string path_;
    FileHandle lock_;  // POSIX: the file, locked; Windows: the lock file beside it
};

// What this process's standard input is connected to.
enum class StreamKind {
    Closed,    // nothing
    Terminal,  // a console someone may type into
    Pipe,
    File,    // a regular file
    Socket,  // on POSIX; Windows reports a socket as a pipe
    Device,  // another device (/dev/null, NUL)
};
StreamKind standardInputKind();

// Copies src to dst as CopyFileW does: the copy gets the source's modification time (full
// nanosecond precision) and permission bits. With failIfExists an existing destination gives
// kErrorFileExists (80). The data is written to a temporary name in the destination folder and
// renamed into place, so a reader never sees a half-written copy under the final name.
// A destination that exists in another letter case is that entry: failIfExists gives 80, and
// otherwise its content is replaced and its name kept, as CopyFileW onto NTFS keeps the name
// of the file it overwrites. names: the index of the caller's pass, which the lookup of the
// destination uses and which learns of the copy; without one, the folder of a destination
// missing as written is listed for this call.
// As on Windows, a read-only or folder destination is not replaced (kErrorAccessDenied), a
// folder source gives kErrorAccessDenied, and a missing source gives 2 (3 when its folder is
// missing too). Only a regular file is copied (anything else gives kErrorAccessDenied, without
// waiting on it), and no more than the size it had when the copy began. A copy that fails
// leaves no temporary file behind.
WinError copyFile(const std::string& src, const std::string& dst, bool failIfExists,
                  LetterCaseIndex* names = nullptr);

// Replaces path by a file holding data, in one step for readers. The data goes to a new file
// of its own, created exclusively under a unique name in path's folder, so that nothing planted
// there (a link to another file, a FIFO) is followed or written through; it gets mode and is
// renamed over path (replacing an existing file, also on Windows). A link at path is
// replaced, not followed. A failure leaves path as it was and no temporary file behind. No
// sync: the file survives the death of the process, not necessarily that of the machine.
// permissions: the POSIX permission bits (0600: the user's own), ignored where there are none.
// This is the one way files are replaced whole; nothing else renames over an existing file.
WinError replaceFileContents(const std::string& path, std::string_view data, unsigned permissions);

// Removes the temporary files that replaceFileContents and copyFile left beside path when the
// process writing them was killed. A temporary file that a living writer still holds stays.
void removeAbandonedTemporaries(const std::string& path);

// Whether the times of the files in folder are stamped by this machine's clock, as on the
// local disk and memory file systems. False on network and user-space (FUSE) file systems and
// on any kind not known to be local: their stamps may come from a server's clock, which need
// not agree with this one. True when folder cannot be examined (nothing in it can be read).
bool stampedByLocalClock(const std::string& folder);

// CreateDirectoryW: one level only; an existing folder gives kErrorAlreadyExists (183), a
// missing parent kErrorPathNotFound (3).
WinError createDirectory(const std::string& path);

// Creates every missing folder along path. kErrorSuccess when the folder exists afterwards.
// The one way folders are made along a path.
WinError createDirectories(const std::string& path);

// DeleteFileW: removes a file. A folder or a read-only file gives kErrorAccessDenied, so
// callers that mean to delete a read-only file clear the attribute first.
WinError deleteFile(const std::string& path);

// Sets or clears the read-only attribute (the owner-write bit); other bits are kept.
WinError setReadOnly(const std::string& path, bool readOnly);
// Whether this process may write path, an existing file or folder (for a folder: make and
// remove entries in it), as its effective user: access(W_OK) on POSIX, no read-only attribute
// on Windows. False for a missing path.
bool mayWrite(const std::string& path);
// Gives path the permission bits of model, but only when path is this user's own regular file
// that its owner may not write: what a reader left beside model while model was write-protected
// (an SQLite store's -wal and -shm), once model may be written again. path is opened without
// following a link and without waiting on a FIFO, and its type and owner are checked on the open
// file, so nothing planted under the name is changed. kErrorSuccess when changed; anything but
// such a file gives kErrorAccessDenied, a missing one kErrorFileNotFound. Windows: the
// read-only attribute is cleared when model has none.
WinError matchOwnerWrite(const std::string& path, const std::string& model);

// FindFirstFileW/FindNextFileW over one folder: returns the names (not paths) of the entries
// of folder whose names match pattern, '*' and '?' wildcards, letters compared without regard
// to case as NTFS compares them (upcaseName). "." and ".." are never returned. Results come in
// NTFS order: sorted by upper-cased name in UTF-16 code-unit order, so that results are
// deterministic. A missing folder yields an empty list. The folder is opened by its path; the
// working directory is neither used (beyond a relative folder) nor changed.
std::vector<std::string> findFiles(const std::string& folder, const std::string& pattern);

// LetterCaseIndex::resolve (qmsys/letter_case.h) for one path, listing what it needs.
std::string resolveLetterCase(const std::string& path);

// Wildcard match of name against pattern ('*', '?' for one character), letters compared
// without regard to case as NTFS compares them (upcaseName). A trailing ".*" also matches names
// without that dot, so "*.*" matches every name, as on Windows.
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace qmsys
