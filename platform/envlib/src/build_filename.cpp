#include <algorithm>
#include <array>

#include <functional>
#include <string_view>

#include <qmsys/environment.h>
#include <qmsys/files.h>
#include <qmsys/module.h>
#include <qmsys/user_folders.h>
#include "qmenv/environment.h"

namespace {

struct Language {
    std::string_view code;
    std::string_view name;
    std::string_view country;
};

// Language codes the product ships, with their display names and locale tags.
constexpr std::array<Language, 14> kLanguages{{
    {"enu", "English", "en-US"},
    {"eng", "English", "en-GB"},
    {"deu", "German", "de-DE"},
    {"fra", "French", "fr-FR"},
    {"ita", "Italian", "it-IT"},
    {"esp", "Spanish", "es-ES"},
    {"nld", "Dutch", "nl-NL"},
    {"nor", "Norwegian", "nb-NO"},
    {"sve", "Swedish", "sv-SE"},
    {"dan", "Danish", "da-DK"},
    {"fin", "Finnish", "fi-FI"},
    {"plk", "Polish", "pl-PL"},
    {"csy", "Czech", "cs-CZ"},
    {"ptb", "Portuguese", "pt-BR"},
}};

const Language* findLanguage(const std::string& code) {
    for (const auto& language : kLanguages) {
        if (language.code == code)
            return &language;
    }
    return nullptr;
}

std::string languageName() {
    std::string code = QmEnGetLanguageCode();
    const Language* language = findLanguage(code);
    return language ? std::string(language->name) : code;
}

std::string languageCountry() {
    std::string code = QmEnGetLanguageCode();
    const Language* language = findLanguage(code);
    return language ? std::string(language->country) : code;
}

std::string tempPath() {
    return qmsys::temporaryFolder();
}

// The host program's folder: the folder of the running executable.
std::string hostPath() {
    if (auto host = qmsys::environmentVariable("QM_HOST_PATH"); host && !host->empty())
        return *host;
    std::string exe = qmsys::programFile();
#if defined(_WIN32)
    // Written with '/', as the rest of the product writes paths.
    std::replace(exe.begin(), exe.end(), '\\', '/');
#endif
    const auto slash = exe.rfind('/');
    if (exe.empty() || slash == std::string::npos)
        return "/";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

// A folder as a macro's value, without trailing separators: the text after the macro brings
// its own separator ("<BINARIES>\\x.arx"), so a folder given as "/opt/qm/" must not double it.
// The root folder becomes empty for the same reason.
std::string folderValue(std::string folder) {
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string appFolder() {
    return folderValue(QmEnGetAppPath());
}

struct Macro {
    std::string_view name;
    std::function<std::string()> value;  // evaluated only when the macro occurs
};

const std::array<Macro, 14>& macros() {
    static const std::array<Macro, 14> table{{
        {"<LANGCODE>", QmEnGetLanguageCode},
        {"<APPATH>", appFolder},
        {"<BINARIES>", [] { return appFolder() + "/Bin"; }},
        {"<RESOURCES>", [] { return appFolder() + "/Resources"; }},
        {"<USERDATA>", [] { return folderValue(QmEnGetUserDataPath()); }},
        {"<AUTOCAD>", [] { return folderValue(hostPath()); }},
        {"<TEMP>", [] { return folderValue(tempPath()); }},
        {"<TORNELOSHARED>", [] { return appFolder() + "/Shared/Tornelo"; }},
        {"<QUILLMONTSHARED>", [] { return appFolder() + "/Shared"; }},
        {"<LANGNAME>", languageName},
        {"<LANGCOUNTRY>", languageCountry},
        {"<CURRENTCONFIG>", QmEnGetCurrentConfig},
        {"<DEFAULTCONFIG>", [] { return std::string("Default"); }},
        {"<MYQUILLMONT>", [] { return folderValue(qmsys::homeFolder()) + "/Documents/Quillmont"; }},
    }};
    return table;
}

// One pass from left to right; replacement text is not scanned again.
std::string expandMacros(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '<') {
            const Macro* match = nullptr;
            for (const auto& macro : macros()) {
                if (text.compare(pos, macro.name.size(), macro.name) == 0)
                    match = &macro;
            }
            if (match) {
                out += match->value();
                pos += match->name.size();
                continue;
            }
        }
        out += text[pos++];
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> QmEnMacroValues() {
    std::vector<std::pair<std::string, std::string>> values;
    values.reserve(macros().size());
    for (const Macro& macro : macros()) {
        values.emplace_back(macro.name, macro.value());
    }
    return values;
}

std::string QmEnBuildFilename(std::string_view relative, int base, int /*reserved*/) {
    std::string expanded = expandMacros(relative);
    for (char& c : expanded) {
        if (c == '\\')
            c = '/';
    }
    if (qmsys::isAbsolutePath(expanded))
        return expanded;
    std::string folder = base == kQmEnBaseUserData  ? QmEnGetUserDataPath()
                         : base == kQmEnBaseAppPath ? QmEnGetAppPath()
                                                    : std::string();
    if (folder.empty())
        return expanded;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (expanded.empty())
        return folder;
    return folder == "/" ? folder + expanded : folder + "/" + expanded;
}
