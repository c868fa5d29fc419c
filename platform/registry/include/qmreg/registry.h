#pragma once
// The registry: two hives (current user, local machine). On Linux each hive is a SQLite
// database of ours (the store); on Windows it is the real registry, reached through advapi32.
// Key paths use '\' as separator and are relative to a hive ("SOFTWARE\\Brenvik\\..."). Key
// and value names compare as Windows compares them, each UTF-16 code unit upper-cased with the
// simple Unicode mapping ("Ä" and "ä" are one name, "ß" and "SS" two), and keep the case they
// were first written with (on Windows the registry itself compares them). Keys nest at most
// kMaxKeyDepth levels below the hive's root.
//
// Where the hives are:
// - Linux: files in $QM_REGISTRY_DIR when it is set (both hives), otherwise the current user's
//   hive in $XDG_CONFIG_HOME/quillmont/registry/hkcu.db (fallback ~/.config) and the machine
//   hive in /var/lib/quillmont/registry/hklm.db.
// - Windows: when $QM_REGISTRY_DIR is set, both hives are keys of the current user's real
//   registry, HKEY_CURRENT_USER\Software\Quillmont\Relocated\<folder>\CurrentUser and
//   ...\<folder>\LocalMachine, where <folder> is the variable's value with '/' for each '\'
//   (no key name holds a '\') and no trailing separator; a value longer than a key name may be
//   (255 UTF-16 units) is cut and ended by '~' and a hash of the whole. Tests and the demo thus
//   get a private registry the way they get one on Linux, and the programs they start inherit
//   it through the environment. Otherwise the hives are HKEY_CURRENT_USER and
//   HKEY_LOCAL_MACHINE themselves. hiveFile() then names the hive's root key
//   ("HKEY_CURRENT_USER\\Software\\Quillmont\\..."), and Hive's constructor takes that name.
//
// Threads: a Hive object is one connection and belongs to one thread. Use Hive::forThread()
// to get the calling thread's connection. Several processes and threads may use the
// same hives at once (Linux: WAL, busy time-out, BEGIN IMMEDIATE for every write; Windows: the
// registry serialises each call itself).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qmreg {

enum class HiveId : std::uint32_t { CurrentUser = 0x80000001u, LocalMachine = 0x80000002u };

// The types a value may have; any other number is kept as it is, with its data as raw bytes.
enum class ValueType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
    Qword = 11,
};

struct Value {
    std::string name;  // "" is the key's default value
    ValueType type = ValueType::None;
    // Sz, ExpandSz: UTF-8 bytes without terminator; MultiSz: each string in UTF-8 followed by
    // a NUL, then one more NUL (as the native form, in UTF-8); DWORD: 4 bytes LE; QWORD: 8
    // bytes LE; any other type: the bytes as given.
    std::vector<std::uint8_t> data;

    static Value string(std::string name, std::string_view s, ValueType t = ValueType::Sz);
    static Value dword(std::string name, std::uint32_t v);
    static Value qword(std::string name, std::uint64_t v);
    static Value multiString(std::string name, const std::vector<std::string>& strings);
    bool isString() const { return type == ValueType::Sz || type == ValueType::ExpandSz; }
    std::string asString() const;   // precondition: isString()
    std::uint32_t asDword() const;  // precondition: type == Dword
    std::uint64_t asQword() const;  // precondition: type == Qword
    // The strings of a MultiSz value; a missing final terminator is tolerated.
    std::vector<std::string> asStrings() const;
};

// Thrown when a hive file exists but cannot be used (corrupt, unreadable, not a store). The
// message names the file. A damaged file is never recreated over the user's data. On Windows:
// thrown when the registry refuses an operation for another reason than a missing key or value
// or a write it does not allow; the message names the key and the Windows error code.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Deepest key a hive holds: a key path of at most this many names. (Windows' own limit is 512
// levels below its real root, which a relocated hive lies six levels below: there the deepest
// keys of a relocated hive are refused by the registry, with a StoreError.)
inline constexpr std::size_t kMaxKeyDepth = 512;

