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

namespace qmsys {
class FolderHandle;
class FolderIndex;
}  // namespace qmsys

namespace qm {

class StartUpCheckerLib;

class MenuProvisioner {
public:
    explicit MenuProvisioner(StartUpCheckerLib& checker) : checker_(checker) {}

    // Runs the installation set-up, then checks (update false) or updates the copies of
    // menuName from moduleFolder (relative to the installation root, or absolute; "Menus" is
    // appended unless it already ends in it). menuName is a ".cuix" file name or the base
    // name of an .mnu menu, ending in "_" and a three-letter language code. Refuses menu
    // names that would reach outside the user's menus folder (see AcceptsMenuName); the
    // module folder, which is only read, is taken as given.
    bool Provision(const std::string& moduleFolder, const std::string& menuName, bool update);

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

    bool DirectoryCopy(const std::string& source, const std::string& destinationBase,
                       const std::string& pattern, const std::vector<std::string>& suffixes,
                       int depth);
    // sourceFolder: the source's folder when open, or null (see FolderIndex::openFolder).
    bool CopyWithSuffixes(const std::string& source, const std::string& destination, bool isFolder,
                          const std::vector<std::string>& suffixes,
                          const qmsys::FolderHandle* sourceFolder);
    bool CopyOne(const std::string& source, const std::string& destination, bool isFolder,
                 const qmsys::FolderHandle* sourceFolder);
    // Deletes an out-of-date copy, clearing its read-only attribute first.
    bool DeleteCopy(const std::string& path);
    // Creates base (with its parents) and then each part below it; the path, or empty when a
    // folder cannot be created.
    std::string CreateFolderChain(const std::string& base,
                                  const std::vector<std::string_view>& parts);
    bool Fail(std::string detail);

    StartUpCheckerLib& checker_;
    // The subfolder of the destination that mirrors the source subfolder being walked; empty
    // outside a recursion.
    std::string relativeSubfolder_;
    // The listings of the running Provision: the pass's, or the call's own.
    qmsys::FolderIndex* index_ = nullptr;
    // The running Provision's destination folder, open for the pass, or null.
    const qmsys::FolderHandle* destinationFolder_ = nullptr;
};

}  // namespace qm
