#pragma once
// The one message that Apply shows for the events that failed: a paragraph per failure for
// the first 40, then a single line saying that the rest are left out.
#include <string>
#include <string_view>

#include "runtime/module_record.h"

namespace qm::ui {

class ApplyReport {
public:
    static constexpr int kMaxDetailed = 40;

    // Counts a failure of event on the module; its paragraph is added while the count is at
    // most kMaxDetailed, the overflow line once when it first exceeds it.
    void addFailure(std::string_view displayName, std::string_view key, ModuleEvent event);
    int failures() const { return failures_; }
    const std::string& text() const { return text_; }

    // The label Apply uses for an event in its message; "" for values outside 1..4.
    static std::string label(ModuleEvent event);

private:
    int failures_ = 0;
    std::string text_;
};

}  // namespace qm::ui
