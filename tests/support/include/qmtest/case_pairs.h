#pragma once
// Every run of the upper-case table that file and registry names fold through, as text a test
// can name things with: for each run, its small letters and their capitals, in order. Tests
// that names are one in either case take every run from here, not a sample.
#include <string>
#include <vector>

namespace qmtest {

struct CaseRun {
    std::string label;    // "U+0101": the run's first code point
    std::string small;    // the run's code points, UTF-8
    std::string capital;  // what each folds to, UTF-8
};

std::vector<CaseRun> upcaseTableRuns();

}  // namespace qmtest
