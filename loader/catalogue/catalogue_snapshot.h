#pragma once
// What one catalogue scan read, kept for the next scan of the same user, configuration and
// language: for each definition file its identity (qmsys::FileIdentity) and its outcome (the
// definition as read, before the user's version override, or the rejection with its COM error
// text and line). The next scan stats each file and parses only those whose identity changed.
//
// Two classes: a SnapshotView over the bytes of a loaded snapshot file, which only answers
// (several threads may ask at once), and a SnapshotBuilder, which records a scan and writes the
// file. The view is dropped whole when the schema file, the loader's build, the installation
// folder, the configuration, the language or the value of any path macro differ, and on any
// doubt: a file that is corrupt, foreign, unreadable, too large or from another format is
// ignored and rebuilt, never an error. Its names pass the checks that names read from the
// folder pass.
//
// A recorded stamp vouches for a file only when qmsys::FileIdentity::stampedBefore the
// recording scan's clock mark: a change later in a tick that was still running then would
// leave the stamps as they were.
//
// The file lives in the user's state folder and is replaced atomically
// (qmsys::replaceFileContents); when it cannot be written the next scan simply reads every file.
//
// Layout of a snapshot file. Every integer is little-endian; a text or byte string is its
// length (u32) followed by its bytes; an identity is size (u64), modification time (i64 ns),
// change time (i64 ns), inode (u64), device (u64).
//
//     magic      "QMCATSNP"                                    kMagicBytes
//     format     u64 (kFormat)                                 kFormatBytes
//     scope      config, language, folder, pattern, appPath,   texts
//                loaderFile; loader, schema                    2 identities
//                macro count (u32), then name, value each      texts
//     mark       i64, the recording scan's clock mark (ns)
//     count      u64
//     entries    name, identity, stored outcome, each          >= kMinEntryBytes
//                (sorted by name, byte order, no name twice)
//     listing    u32: 0 none, 1 listing follows                kFlagBytes
//                folder identity, position count (u64), then
//                u32 positions into the entries, in the
//                folder's listing order, none twice
//     checksum   u64 over everything before it                 kChecksumBytes
//
// A stored outcome: accepted (u32, 0 or 1), then
//     accepted:  key, display name, major (i64), minor (i64), menu count (u32) with name and
//                folder each, application count (u32) with path, arguments, type, command and
//                modal (u32) each, the document's encoding when it is not UTF-8 ("" otherwise)
//     rejected:  COM error text, fault (u32, never DefinitionFault::None), line (i64), reason,
//                the module key reached ("" when reading ended before it)
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <qmsys/file_identity.h>
#include <qmsys/files.h>

#include "catalogue/module_definition_reader.h"

namespace qm {

class DiagnosticLog;

namespace snapshot_layout {
inline constexpr std::string_view kMagic = "QMCATSNP";
inline constexpr std::size_t kMagicBytes = 8;
// 3: 32-bit lengths, each outcome stored with its length so that loading only indexes it, a
// checksum over 64-bit words. 4: the folder's listing after the entries. 5: the path macros'
// values in the scope. 6: an accepted outcome's encoding.
inline constexpr std::uint64_t kFormat = 6;
inline constexpr std::size_t kFormatBytes = 8;
inline constexpr std::size_t kLengthBytes = 4;
inline constexpr std::size_t kFlagBytes = 4;
inline constexpr std::size_t kCountBytes = 8;
inline constexpr std::size_t kPositionBytes = 4;
inline constexpr std::size_t kIdentityBytes = 40;
inline constexpr std::size_t kChecksumBytes = 8;
// An entry with an empty name and an empty stored outcome.
inline constexpr std::size_t kMinEntryBytes = kLengthBytes + kIdentityBytes + kLengthBytes;
// The smallest file that can hold a format number and a checksum.
inline constexpr std::size_t kMinFileBytes = kMagicBytes + kFormatBytes + kChecksumBytes;
// A file larger than this is not a snapshot: ten thousand modules make a few MB.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{256} << 20;
// Read first, to check the magic number, the format and the scope before the rest is read.
inline constexpr std::size_t kHeaderBytes = 64 * 1024;
}  // namespace snapshot_layout

// What a snapshot is valid for. Two snapshots with different scopes never mix.
struct SnapshotScope {
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
    qmsys::FileIdentity loader;  // the loader build that wrote it
    qmsys::FileIdentity schema;  // the schema file
    bool operator==(const SnapshotScope&) const = default;

    // The scope of a scan now: stats the schema and the loader's own binary. Nothing when
    // either cannot be stat'ed; the scan then keeps no snapshot.
    static std::optional<SnapshotScope> current(const std::string& config,
                                                const std::string& language,
                                                const std::string& folder,
                                                const std::string& pattern);
    // The file the snapshot of this scope lives in.
    std::string file() const;
};

// A loaded snapshot; empty (vouching for nothing) when there was none or any doubt.
class SnapshotView {
public:
    SnapshotView() = default;

