#pragma once
// What tells one state of a file from another without reading it, and whether that can be
// trusted: a file changed again within the tick of the clock its stamps come from may keep
// the stamps it had (the racy-timestamp rule). This is the one home of that rule; the folder
// index and the catalogue snapshot both ask it.
#include <cstdint>
#include <string>

#include "qmsys/handle.h"

namespace qmsys {

// A point on the clock that file times are stamped with, at its earliest for the file system
// it was taken for (see markFileClock).
struct FileClockMark {
    std::int64_t ns = 0;  // nanoseconds since the epoch
    bool operator==(const FileClockMark&) const = default;
};

// A file's identity: a change of its content, its metadata or the file behind its name moves
// at least one field. Times in nanoseconds since the epoch.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;  // status change (any write, rename, link count, mode)
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    // The upper half of a 128-bit file id (ReFS on Windows); 0 where ids have 64 bits.
    std::uint64_t inodeHigh = 0;
    bool operator==(const FileIdentity&) const = default;

    // Whether both stamps were taken in clock ticks that had ended by mark, so that any change
    // from mark on moves a stamp and shows. A file system stamps in ticks of its own
    // (nanoseconds on ext4, 10 ms on exFAT, whole seconds on many shares, two seconds on FAT);
    // the longest tick a stamp may come from shows in the stamp: one without a fraction of a
    // second may be from a two-second clock, one whose fraction ends in zeros from a clock of
    // that tick (a finer stamp that happens to end in zeros only costs a read).
    bool stampedBefore(FileClockMark mark) const;
};

// The identity of name: looked up in folder when it is open, else name is a whole path. False
// when it cannot be had (missing, no permission). Links are followed.
bool identifyFile(const std::string& name, FileIdentity& out, const FolderHandle* folder = nullptr);
// The identity of the open folder itself. False when it is not open or cannot be had.
bool identifyFolder(const FolderHandle& folder, FileIdentity& out);

// Now, on the clock that stamps the files in folder, at its earliest: this machine's clock for
// a local file system; ten minutes earlier where stamps may come from another machine's clock
// (a share, see stampedByLocalClock), since a server clock lagging by less than that must not
// hide a change either. Domain shares refuse clocks five minutes apart, others keep time by
// NTP; the cost is that a file changed within that time of the mark is read once more.
FileClockMark markFileClock(const std::string& folder);
// Now on this machine's file clock (the coarse clock the kernel stamps files with), for
// folders known to be local.
FileClockMark markLocalFileClock();

}  // namespace qmsys
