#pragma once
// The library's one channel for store problems (see QmEnSetReportSink).
#include <string>

namespace qmenv::detail {

// Hands message to the sink unless the same message was reported before in this process.
void reportOnce(const std::string& message);

}  // namespace qmenv::detail
