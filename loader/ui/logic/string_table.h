#pragma once
// The string table of one language of the module loader's resources: the numbered strings and
// the texts of the dialog templates and menus (StringId). A language's table may lack an entry,
// as a resource library may; callers that have a built-in fallback use it then.
#include <optional>
#include <span>
#include <string_view>

#include "ui/logic/resource_ids.h"

namespace qm::ui {

class StringTable {
public:
    struct Entry {
        StringId id;
        std::string_view text;
    };

    // The table of a language code ("enu", "deu"; ASCII case ignored), or null when the
    // module loader ships no resources in that language.
    static const StringTable* forLanguage(std::string_view languageCode);
    // English: what the resource loader falls back to for a language it does not have.
    static const StringTable& english();

    std::string_view language() const { return language_; }
    std::optional<std::string_view> text(StringId id) const;
    std::span<const Entry> entries() const { return entries_; }

    constexpr StringTable(std::string_view language, std::span<const Entry> entries)
        : language_(language), entries_(entries) {}

private:
    std::string_view language_;
    std::span<const Entry> entries_;
};

// The per-language tables, defined one per file.
const StringTable& englishStrings();
const StringTable& germanStrings();

}  // namespace qm::ui
