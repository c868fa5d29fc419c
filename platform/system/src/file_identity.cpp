#include "qmsys/file_identity.h"

#include <limits>

#include "qmsys/files.h"

namespace qmsys {

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
// How far a share's clock may lag this machine's (see markFileClock).
constexpr std::int64_t kForeignClockAllowanceNs = 600 * kSecond;

// The longest clock tick that stamp may come from (see FileIdentity::stampedBefore).
std::int64_t longestTickOf(std::int64_t stamp) {
    std::int64_t fraction = stamp % kSecond;
    if (fraction < 0) {
        fraction += kSecond;
    }
    if (fraction == 0) {
        return 2 * kSecond;
    }
    std::int64_t tick = 1;
    while (tick < kSecond / 10 && fraction % (tick * 10) == 0) {
        tick *= 10;
    }
    return tick;
}

// Whether the tick stamp was taken in had ended by mark: a change from mark on gets a later
// stamp.
bool stampEndedBy(std::int64_t stamp, std::int64_t mark) {
    const std::int64_t tick = longestTickOf(stamp);
    const std::int64_t threshold =
        mark < std::numeric_limits<std::int64_t>::min() + tick ? mark : mark - tick;
    return stamp <= threshold;
}

}  // namespace

bool FileIdentity::stampedBefore(FileClockMark mark) const {
    return stampEndedBy(modifiedNs, mark.ns) && stampEndedBy(changedNs, mark.ns);
}

FileClockMark markFileClock(const std::string& folder) {
    FileClockMark mark = markLocalFileClock();
    if (!stampedByLocalClock(folder)) {
        mark.ns -= kForeignClockAllowanceNs;
    }
    return mark;
}

}  // namespace qmsys
