#include "reg_commands.h"

#include <qmsys/files.h>
#include <qmsys/text.h>

#include <functional>
#include <iostream>
#include <map>
#include <memory>

#include "reg_file_reader.h"
#include "reg_file_writer.h"
#include "value_text.h"

namespace qmreg::tool {

namespace {

std::string childPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "\\" + name;
}

// Visits path and all keys below it, parents first, subkeys in the store's order.
void walk(Hive& hive, const std::string& path, const std::function<void(const std::string&)>& f) {
    f(path);
    for (const auto& sub : hive.subkeys(path))
        walk(hive, childPath(path, sub), f);
}

std::string displayName(const std::string& name) {
    return name.empty() ? "(Default)" : name;
}

// How many names a key path holds; empty ones (doubled separators) do not count.
std::size_t keyDepth(const std::string& path) {
    std::size_t depth = 0;
    bool inName = false;
    for (const char c : path) {
        if (c != '\\' && !inName)
            ++depth;
        inName = c != '\\';
    }
    return depth;
}

// The largest .reg file imported: far beyond any export of a product's settings.
constexpr std::size_t kMaxRegFileSize = std::size_t{256} << 20;

std::string windowsError(qmsys::WinError code) {
    return "Windows error " + std::to_string(code) + ".";
}

// value with its name spelled as the key stores it, which a lookup by another spelling need not
// give (the real registry does not say).
Value withStoredName(Hive& hive, const std::string& key, Value value) {
    const std::string folded = qmsys::upcaseName(value.name);
    for (const auto& stored : hive.values(key)) {
        if (qmsys::upcaseName(stored.name) == folded) {
            value.name = stored.name;
            break;
        }
    }
    return value;
}

}  // namespace

int RegCommands::run(const CommandLine& cmd) {
    switch (cmd.operation) {
        case Operation::Query:
            return query(cmd);
        case Operation::Add:
            return add(cmd);
        case Operation::Delete:
            return remove(cmd);
        case Operation::Export:
            return exportKey(cmd);
        case Operation::Import:
            return importFile(cmd);
        case Operation::Help:
            break;
    }
    out_ << usageText();
    return kExitSuccess;
}

int RegCommands::query(const CommandLine& cmd) {
    Hive& hive = open(cmd.key.hive);
    auto path = hive.canonicalKey(cmd.key.path);
    if (!path)
        return notFound();
    HiveId id = cmd.key.hive;

    if (cmd.valueName && !cmd.recursive) {
        auto value = hive.getValue(*path, *cmd.valueName);
        if (!value)
            return notFound();
        printKey(id, *path);
        printValue(withStoredName(hive, *path, *value));
        return kExitSuccess;
    }
    if (cmd.valueName) {
        int matches = 0;
        walk(hive, *path, [&](const std::string& key) {
            if (auto value = hive.getValue(key, *cmd.valueName)) {
                printKey(id, key);
                printValue(withStoredName(hive, key, *value));
                ++matches;
            }
        });
        out_ << "\nEnd of search: " << matches << " match(es) found.\n";
        return matches ? kExitSuccess : kExitFailure;
    }
    if (cmd.recursive) {
        walk(hive, *path, [&](const std::string& key) {
            printKey(id, key);
            for (const auto& value : hive.values(key))
                printValue(value);
        });
        return kExitSuccess;
    }
    printKey(id, *path);
    for (const auto& value : hive.values(*path))
        printValue(value);
    auto subkeys = hive.subkeys(*path);
    if (!subkeys.empty())
        out_ << "\n";
    for (const auto& sub : subkeys)
        out_ << fullKeyName(id, childPath(*path, sub)) << "\n";
    return kExitSuccess;
}

int RegCommands::add(const CommandLine& cmd) {
    Hive& hive = open(cmd.key.hive);
    if (!hive.writable())
        return readOnly(hive);
    std::optional<Value> value;
    if (cmd.valueName) {
        value = parseValueData(*cmd.valueName, cmd.type, cmd.data.value_or(""));
        if (!cmd.force && hive.getValue(cmd.key.path, *cmd.valueName) &&
            !confirm("Value " + displayName(*cmd.valueName) + " exists, overwrite(Yes/No)? ")) {
            return cancelled();
        }
    }
    Hive::Transaction transaction(hive);
    if (!hive.createKey(cmd.key.path))
        return tooDeep(cmd.key.hive, cmd.key.path);
    if (value && !hive.setValue(cmd.key.path, *value))
        return readOnly(hive);
    transaction.commit();
    return succeeded();
}

int RegCommands::remove(const CommandLine& cmd) {
    Hive& hive = open(cmd.key.hive);
    auto path = hive.canonicalKey(cmd.key.path);
    if (!path)
        return notFound();
    std::string keyName = fullKeyName(cmd.key.hive, *path);
    if (cmd.valueName) {
        if (!hive.getValue(*path, *cmd.valueName))
            return notFound();
        if (!hive.writable())
            return readOnly(hive);
        if (!cmd.force &&
            !confirm("Delete the registry value " + displayName(*cmd.valueName) + " (Yes/No)? ")) {
            return cancelled();
        }
        hive.deleteValue(*path, *cmd.valueName);
        return succeeded();
    }
    if (!hive.writable())
        return readOnly(hive);
    if (cmd.allValues) {
        if (!cmd.force &&
            !confirm("Delete all values under the registry key " + keyName + " (Yes/No)? ")) {
            return cancelled();
        }
        Hive::Transaction transaction(hive);
        for (const auto& value : hive.values(*path))
            hive.deleteValue(*path, value.name);
        transaction.commit();
        return succeeded();
    }
    if (path->empty())
        return error("ERROR: The root key of a hive cannot be deleted.");
    if (!cmd.force && !confirm("Permanently delete the registry key " + keyName + " (Yes/No)? ")) {
        return cancelled();
    }
    hive.deleteKey(*path, true);
    return succeeded();
}

