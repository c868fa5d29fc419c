#include "qmtest/case_pairs.h"

#include <cstdint>
#include <cstdio>

#include <qmsys/text.h>

#include "upcase_table_p.h"

namespace qmtest {

std::vector<CaseRun> upcaseTableRuns() {
    std::vector<CaseRun> runs;
    for (const qmsys::detail::UpcaseRun& run : qmsys::detail::kUpcaseRuns) {
        CaseRun& out = runs.emplace_back();
        char label[16];
        std::snprintf(label, sizeof label, "U+%04X", static_cast<unsigned>(run.first));
        out.label = label;
        for (char32_t c = run.first; c <= run.last; c += run.stride) {
            qmsys::appendUtf8(out.small, c);
            qmsys::appendUtf8(out.capital,
                              static_cast<char32_t>(static_cast<std::int32_t>(c) + run.delta));
        }
    }
    return runs;
}

}  // namespace qmtest
