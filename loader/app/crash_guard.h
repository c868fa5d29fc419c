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
// The marker is one file in the user's state folder, "key NUL display name NUL". A host owns
// it while it brings modules up: it holds a lock on the file, which the kernel releases when
// the host ends, however it ends. A marker locked by another host is no evidence (that host
// lives and may be bringing the module up right now); the later host neither reads nor writes
// it and goes unguarded for this start. Only a regular file that is no link of any kind is
// used, so nothing planted under the marker's name is read, waited on or written through.
//
// Each step is one write of at most one page at the file's start (no mapping: a store into a
// mapped page that the disk cannot back, or that another program truncated away, kills the
// process). A full disk makes such a write fail whole; a file size limit that could cut it
// short leaves the start unguarded (see open()). A NUL in the first byte, or an empty file,
// names nobody; so does a record without the NUL after its key. The content is never synced:
// it survives the death of the host, which is what the guard is for; only a crash of the whole
// machine during bring-up can lose it, and then the module is merely tried once more.
//
// Failures are silent: the guard is a convenience and never keeps a module from starting.
#include <optional>
#include <string>

namespace qm {

class CrashGuard {
public:
    struct Module {
        std::string key;
        std::string displayName;
    };

    // folder: where the marker lives; created when missing.
    explicit CrashGuard(std::string folder);
    // The marker in the user's state folder ($XDG_STATE_HOME/quillmont).
    static std::string defaultFolder();
    // Empties the marker: a host that ends normally leaves no evidence behind.
    ~CrashGuard();
    CrashGuard(const CrashGuard&) = delete;
    CrashGuard& operator=(const CrashGuard&) = delete;

    // The module the last start was running when the host died, if any. The marker is
    // emptied, so this answers once.
    std::optional<Module> takeInterrupted();

    // Names module in the marker before its code runs.
    void begin(const Module& module);
    // The module's code is done: the marker names nobody.
    void end();

    const std::string& file() const { return file_; }

private:
    // Opens and locks the marker once; false when this start goes unguarded.
    bool open();

    std::string folder_;
    std::string file_;
    int fd_ = -1;
    bool tried_ = false;
};

}  // namespace qm
