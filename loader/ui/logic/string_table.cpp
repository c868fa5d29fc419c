#include "ui/logic/string_table.h"

#include <qmsys/text.h>

namespace qm::ui {

const StringTable* StringTable::forLanguage(std::string_view languageCode) {
    for (const StringTable* table : {&englishStrings(), &germanStrings()}) {
        if (qmsys::iequals(table->language(), languageCode)) {
            return table;
        }
    }
    return nullptr;
}

const StringTable& StringTable::english() {
    return englishStrings();
}

std::optional<std::string_view> StringTable::text(StringId id) const {
    for (const Entry& entry : entries_) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return std::nullopt;
}

}  // namespace qm::ui