int RegCommands::exportKey(const CommandLine& cmd) {
    Hive& hive = open(cmd.key.hive);
    if (!hive.keyExists(cmd.key.path))
        return notFound();
    // The export replaces a file whole; a FIFO or a device under the name would be replaced by
    // a file rather than written to. Refused before anything is asked or written.
    qmsys::FileAttributes target;
    if (qmsys::getFileAttributes(cmd.file, target) == qmsys::kErrorSuccess && target.special) {
        return error("ERROR: Cannot write \"" + cmd.file +
                     "\": it is not a file (a pipe or a device), and an export only writes "
                     "files.");
    }
    if (!cmd.force && qmsys::fileExists(cmd.file) &&
        !confirm("File " + cmd.file + " already exists. Overwrite (Yes/No)? ")) {
        return cancelled();
    }
    std::string text;
    try {
        text = exportRegFile(hive, cmd.key.hive, cmd.key.path);
    } catch (const RegExportError& e) {
        // Nothing is written: a file that an import would refuse, or read back changed, is
        // worse than none.
        return error(std::string("ERROR: ") + e.what() + ".");
    }
    if (const auto code = qmsys::replaceFileContents(cmd.file, text, 0644)) {
        return error("ERROR: Cannot write \"" + cmd.file + "\": " + windowsError(code));
    }
    return succeeded();
}

int RegCommands::importFile(const CommandLine& cmd) {
    std::string content;
    if (const auto code = qmsys::readRegularFile(cmd.file, kMaxRegFileSize, content)) {
        return error("ERROR: Cannot open \"" + cmd.file + "\": " + windowsError(code));
    }

    std::vector<RegFileSection> sections;
    try {
        sections = parseRegFile(content);
    } catch (const RegFileError& e) {
        return error("ERROR: \"" + cmd.file + "\", " + e.what());
    }
    // What would stop the import part way is found before anything is written: the real
    // registry cannot take back what an import has written.
    for (const auto& section : sections) {
        Hive& hive = open(section.key.hive);
        if (!hive.writable())
            return readOnly(hive);
        if (!section.deleteKey && keyDepth(section.key.path) > kMaxKeyDepth)
            return tooDeep(section.key.hive, section.key.path);
    }
    // One transaction per hive: where the store has them, a file that cannot be imported
    // completely for another reason changes nothing in that hive either.
    std::map<HiveId, std::unique_ptr<Hive::Transaction>> transactions;
    for (const auto& section : sections) {
        Hive& hive = open(section.key.hive);
        auto& transaction = transactions[section.key.hive];
        if (!transaction)
            transaction = std::make_unique<Hive::Transaction>(hive);
        if (section.deleteKey) {
            hive.deleteKey(section.key.path, true);
            continue;
        }
        if (!hive.createKey(section.key.path))
            return tooDeep(section.key.hive, section.key.path);
        for (const auto& entry : section.entries) {
            if (entry.value) {
                hive.setValue(section.key.path, *entry.value);
            } else {
                hive.deleteValue(section.key.path, entry.name);
            }
        }
    }
    for (auto& [id, transaction] : transactions)
        transaction->commit();
    return succeeded();
}

Hive& RegCommands::open(HiveId id) {
    Hive& hive = Hive::forThread(id);
    if (!opened_.insert(id).second)
        return hive;
    for (const auto& c : hive.takeNameCollisions()) {
        const std::string key = fullKeyName(id, c.key);
        err_ << "WARNING: The " << (c.value ? "values \"" : "keys \"") << displayName(c.kept)
             << "\" and \"" << displayName(c.other) << "\" " << (c.value ? "of" : "under") << " \""
             << key
             << "\" were two names and are now one, as registry names now compare without "
                "regard to case in every language. Both were kept; the name finds \""
             << displayName(c.kept) << "\". Rename or delete one of them.\n";
    }
    return hive;
}

void RegCommands::printKey(HiveId hive, const std::string& path) {
    out_ << "\n" << fullKeyName(hive, path) << "\n";
}

void RegCommands::printValue(const Value& value) {
    out_ << "    " << displayName(value.name) << "    " << typeName(value.type) << "    "
         << displayData(value) << "\n";
}

bool RegCommands::confirm(const std::string& question) {
    out_ << question << std::flush;
    std::string answer;
    if (!std::getline(in_, answer))
        return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int RegCommands::succeeded() {
    out_ << "The operation completed successfully.\n";
    return kExitSuccess;
}

int RegCommands::error(const std::string& message) {
    err_ << message << "\n";
    return kExitFailure;
}

int RegCommands::notFound() {
    return error("ERROR: The system was unable to find the specified registry key or value.");
}

int RegCommands::readOnly(const Hive& hive) {
    return error("ERROR: Access is denied. The registry store \"" + hive.file() +
                 "\" is read-only for this user.");
}

int RegCommands::tooDeep(HiveId hive, const std::string& path) {
    return error("ERROR: The key \"" + fullKeyName(hive, path) +
                 "\" cannot be created: keys nest at most " + std::to_string(kMaxKeyDepth) +
                 " levels deep.");
}

int RegCommands::cancelled() {
    out_ << "The operation was cancelled.\n";
    return kExitFailure;
}

}  // namespace qmreg::tool