// Two names that an older store held apart and that now compare equal (see
// Hive::takeNameCollisions).
struct NameCollision {
    std::string key;     // the key path: of both values, or of the parent of both keys
    std::string kept;    // the name that lookups find
    std::string other;   // kept in the store and listed with its key, but no lookup finds it
    bool value = false;  // names of values, otherwise of subkeys
};

// Thrown when another program kept the store locked for the whole busy time-out: the store is
// fine, but this operation did not get to it in time. Never on Windows, whose registry has no
// such lock.
class StoreBusy : public StoreError {
public:
    using StoreError::StoreError;
};

// Path of a hive's database file (on Windows: the name of its root key), following the
// relocation rules above.
std::string hiveFile(HiveId hive);

// Deletes both hives relocated to registryDir (a value of QM_REGISTRY_DIR), for whoever made
// that relocation and is done with it, such as a test's private user. On Windows they are keys
// that would otherwise stay in the real registry; on Linux they are files inside registryDir,
// which go with the folder, and this does nothing. Connections to them must not be used again.
void deleteRelocatedHives(const std::string& registryDir);

class Hive {
public:
    // Opens (creating if missing, with its folder) the database file. Throws StoreError when
    // the file is unusable. readOnly opens an existing file without write access; a missing
    // read-only hive behaves as empty. On Windows file is a root key's name as hiveFile() gives
    // it; the key is created when missing, and opened read-only when the user may not write it.
    explicit Hive(const std::string& file, bool readOnly = false);
    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    // The calling thread's connection to hive's current file (re-opened when the relocation
    // variables now name another file; the reference is good until then). The machine hive
    // falls back to read-only when the user may not write it. Throws StoreError.
    static Hive& forThread(HiveId hive);
    // The same connection, shared: its holder keeps it, as an open key handle keeps its store,
    // also after a relocation has made forThread open another. Still to be used on the
    // calling thread only.
    static std::shared_ptr<Hive> sharedForThread(HiveId hive);

    const std::string& file() const;
    bool writable() const;
    // Inside a Reads transaction (see Transaction): nothing may be written through this
    // connection until it ends.
    bool inReads() const;

    // A key path made ready for the store once (separators tidied, names folded), for many
    // calls about one key: an open key handle holds one, so that each of its reads does not
    // prepare the path again.
    class KeyPath {
    public:
        KeyPath() = default;
        explicit KeyPath(std::string_view path);

    private:
        friend class Hive;
        // The path as the store looks it up: tidied and folded for the SQLite store, tidied
        // only for the real registry, which folds names itself.
        std::string folded_;
        // folded_'s hash in the SQLite store's prefetched copy, worked out with the path
        // (docs/PERFORMANCE.md: an open key's path is folded and hashed once); unused on
        // Windows.
        std::size_t hash_ = 0;
    };

    bool keyExists(std::string_view key);
    bool keyExists(const KeyPath& key);
    // Creates key and its missing ancestors. False when the hive is read-only or key is more
    // than kMaxKeyDepth levels deep; on Windows also when a name in it is longer than the
    // registry allows (255 UTF-16 units), and such a key is never found either.
    bool createKey(std::string_view key);
    // Deletes key; recursive also deletes its subkeys, at any depth, otherwise a key with
    // subkeys stays and false is returned. False when the key does not exist.
    bool deleteKey(std::string_view key, bool recursive);

    // The value's name is spelled as stored; on Windows as asked (the registry does not say how
    // the stored one is spelled; values() gives it).
    std::optional<Value> getValue(std::string_view key, std::string_view name);
    std::optional<Value> getValue(const KeyPath& key, std::string_view name);
    // Whether key holds a value of any name (RegQueryInfoKey's count of values); false when
    // the key does not exist. One question instead of several reads, each answered "absent",
    // for the many keys that hold none.
    bool hasValues(const KeyPath& key);
    // Reads key and every key below it, with their values, at once (on the SQLite store the
    // keys as one range, then their values in one scan of the values). Until the outermost
    // transaction ends or anything but a key is written, keyExists, hasValues and getValue
    // answer for paths inside that subtree from this copy, with the same results as the store
    // would give (the transaction keeps the view consistent): many small reads of one subtree
    // cost one round trip. The copy is the only data the connection keeps from the store (besides
    // its prepared statements), and never outlives the transaction. Does nothing outside a
    // transaction or on a hive that cannot be written (whose transactions do nothing). A later
    // prefetch replaces the earlier one. On Windows, where a transaction gives no consistent view,
    // the copy is the registry as the prefetch read it, and any write through this connection ends
    // it.
    void prefetch(std::string_view key);
    // Sets a value; the key must exist. False when it does not or the hive is read-only.
    bool setValue(std::string_view key, const Value& value);
    bool setValue(const KeyPath& key, const Value& value);
    bool deleteValue(std::string_view key, std::string_view name);

