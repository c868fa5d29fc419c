#pragma once
// What one catalogue scan read, kept for the next scan of the same user, configuration and
// language: for each definition file its identity (size, modification and change times in
// ns, inode, device) and its outcome, the definition as read (before the user's version
// override) or the rejection with its COM error text and line. The next scan stats each file
// and parses only those whose identity changed.
//
// The whole snapshot is dropped when the schema file, the loader's build, the installation
// folder, the configuration, the language or the value of any path macro differ, and on any
// doubt: a file that is corrupt, foreign, unreadable, too large or from another format is
// ignored and rebuilt, never an error. Its names pass the checks that names read from the
// folder pass.
//
// Racy stamps: a file whose times may fall within a clock tick that was still running when
// the recording scan started is read again, since a change later in that tick would leave its
// times as they were. The tick is the file system's, judged from each stamp (whole seconds
// may be two-second ticks, as on FAT), and on a file system whose stamps may come from
// another machine's clock (a share) the scan's start is taken as ten minutes earlier, so that
// a server clock lagging by less than that cannot hide a change either.
//
// It lives in the user's local state folder and is replaced atomically (temporary file, then
// rename); when it cannot be written the next scan simply reads every file.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <qmsys/file_identity.h>

#include "catalogue/module_definition_reader.h"
#include "runtime/module_record.h"

namespace qm {

class DiagnosticLog;

class CatalogueSnapshot {
public:
    // A file's identity (qmsys::identifyFile), and whether it may be trusted
    // (qmsys::FileIdentity::stampedBefore the scan's start).
    using Identity = qmsys::FileIdentity;

    // What the snapshot is valid for. Two snapshots with different scopes never mix.
    struct Scope {
        std::string config;
        std::string language;
        std::string folder;   // the definitions folder as the scan names it
        std::string pattern;  // the search pattern of the scan
        std::string appPath;  // the installation folder application paths were expanded with
        // Every path macro with its value when the scan ran (QmEnMacroValues): the recorded
        // application paths hold these values, so any change of what a macro reads (an
        // environment variable, a registry value, a letter's case) makes another scope.
        std::vector<std::pair<std::string, std::string>> macros;
        // The binary the scanning code runs in (the loader module, or a tool): each keeps a
        // snapshot of its own, so that scans by the host and by a tool do not replace each
        // other's.
        std::string loaderFile;
        Identity loader;  // the loader build that wrote it
        Identity schema;  // the schema file
        bool operator==(const Scope&) const = default;
    };
    // The scope of a scan now: stats the schema and the loader's own binary. False when
    // either cannot be stat'ed; the scan then keeps no snapshot.
    static bool currentScope(const std::string& config, const std::string& language,
                             const std::string& folder, const std::string& pattern, Scope& out);

    // One file's outcome.
    struct Outcome {
        bool accepted = false;
        // accepted: the record as read (key, name, menus, applications), with the file's own
        // version numbers, before the user's override.
        ModuleRecord record;
        // rejected: the COM error text the read set ("" for none) and why.
        std::string errorText;
        DefinitionDiagnostic diagnostic;
    };

    // An empty snapshot for scope, to be filled while scanning.
    explicit CatalogueSnapshot(Scope scope);

    // The snapshot stored for scope, or an empty one when there is none or any doubt.
    static CatalogueSnapshot load(const Scope& scope, DiagnosticLog* log);
    // The snapshot that the bytes of a snapshot file hold for scope. On any doubt (damage,
    // another format, another scope) an empty snapshot, and why (when given) says what was
    // wrong. Every length and count in data is checked against what is left of it.
    static CatalogueSnapshot parse(std::string data, const Scope& scope, std::string* why);
    // Whether the first bytes of a snapshot file (as many as head holds) show that it is not a
    // snapshot of scope: another magic number, format or scope; why (when given) says which.
    // A header longer than head is not judged.
    static bool headerDiffers(std::string_view head, const Scope& scope, std::string* why);
    // Sets the checksum (the last eight bytes) of a snapshot's bytes to match the rest, for
    // tools and tests that build or alter snapshots. Bytes too short to hold one stay as
    // they are.
    static void reseal(std::string& data);

    // Decodes into out the outcome recorded for fileName when the file's identity is still
    // the one recorded and was not racy, and points recorded at its stored form (valid while
    // this snapshot lives) for put(); false (out in an unspecified state) otherwise. cursor
    // is the caller's own place in the entries: a scan asks in nearly their order, so the
    // entry after the last one found is tried before a search (start it at 0). Several
    // threads may take at once, each with its own cursor.
    bool take(std::string_view fileName, const Identity& now, Outcome& out,
              std::string_view& recorded, std::size_t& cursor) const;
    // Records a file of the scan filling this snapshot; each name once. fileName must stay
    // valid until save(); so must recorded, an outcome's stored form as take() gave it.
    void put(std::string_view fileName, const Identity& identity, const Outcome& outcome);
    void put(std::string_view fileName, const Identity& identity, std::string_view recorded);

    // Marks the start of the scan that fills this snapshot; call before the first file is
    // identified.
    void startScan();

    // The listing of the scan's folder as the filling scan made it (names in their order),
    // with the folder's identity taken before it was made. names must stay valid until
    // save(). It is saved only when every name listed was also put().
    void putListing(const Identity& folder, const std::vector<std::string>& names);
    // The recorded listing, when folder (the scan folder's identity now) is the one recorded
    // and not racy: then no name was added, removed or renamed since, and the listing is
    // what reading the folder again would give. False (out unchanged) otherwise.
    bool takeListing(const Identity& folder, std::vector<std::string>& out) const;

    // Writes the snapshot atomically. Failures only go to the log.
    void save(DiagnosticLog* log) const;
    // The bytes save() writes.
    std::string serialize() const;
    // Decodes one outcome's stored form (as take() points at it) into out; false, with out in
    // an unspecified state, for anything but exactly one whole outcome. Checks every length
    // against what is left.
    static bool decodeOutcome(std::string_view stored, Outcome& out);

    // QM_NO_SNAPSHOT=1: scans neither use nor write a snapshot.
    static bool disabledByEnvironment();
    // The file the snapshot of scope lives in.
    static std::string fileOf(const Scope& scope);

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string_view name;
        Identity identity;
        std::string_view outcome;  // stored form, in data_ or encoded_
    };
    // The listing as positions in sorted (entries by name, as saved); false when there is
    // none to save.
    bool listingPositions(const std::vector<const Entry*>& sorted,
                          std::vector<std::uint32_t>& out) const;

    Scope scope_;
    // When the recording scan started, on the clock of the folder's file system at its
    // earliest (qmsys::markFileClock): no stamp from this time on (tick by tick) is vouched for.
    qmsys::FileClockMark scanStart_;
    // Loaded: the file's bytes, which entries_ point into (held apart so that they stay put
    // when the snapshot moves).
    std::unique_ptr<const std::string> data_;
    // Filling: the stored forms of the outcomes put() encoded (a deque never moves them).
    std::deque<std::string> encoded_;
    // Loaded: sorted by name (byte order), as save() writes them. Filling: in the scan's order.
    std::vector<Entry> entries_;
    // The scan folder's identity before it was listed; valid when hasListing_.
    bool hasListing_ = false;
    Identity folder_;
    // Loaded: the listing as positions in entries_. Filling: the listed names.
    std::vector<std::uint32_t> listing_;
    const std::vector<std::string>* listedNames_ = nullptr;
};

}  // namespace qm
