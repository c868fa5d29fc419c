#include "ui/logic/first_run.h"

#include <qmenv/environment.h>

#include <cstdint>
#include <string>

#include "environment/names.h"
#include "environment/registry_layout.h"

namespace qm::ui {

bool TestAndMarkFirstRun() {
    QmEnWinRegistry registry;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registry_layout::modulesKey(), true)) {
        return false;
    }
    const std::string value(names::kValueStartupMessageDone);
    std::int32_t done = 0;
    const bool firstTime = !registry.ReadLong(value, done);
    registry.WriteLong(value, 1);
    return firstTime;
}

}  // namespace qm::ui
