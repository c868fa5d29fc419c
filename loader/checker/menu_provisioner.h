#pragma once
// Keeps a user's private copies of one menu: the menu file and its AutoLISP companion
// (".??l"), copied from the module's menus folder in the installation into
// <application data>/Brenvik/Quillmont/<version>/<configuration>/Menus. Copies keep the source's
// time stamp, so "same time stamp and size" means current.
//
// Check mode compares and copies nothing; update mode deletes out-of-date copies (with the
// compiled files the host made from an .mnu copy) and copies again. Folders are enumerated by
// absolute path; the working directory is never touched.
//
// Failures go into the checker's report where a report line exists for them, otherwise into
// its last-failure detail; nothing is shown.
#include <optional>
#include <string>
#include <vector>

#include "checker/start_up_checker_lib.h"

namespace qmsys {
class FolderHandle;
}  // namespace qmsys

namespace qm {

class MenuProvisioner {
public:
    // One call of checker (which outlives this object), in the checker's pass or in one made
    // for it: a check (update false) or an update.
    MenuProvisioner(StartUpCheckerLib& checker, bool update)
        : checker_(checker), pass_(checker), update_(update) {}

    // Runs the installation set-up, then checks or updates the copies of menuName from
    // moduleFolder (relative to the installation root, or absolute; "Menus" is appended unless
    // it already ends in it). menuName is a ".cuix" file name or the base name of an .mnu
    // menu, ending in "_" and a three-letter language code. Refuses menu names that would
    // reach outside the user's menus folder (see AcceptsMenuName); the module folder, which is
    // only read, is taken as given. Once per object.
    bool Provision(const std::string& moduleFolder, const std::string& menuName);
    // Whether the update replaced an out-of-date copy (a copy made where none was replaces
    // nothing): a menu group loaded from the old copy then needs loading again.
    bool Replaced() const { return replaced_; }

    // True when menuName is a single plain file name (no separator, not "." or "..", not
    // absolute) long enough for its language tail: the only names whose copies stay inside
    // the user's menus folder.
    static bool AcceptsMenuName(const std::string& menuName);

private:
    struct Patterns {
        std::string language;          // the three-letter code inside the name
        std::string menuPattern;       // the menu file itself
        std::string companionPattern;  // "<base>.??l"
    };
    // Derives the patterns from a menu name, or nothing when the name is unusable (too short
    // for its tail, containing a separator, "." or "..").
    static std::optional<Patterns> DerivePatterns(const std::string& menuName);

    // Copies the matches of pattern in source into destination, and walks the matching
    // subfolders depth folders below the module's menus folder.
    bool DirectoryCopy(const std::string& source, const std::string& destination,
                       const std::string& pattern, const std::vector<std::string>& suffixes,
                       int depth);
    // The folders the copy's attributes are looked up in by name, when open (see
    // FolderIndex::openFolder), else null: the source's, and the destination's.
    struct Folders {
        const qmsys::FolderHandle* source = nullptr;
        const qmsys::FolderHandle* destination = nullptr;
    };
    bool CopyWithSuffixes(const std::string& source, const std::string& destination, bool isFolder,
                          const std::vector<std::string>& suffixes, Folders folders);
    bool CopyOne(const std::string& source, const std::string& destination, bool isFolder,
                 Folders folders);
    // Deletes an out-of-date copy, clearing its read-only attribute first.
    bool DeleteCopy(const std::string& path);
    // Creates folder with every missing parent; false (with the failure set) when it cannot.
    bool CreateFolder(const std::string& folder);
    bool Fail(std::string detail);

    StartUpCheckerLib& checker_;
    StartUpCheckerLib::CallPass pass_;
    const bool update_;  // replaces out-of-date copies; a check only compares
    // The user's menus folder, open for the pass; set by Provision.
    const qmsys::FolderHandle* destinationFolder_ = nullptr;
    bool provisioned_ = false;  // Provision ran: its state is this call's
    bool replaced_ = false;
};

}  // namespace qm
