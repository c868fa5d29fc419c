// File identities from the file's handle: its times, its size and its 128-bit id.
#include <cstring>

#include "qmsys/file_identity.h"
#include "win32_p.h"

namespace qmsys {

namespace {

// How far this machine's clock may be ahead of the stamps that changes made now get: NTFS
// stamps from the system time as of the last timer tick (15.6 ms by default), and a Linux file
// system seen through Wine from its coarse clock (a few milliseconds), while the clock read
// here may be precise.
constexpr std::int64_t kStampLagNs = 20'000'000;

}  // namespace

bool identityOfHandle(HANDLE handle, FileIdentity& out) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        return false;
    }
    FileIdentity identity;
    identity.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    identity.modifiedNs = nanosecondsFromTicks(basic.LastWriteTime.QuadPart);
    identity.changedNs = nanosecondsFromTicks(basic.ChangeTime.QuadPart);
    FILE_ID_INFO id{};
    if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        std::uint64_t halves[2];
        static_assert(sizeof halves == sizeof id.FileId.Identifier);
        std::memcpy(halves, id.FileId.Identifier, sizeof halves);
        identity.inode = halves[0];
        identity.inodeHigh = halves[1];
        identity.device = id.VolumeSerialNumber;
    } else {
        // File systems without 128-bit ids (FAT) give the 64-bit index.
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(handle, &info)) {
            return false;
        }
        identity.inode =
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        identity.device = info.dwVolumeSerialNumber;
    }
    out = identity;
    return true;
}

bool identifyFile(const std::string& name, FileIdentity& out, const FolderHandle* folder) {
    const HANDLE handle = openForQuery(lookupPath(name, folder));
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const FileHandle file(nativeOf(handle));
    return identityOfHandle(handle, out);
}

bool identifyFolder(const FolderHandle& folder, FileIdentity& out) {
    return folder.isOpen() && identityOfHandle(handleOf(folder.handle()), out);
}

FileClockMark markLocalFileClock() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return FileClockMark{nanosecondsFromFileTime(now) - kStampLagNs};
}

}  // namespace qmsys
