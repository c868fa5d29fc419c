#include "checker/menu_provisioner.h"

#include <cassert>
#include <cstdlib>

#include <qmsys/files.h>
#include <qmsys/folder_index.h>
#include <qmsys/text.h>

#include "checker/checker_messages.h"
#include "checker/installation_setup.h"
#include "checker/provisioning_pass.h"
#include "checker/start_up_checker_lib.h"
#include "environment/names.h"
#include "environment/path_util.h"
#include "environment/str_cat.h"

namespace qm {
namespace {

namespace msg = checker_messages;

constexpr std::string_view kCuixExtension = ".cuix";
constexpr std::size_t kLanguageLength = 3;
// "_" + language + ".cuix", and "_" + language.
constexpr std::size_t kCuixTail = 1 + kLanguageLength + kCuixExtension.size();
constexpr std::size_t kMnuTail = 1 + kLanguageLength;
// Deeper folder nesting below a menus folder means a link loop, not a menu.
constexpr int kMaxDepth = 32;

// Compiled files the host derives from an .mnu copy; appended to the copy's path without
// "mnu" (so after its dot).
constexpr std::string_view kCompiledCompanions[] = {"mns",        "mnc", "mnr",
                                                    "_light.mnr", "cui", "cuix"};

bool endsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           qmsys::iequals(text.substr(text.size() - tail.size()), tail);
}

// A single, plain folder or file name: no separators, not "." or "..".
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

// The destination's extension with its dot ("" when its last component has none).
std::size_t extensionStart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path.size();
    }
    return dot;
}

// The attributes of path, looked up by its name in folder (path's folder) when that is open.
qmsys::WinError attributesOf(const std::string& path, const qmsys::FolderHandle* folder,
                             qmsys::FileAttributes& out) {
    if (!qmsys::isOpen(folder)) {
        return qmsys::getFileAttributes(path, out);
    }
    return qmsys::getFileAttributes(path.substr(path.rfind('/') + 1), out, folder);
}

}  // namespace

bool MenuProvisioner::AcceptsMenuName(const std::string& menuName) {
    // Asked for every menu of every module at start-up: decided without building a pattern.
    if (!isPlainName(menuName)) {
        return false;
    }
    return menuName.size() >
           (endsWithIgnoringCase(menuName, kCuixExtension) ? kCuixTail : kMnuTail);
}

std::optional<MenuProvisioner::Patterns> MenuProvisioner::DerivePatterns(
    const std::string& menuName) {
    if (!AcceptsMenuName(menuName)) {
        return std::nullopt;
    }
    Patterns p;
    if (endsWithIgnoringCase(menuName, kCuixExtension)) {
        p.language = menuName.substr(menuName.size() - kCuixExtension.size() - kLanguageLength,
                                     kLanguageLength);
        p.menuPattern = menuName;
        p.companionPattern =
            strCat({std::string_view(menuName).substr(0, menuName.size() - kCuixTail), ".??l"});
    } else {
        p.language = menuName.substr(menuName.size() - kLanguageLength);
        p.menuPattern = strCat({menuName, ".mnu"});
        p.companionPattern =
            strCat({std::string_view(menuName).substr(0, menuName.size() - kMnuTail), ".??l"});
    }
    return p;
}