    // Names as written, sorted ASCII-case-insensitively (as _wcsicmp sorts, in UTF-16 order).
    std::vector<std::string> subkeys(std::string_view key);
    std::vector<Value> values(std::string_view key);
    // Key path with its stored capitalisation, or nullopt when missing.
    std::optional<std::string> canonicalKey(std::string_view key);

    // Names that this store held apart before names compared as they do now, and that now
    // compare equal: both were kept. Listed once: the list is forgotten when it is taken from
    // a writable hive. Always empty on Windows, whose registry never held two such names.
    std::vector<NameCollision> takeNameCollisions();

    // What this connection has asked of the store since it opened (or since resetStats), so
    // that a caller can hold a whole operation, such as a start-up, to a budget of reads and
    // transactions, measured where they happen rather than by a stand-in.
    struct Stats {
        // Transactions with the store: each outermost Transaction that began one, and each
        // call made outside any, which the store runs as a transaction of its own.
        std::uint32_t transactions = 0;
        // Reads that reached the store, by key (its path as the store compares it): a look-up
        // of the key, of one of its values, of its subkeys or values, or its row in a
        // prefetched subtree. Reads answered from a prefetched copy are counted in cachedReads
        // only. Counted only after resetStats: an entry per key costs a start-up of 10,000
        // modules about 3 % of its instructions.
        std::map<std::string, std::uint32_t, std::less<>> keyReads;
        std::uint32_t cachedReads = 0;
        // Calls that write (create or delete a key, set or delete a value).
        std::uint32_t writes = 0;
    };
    const Stats& stats() const { return stats_; }
    // Forgets what was counted, and counts from now on, the reads per key included.
    void resetStats() {
        stats_ = {};
        countKeys_ = true;
    }
    // stats().keyReads of key, given as callers write it.
    std::uint32_t keyReads(std::string_view key) const;

    // Groups writes in one IMMEDIATE transaction; nested scopes join the outermost one.
    // Committed by commit() or rolled back when destroyed uncommitted. A Reads transaction
    // only gives a consistent view of many reads: it takes no write lock, so it never waits
    // for a writer, and nothing may be written inside it.
    //
    // On Windows the registry has no transaction over many keys, and a scope only groups:
    // each write takes effect, and is seen by others, when it is made; commit() adds nothing,
    // and a scope destroyed uncommitted undoes nothing (its writes stay); a Reads scope gives
    // no consistent view, each read seeing the registry as it is then. What holds on both
    // systems: nothing is written inside a Reads scope, and a scope belongs to one thread.
    class Transaction {
    public:
        enum class Kind { Writes, Reads };
        explicit Transaction(Hive& hive, Kind kind = Kind::Writes);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        Hive& hive_;
        bool outermost_ = false;
        bool done_ = false;
    };

private:
    // What forThread needs of each system's hive: a new connection to file for the calling
    // thread, and whether a transaction holds this one.
    static std::shared_ptr<Hive> openForThread(HiveId hive, const std::string& file);
    bool inTransaction() const;
    // Counts a read of the key folded (a KeyPath's form) that reached the store, and the
    // store's own transaction when none is open.
    void countStoreRead(const std::string& folded);
    // Counts a write, and on Windows the registry's own call as a transaction when none is
    // open (the store runs such a write in a transaction of its own).
    void countStoreWrite();

    struct Impl;
    std::unique_ptr<Impl> impl_;
    Stats stats_;
    bool countKeys_ = false;
};

}  // namespace qmreg
