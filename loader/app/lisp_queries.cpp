#include "app/lisp_queries.h"

#include <cadhost/arx.h>
#include <qmenv/environment.h>

#include <cstdint>
#include <string>

#include "environment/names.h"
#include "environment/registry_layout.h"

namespace qm {

namespace {

int answer(std::string_view valueName) {
    std::int32_t value = 1;
    QmEnWinRegistry reg;
    if (reg.OpenKey(kQmEnHKeyCurrentUser, registry_layout::baseSettingsKey(), false)) {
        reg.ReadLong(std::string(valueName), value);  // a failed read leaves the default
    }
    acedRetInt(value);
    return RSRSLT;
}

}  // namespace

int CheckCommandlineSetting() {
    return answer(names::kValueCheckCommandLine);
}
int CheckInsUnitsDefSourceSetting() {
    return answer(names::kValueCheckInsUnits);
}

}  // namespace qm