    // The snapshot stored for scope; log (may be null) hears why one was ignored.
    static SnapshotView load(const SnapshotScope& scope, DiagnosticLog* log);
    // The snapshot the bytes of a snapshot file hold for scope. Every length and count is
    // checked against what is left of the bytes; why (when given) says what was wrong.
    static SnapshotView parse(std::string bytes, const SnapshotScope& scope, std::string* why);
    // Whether the first bytes of a snapshot file (as many as head holds) show that it is not a
    // snapshot of scope: another magic number, format or scope; why (when given) says which.
    // A header longer than head is not judged.
    static bool headerDiffers(std::string_view head, const SnapshotScope& scope, std::string* why);

    // The stored form of the outcome recorded for fileName, when the file's identity now is
    // the recorded one and its stamps were taken before the recording scan's mark. Points
    // into this view.
    std::optional<std::string_view> recorded(std::string_view fileName,
                                             const qmsys::FileIdentity& now) const;
    // Decodes a stored form into out (a fresh outcome); false, with out in an unspecified
    // state, for anything but exactly one whole outcome.
    static bool decode(std::string_view stored, DefinitionOutcome& out);

    // The recorded listing of the scan's folder, when folder (its identity now) is the one
    // recorded and was stamped before the mark: then no name was added, removed or renamed
    // since, and the listing is what reading the folder again would give. False (out
    // unchanged) otherwise. The names point into this view.
    bool listing(const qmsys::FileIdentity& folder, std::vector<std::string_view>& out) const;
    // recorded() for the name at position listed of the listing that listing() gave: the
    // entry is known, so it is not searched for (docs/PERFORMANCE.md: the scan takes the
    // recorded listing).
    std::optional<std::string_view> recordedListed(std::size_t listed,
                                                   const qmsys::FileIdentity& now) const;

    std::size_t size() const { return entries_.size(); }

private:
    // Offsets into bytes_, so that the view may move.
    struct Entry {
        std::uint32_t nameAt = 0;
        std::uint32_t nameSize = 0;
        std::uint32_t outcomeAt = 0;
        std::uint32_t outcomeSize = 0;
        qmsys::FileIdentity identity;
    };
    std::string_view nameOf(const Entry& entry) const {
        return bytes().substr(entry.nameAt, entry.nameSize);
    }
    // The stored outcome of entry when now is its recorded identity, stamped before the mark.
    std::optional<std::string_view> vouched(const Entry& entry,
                                            const qmsys::FileIdentity& now) const;
    // The snapshot's bytes: the file's as loaded, or those handed to parse.
    std::string_view bytes() const { return owned_.empty() ? file_.view() : owned_; }
    // Checks and indexes the bytes held (file_ or owned_).
    static SnapshotView index(SnapshotView loaded, const SnapshotScope& scope, std::string* why);

    qmsys::FileBytes file_;
    std::string owned_;
    std::string pattern_;
    qmsys::FileClockMark mark_;
    std::vector<Entry> entries_;  // sorted by name
    bool hasListing_ = false;
    qmsys::FileIdentity folder_;
    std::vector<std::uint32_t> listing_;  // positions in entries_
};

// Records one scan and writes it as the next snapshot. Owns everything it records.
class SnapshotBuilder {
public:
    // mark: the scan's clock mark (qmsys::markFileClock of the folder), taken before the first
    // file was identified.
    SnapshotBuilder(SnapshotScope scope, qmsys::FileClockMark mark);

    // Records a file of the scan; each name once, in the order of the scan's listing.
    void add(std::string_view fileName, const qmsys::FileIdentity& identity,
             const DefinitionOutcome& outcome);
    // The same with an outcome in its stored form (SnapshotView::recorded).
    void addStored(std::string_view fileName, const qmsys::FileIdentity& identity,
                   std::string_view stored);
    // The folder's listing held count names, and folder was its identity before it was
    // listed. The listing is saved as the names added, in their order, when exactly count
    // were added (a listed file that could not be identified leaves it out).
    void setListing(const qmsys::FileIdentity& folder, std::size_t count);

    // The bytes of the snapshot file.
    std::string serialize() const;
    // Writes the snapshot file atomically. Failures only go to the log (may be null).
    void save(DiagnosticLog* log) const;

    std::size_t size() const { return entries_.size(); }

    // Sets the checksum (the last kChecksumBytes) of a snapshot's bytes to match the rest, for
    // tools and tests that build or alter snapshots. Bytes too short to hold one stay as
    // they are.
    static void reseal(std::string& bytes);

private:
    struct Entry {
        std::size_t nameAt;
        std::size_t nameSize;
        std::size_t outcomeAt;
        std::size_t outcomeSize;
        qmsys::FileIdentity identity;
    };
    std::string_view slice(std::size_t at, std::size_t size) const {
        return std::string_view(arena_).substr(at, size);
    }

    SnapshotScope scope_;
    qmsys::FileClockMark mark_;
    std::string arena_;           // every name and stored outcome, one after the other
    std::vector<Entry> entries_;  // in the order added
    std::optional<std::pair<qmsys::FileIdentity, std::size_t>> listing_;
};

}  // namespace qm