bool MenuProvisioner::Provision(const std::string& moduleFolder, const std::string& menuName) {
    assert(!provisioned_ && "a provisioner serves one call");
    provisioned_ = true;
    if (!InstallationSetup(checker_, *pass_).Run()) {
        return false;
    }
    // The installation side is only read, so the module folder is taken as the definition
    // gives it; the names that become folders and files on the user's side must stay inside
    // the user's menus folder.
    const std::optional<Patterns> patterns = DerivePatterns(menuName);
    if (!patterns) {
        return Fail("refused menu name \"" + menuName + "\"");
    }
    const std::string folder = path::normalizeSeparators(moduleFolder);
    // An empty configuration names no folder of its own: the copies go to the product folder's
    // Menus, where the environment library's user-data path then points as well.
    const std::string& config = checker_.CurrentConfig();
    if (!config.empty() && !isPlainName(config)) {
        return Fail("refused configuration name \"" + config + "\"");
    }

    // The environment library's application-data folder, so that the copies land where the
    // loader looks for them.
    std::string destinationRoot = path::productFolder(pass_->appDataPath());
    if (!config.empty()) {
        destinationRoot.append("/").append(config);
    }
    if (!CreateFolder(destinationRoot)) {
        return false;
    }

    std::string source = path::append(checker_.RootDirectory() + "/", folder);
    if (!endsWithIgnoringCase(folder, names::kMenusFolder)) {
        source = path::append(source, names::kMenusFolder);
    }
    const std::string destination = destinationRoot + "/" + std::string(names::kMenusFolder);
    if (!CreateFolder(destination)) {
        return false;
    }
    destinationFolder_ = pass_->folder(destination);

    bool result = DirectoryCopy(source, destination, patterns->menuPattern, {}, 0);
    if (result) {
        result =
            DirectoryCopy(source, destination, patterns->companionPattern, {patterns->language}, 0);
    }
    return result;
}

bool MenuProvisioner::DirectoryCopy(const std::string& source, const std::string& destination,
                                    const std::string& pattern,
                                    const std::vector<std::string>& suffixes, int depth) {
    // Each folder listed once per round (docs/PERFORMANCE.md: provisioning pass).
    qmsys::FolderIndex& index = pass_->index();
    std::vector<qmsys::FolderIndex::Match> matches;
    if (depth > kMaxDepth || !index.find(source, pattern, matches)) {
        checker_.AppendReport("\n" + checker_.MessageText(msg::kCouldNotOpenDirectory) + ": \"" +
                              source + "\"");
        return false;
    }

    // Copies in a subfolder lie outside the open destination folder.
    const Folders folders{index.openFolder(source), depth == 0 ? destinationFolder_ : nullptr};
    bool result = true;
    for (const qmsys::FolderIndex::Match& match : matches) {
        if (!result) {
            break;
        }
        const std::string& entry = match.name;
        const std::string sourcePath = path::tidy(strCat({source, "/", entry}));
        const std::string destinationPath = path::tidy(strCat({destination, "/", entry}));
        const bool isFolder = match.folder;
        result = CopyWithSuffixes(sourcePath, destinationPath, isFolder, suffixes, folders);
        if (isFolder && result) {
            result = DirectoryCopy(source + "/" + entry, destination + "/" + entry, pattern,
                                   suffixes, depth + 1);
        }
    }
    return result;
}

bool MenuProvisioner::CopyWithSuffixes(const std::string& source, const std::string& destination,
                                       bool isFolder, const std::vector<std::string>& suffixes,
                                       Folders folders) {
    if (suffixes.empty()) {
        return CopyOne(source, destination, isFolder, folders);
    }
    bool result = true;
    const std::size_t dot = extensionStart(destination);
    for (const std::string& suffix : suffixes) {
        if (!result) {
            break;
        }
        const std::string target =
            destination.substr(0, dot) + "_" + suffix + destination.substr(dot);
        result = CopyOne(source, target, isFolder, folders);
    }
    return result;
}

