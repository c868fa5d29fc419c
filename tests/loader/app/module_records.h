#pragma once
// The records a start-up made, looked up by key, for the start-up tests and the widget tests.
#include <stdexcept>
#include <string>

#include "runtime/loader_context.h"

namespace qmtest {

// The record of module key among context's; throws when there is none.
inline qm::ModuleRecord& recordOf(qm::LoaderContext& context, const std::string& key) {
    for (qm::ModuleRecord& record : context.modules()) {
        if (record.GetKey() == key) {
            return record;
        }
    }
    throw std::runtime_error("no module " + key);
}

}  // namespace qmtest
