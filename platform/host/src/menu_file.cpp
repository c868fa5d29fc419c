#include "cadhost/menu_file.h"

#include <qmsys/files.h>
#include <qmsys/letter_case.h>

#include "text_util.h"

namespace cadhost {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && iequals(text.substr(0, prefix.size()), prefix);
}

// Menu files are small; a file past this is no menu, and is not read into memory.
constexpr std::size_t kMaxMenuFileBytes = 64 * 1024 * 1024;

// "^C^C_LINE" → "_LINE": the cancel prefixes only matter to a real command line.
std::string_view withoutCancelPrefix(std::string_view command) {
    while (startsWithNoCase(command, "^C")) {
        command.remove_prefix(2);
    }
    return command;
}

// Reads "[Label]COMMAND" (an optional tag may precede the bracket). False when the line
// holds no bracketed label.
bool parseItemLine(std::string_view line, std::string& label, std::string& command) {
    const auto open = line.find('[');
    if (open == std::string::npos) {
        return false;
    }
    const auto close = line.find(']', open + 1);
    if (close == std::string::npos) {
        return false;
    }
    label = line.substr(open + 1, close - open - 1);
    command = withoutCancelPrefix(trimView(line.substr(close + 1)));
    return true;
}

class MenuTextParser {
public:
    void feed(std::string_view line) {
        if (line.empty() || line.starts_with("//")) {
            return;
        }
        if (line.starts_with("***")) {
            section(line.substr(3));
            return;
        }
        if (pop_ == nullptr) {
            return;
        }
        if (line.starts_with("**")) {
            if (expectAlias_) {
                pop_->alias = trim(line.substr(2));
            }
            expectAlias_ = false;
            return;
        }
        expectAlias_ = false;
        item(line);
    }

    MenuDefinition& result() { return definition_; }

private:
    void section(std::string_view name) {
        pop_ = nullptr;
        if (startsWithNoCase(name, "MENUGROUP")) {
            const auto equals = name.find('=');
            if (equals != std::string_view::npos) {
                definition_.groupName = trim(name.substr(equals + 1));
            }
        } else if (iequals(trim(name), "NOUNLOAD")) {
            definition_.refusesUnload = true;
        } else if (startsWithNoCase(name, "POP")) {
            definition_.popMenus.emplace_back();
            pop_ = &definition_.popMenus.back();
            expectAlias_ = true;
            haveTitle_ = false;
        }
    }

    void item(std::string_view line) {
        std::string label;
        std::string command;
        if (!parseItemLine(line, label, command)) {
            return;
        }
        if (!haveTitle_) {
            pop_->title = label;
            haveTitle_ = true;
        } else if (label == "--") {
            pop_->items.push_back(MenuItem{{}, {}, true});
        } else {
            pop_->items.push_back(MenuItem{label, command, false});
        }
    }

    MenuDefinition definition_;
    PopMenu* pop_ = nullptr;
    bool expectAlias_ = false;
    bool haveTitle_ = false;
};

}  // namespace

std::optional<MenuDefinition> parseMenuText(const std::string& text, bool compiled,
                                            const std::string& fileTitle) {
    MenuTextParser parser;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        parser.feed(trimView(rest.substr(0, end)));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    MenuDefinition& definition = parser.result();
    if (definition.groupName.empty() && compiled) {
        definition.groupName = trim(fileTitle);
    }
    if (definition.groupName.empty()) {
        return std::nullopt;
    }
    return std::move(definition);
}

std::optional<MenuDefinition> readMenuFile(const std::string& path) {
    return readMenuFile(path, nullptr);
}

std::optional<MenuDefinition> readMenuFile(const std::string& path,
                                           const qmsys::FolderHandle* folder,
                                           qmsys::LetterCaseIndex* names) {
    // Only a regular file: a FIFO or device in a menu's place is refused, never waited on.
    // A whole path is found in any letter case by the read itself; a name in an open folder
    // is tried as written, then found through the caller's listings (a menu named in a
    // definition in another case than its installed file, for one).
    std::string content;
    const bool inFolder = qmsys::isOpen(folder);
    const std::string name = inFolder ? fileNameOf(path) : path;
    qmsys::WinError error = qmsys::readRegularFile(name, kMaxMenuFileBytes, content, folder);
    if (inFolder && (error == qmsys::kErrorFileNotFound || error == qmsys::kErrorPathNotFound)) {
        const std::string found = names ? names->resolve(path) : qmsys::resolveLetterCase(path);
        if (!found.empty() && found != path) {
            error = qmsys::readRegularFile(found, kMaxMenuFileBytes, content);
        }
    }
    if (error != qmsys::kErrorSuccess) {
        return std::nullopt;
    }
    const std::string extension = extensionOf(path);
    const bool compiled = iequals(extension, "cui") || iequals(extension, "cuix");
    return parseMenuText(content, compiled, fileTitleOf(path));
}

}  // namespace cadhost