bool MenuProvisioner::CopyOne(const std::string& source, const std::string& destination,
                              bool isFolder, Folders folders) {
    qmsys::FileAttributes from;
    if (const qmsys::WinError err = attributesOf(source, folders.source, from);
        err != qmsys::kErrorSuccess) {
        return Fail("cannot read \"" + source + "\" (error " + std::to_string(err) + ")");
    }
    // The user's copy in whatever letter case it has: an update may have renamed the installed
    // file to another case, and Windows finds the copy under the new name all the same.
    qmsys::LetterCaseIndex& names = pass_->index().names();
    std::string copy = destination;
    qmsys::FileAttributes to;
    bool present = attributesOf(destination, folders.destination, to) == qmsys::kErrorSuccess;
    if (!present) {
        if (std::string found = names.resolve(destination);
            !found.empty() && found != destination) {
            copy = std::move(found);
            present = qmsys::getFileAttributes(copy, to) == qmsys::kErrorSuccess;
        }
    }
    const bool differs =
        present && (to.lastWriteNs != from.lastWriteNs ||
                    static_cast<std::uint32_t>(to.size) != static_cast<std::uint32_t>(from.size));

    if (!isFolder) {
        if (differs) {
            if (!update_) {
                return Fail("out of date: \"" + copy + "\"");
            }
            // Deleted first, so that the new copy takes the installed file's name, as a
            // DeleteFileW and CopyFileW do on Windows: no second copy stays beside it.
            if (!DeleteCopy(copy)) {
                return false;
            }
            if (endsWithIgnoringCase(copy, ".mnu")) {
                const std::string stem = copy.substr(0, copy.size() - 3);
                for (std::string_view companion : kCompiledCompanions) {
                    const std::string compiled = names.resolve(stem + std::string(companion));
                    if (!compiled.empty() && qmsys::fileExists(compiled) && !DeleteCopy(compiled)) {
                        return false;
                    }
                }
            }
            copy = destination;
            replaced_ = true;
        } else if (!update_) {
            return true;
        } else if (present) {
            // Current: nothing to copy again (a copy onto it would find it and stop), only a
            // read-only attribute to clear, as for any copy that was there already.
            if (to.readOnly) {
                qmsys::setReadOnly(copy, false);
            }
            return true;
        }
    }

    if (isFolder) {
        const qmsys::WinError err = qmsys::createDirectory(destination);
        if (err != qmsys::kErrorSuccess && err != qmsys::kErrorAlreadyExists) {
            checker_.AppendReport("\n" + checker_.MessageText(msg::kCouldNotCreateDirectory) +
                                  ": " + destination);
            return false;
        }
        return true;
    }

    const qmsys::WinError err = qmsys::copyFile(source, destination, true, &names);
    if (err != qmsys::kErrorSuccess && err != qmsys::kErrorFileExists &&
        err != qmsys::kErrorAlreadyExists) {
        checker_.AppendReport("\n" + checker_.MessageText(msg::kCouldNotCopyFileFrom) + " \"" +
                              source + "\" " + checker_.MessageText(msg::kToFile) + " \"" +
                              destination + "\"\n" + checker_.MessageText(msg::kErrorMessage) +
                              ": " + std::to_string(err));
        return false;
    }
    // A fresh copy takes the source's permission bits; only a read-only one, or a copy that
    // was there already (in whatever letter case), needs its read-only attribute cleared.
    if (err != qmsys::kErrorSuccess || from.readOnly) {
        qmsys::setReadOnly(err != qmsys::kErrorSuccess ? copy : destination, false);
    }
    return true;
}

bool MenuProvisioner::DeleteCopy(const std::string& path) {
    qmsys::setReadOnly(path, false);
    if (const qmsys::WinError err = qmsys::deleteFile(path); err != qmsys::kErrorSuccess) {
        return Fail("cannot delete \"" + path + "\" (error " + std::to_string(err) + ")");
    }
    pass_->index().names().removed(path);
    return true;
}

bool MenuProvisioner::CreateFolder(const std::string& folder) {
    // A file in the folder's place makes the creation below fail with "already exists", which
    // counts as success, so existence alone decides that nothing needs creating.
    qmsys::FolderIndex& index = pass_->index();
    if (index.exists(folder)) {
        return true;  // provided before: no folder to create
    }
    index.forget(folder);  // about to be created
    const qmsys::WinError err = qmsys::createDirectories(folder);
    if (err != qmsys::kErrorSuccess && err != qmsys::kErrorAlreadyExists) {
        return Fail("could not create directory \"" + folder + "\" (error " + std::to_string(err) +
                    ")");
    }
    return true;
}

bool MenuProvisioner::Fail(std::string detail) {
    checker_.SetLastFailure(std::move(detail));
    return false;
}

}  // namespace qm
