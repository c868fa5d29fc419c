#include "ui/logic/resource_strings.h"

#include <qmenv/environment.h>

#include "environment/names.h"
#include "environment/path_util.h"
#include "ui/logic/string_table.h"

namespace qm::ui {

const StringTable* CurrentStringTable() {
    const std::string module = QmEnCurrentResourceModule();
    if (module.rfind(names::kResourceModule, 0) != 0) {
        return nullptr;
    }
    const StringTable* table = StringTable::forLanguage(QmEnGetLanguageCode());
    return table != nullptr ? table : &StringTable::english();
}

std::optional<std::string> LoadResourceString(StringId id) {
    const StringTable* table = CurrentStringTable();
    if (table == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string_view> text = table->text(id);
    if (!text) {
        return std::nullopt;
    }
    return std::string(*text);
}

std::string ResourceString(StringId id) {
    return LoadResourceString(id).value_or(std::string());
}

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(format.size() + 64);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && next != args.end()) {
                out += *next++;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::string NoModulesMessage(const std::string& appPath) {
    std::optional<std::string> format = LoadResourceString(StringId::NoModules);
    if (!format) {
        return {};
    }
    // The folder is tidied on its own, with its trailing separators dropped, so that the
    // text shows one separator before "Zadod" while a leading "//" of the path survives.
    std::string folder = path::tidy(appPath);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return FormatText(*format, {folder});
}

}  // namespace qm::ui
