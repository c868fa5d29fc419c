#pragma once
// Keeps one module that brought the host down at start-up from doing it again at once.
//
// What counts as evidence against a module: the host died while the module's own code ran in
// it, that is while its applications were being loaded and initialised. The start-up
// sequence names a module in the marker only around that step. Its menus are not covered:
// they are the host's work on the module's files, and their step waits on the menu protector,
// which another process may hold for as long as it likes; a host killed there (by a user
// tired of waiting, say) says nothing about the module. The base module is never skipped,
// whatever the marker says: without it the host has no module loader menu, and the dialog
// that is offered to load a skipped module never lists it.
//
// The record is one file in the user's state folder, "key NUL display name NUL", followed by
// the ordinal in decimal when it is not 0 (an older record without it names the first) and by
// NULs over what is left of a longer record, written with one plain write in place before the
// module's code runs and its first byte set to NUL once it is done, and the file is
// removed when the bring-up ends (the guard goes with it), as a plug-in manager's lock file is: a
// record found at the next start names the module the host died in. The file is created afresh by
// each start (never written through anything at its name) and kept open for its later records, so a
// module costs two system calls. A write that fails (a full disk) empties it, so a full disk
// costs the guard, never the host; a file size limit too small for a record leaves the start
// unguarded (the write would end the host). An empty record, or one without the NUL after
// its key, names nobody. Nothing is synced: the record survives the
// death of the host, which is what the guard is for; only a crash of the whole machine during
// bring-up can lose it, and then the module is merely tried once more.
//
// A host owns the record while it brings modules up: it holds a lock on a file beside it,
// which it lets go of when the bring-up ends, and the system when the host dies. A record of a host
// that holds the lock is no evidence (that host lives and may be bringing the module up right now);
// a later host neither reads nor writes it and goes unguarded for this start. Only a regular file
// that is no link of any kind is read, so nothing planted under the record's name is read or waited
// on.
//
// Failures are silent: the guard is a convenience and never keeps a module from starting.
#include <qmsys/handle.h>

#include <optional>
#include <string>

namespace qm {

class CrashGuard {
public:
    // One module definition. Keys are meant to be unique, but two definitions may share one;
    // the ordinal (which of the definitions of that key, in catalogue order) and the name then
    // tell which of them the host died in.
    struct Module {
        std::string key;
        std::string displayName;
        unsigned ordinal = 0;
    };

    // folder: where the record lives; created when missing.
    explicit CrashGuard(std::string folder);
    // The loader's per-user state folder (path::userStateFolder()).
    static std::string defaultFolder();
    // Removes the record's file: a host that ends normally leaves no evidence behind.
    ~CrashGuard();
    CrashGuard(const CrashGuard&) = delete;
    CrashGuard& operator=(const CrashGuard&) = delete;

    // The module the last start was running when the host died, if any. The record is
    // removed, so this answers once; a record that cannot be removed names nobody.
    std::optional<Module> takeInterrupted();

    // Records module before its code runs.
    void begin(const Module& module);
    // The module's code is done: the record's first byte becomes NUL (a record that begins
    // with its NUL names nobody, as an empty one does).
    void end();

    // The record's file.
    const std::string& file() const { return file_; }

private:
    // Takes the lock once; false when this start goes unguarded.
    bool own();

    std::string folder_;
    std::string file_;
    qmsys::FileHandle lock_;
    qmsys::FileHandle record_;  // the record's file, created at the first begin()
    std::size_t written_ = 0;   // bytes of the file this guard has written (its size, unless cut)
    bool tried_ = false;
};

}  // namespace qm
