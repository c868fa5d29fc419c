#pragma once
// Putting a change on a chosen side of the file clock's tick. Whether a reader can tell two
// states of a folder apart by their stamps depends on where the change falls: made in the tick
// of an earlier look, it may keep the stamps that look saw, and only the reader's rule for
// stamps still in their tick saves it; made once that tick is over, it moves a stamp, and the
// reader's identity check sees it. A test that proves "a change between two reads is seen"
// says which of the two it proves (qmtest::waitPastFileTimes for the second) instead of
// leaving it to where the clock happened to stand.
#include <functional>

namespace qmtest {

// Runs attempt until one run of it starts and ends within one tick of the file clock (the
// clock that stamps files; qmsys::markLocalFileClock), calling undo after each run that did
// not fit. Each run starts as a tick begins, which gives it the whole tick. Returns the number
// of runs, or 0 when none of maxRuns fitted: the caller skips, since a machine that cannot do
// the attempt within one tick cannot show the case.
int runWithinOneTick(const std::function<void()>& attempt, const std::function<void()>& undo,
                     int maxRuns = 50);

}  // namespace qmtest
