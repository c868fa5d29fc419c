#pragma once
// The registry store: two hives (current user, local machine), each one SQLite database.
// Key paths use '\' as separator and are relative to a hive ("SOFTWARE\\Brenvik\\..."). Key
// and value names compare as Windows compares them, each UTF-16 code unit upper-cased with the
// simple Unicode mapping ("Ä" and "ä" are one name, "ß" and "SS" two), and keep the case they
// were first written with. Keys nest at most kMaxKeyDepth levels below the hive's root.
//
// Hive files live in $QM_REGISTRY_DIR when it is set (both hives), otherwise the current
// user's hive in $XDG_CONFIG_HOME/quillmont/registry/hkcu.db (fallback ~/.config) and the
// machine hive in /var/lib/quillmont/registry/hklm.db.
//
// Threads: a Hive object is one connection and belongs to one thread. Use Hive::forThread()
// to get the calling thread's connection. Several processes and threads may use the
// same files at once (WAL, busy time-out, BEGIN IMMEDIATE for every write).
#include <cstddef>
#include <cstdint>
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
// message names the file. A damaged file is never recreated over the user's data.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Deepest key a hive holds: a key path of at most this many names.
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
// fine, but this operation did not get to it in time.
class StoreBusy : public StoreError {
public:
    using StoreError::StoreError;
};

// Path of a hive's database file, following the relocation rules above.
std::string hiveFile(HiveId hive);

class Hive {
public:
    // Opens (creating if missing, with its folder) the database file. Throws StoreError when
    // the file is unusable. readOnly opens an existing file without write access; a missing
    // read-only hive behaves as empty.
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
        std::string folded_;
    };

    bool keyExists(std::string_view key);
    bool keyExists(const KeyPath& key);
    // Creates key and its missing ancestors. False when the hive is read-only or key is more
    // than kMaxKeyDepth levels deep.
    bool createKey(std::string_view key);
    // Deletes key; recursive also deletes its subkeys, at any depth, otherwise a key with
    // subkeys stays and false is returned. False when the key does not exist.
    bool deleteKey(std::string_view key, bool recursive);

    std::optional<Value> getValue(std::string_view key, std::string_view name);
    std::optional<Value> getValue(const KeyPath& key, std::string_view name);
    // Reads key and every key below it, with their values, in one query. Until the outermost
    // transaction ends or anything but a key is written, keyExists and getValue answer for
    // paths inside that subtree from this copy, with the same results as the store would give
    // (the transaction keeps the view consistent): many small reads of one subtree cost one
    // round trip. The copy is the connection's only cache and never outlives the transaction.
    // Does nothing outside a transaction or on a hive that cannot be written (whose
    // transactions do nothing). A later prefetch replaces the earlier one.
    void prefetch(std::string_view key);
    // Sets a value; the key must exist. False when it does not or the hive is read-only.
    bool setValue(std::string_view key, const Value& value);
    bool setValue(const KeyPath& key, const Value& value);
    bool deleteValue(std::string_view key, std::string_view name);

    // Names as written, sorted ASCII-case-insensitively (as _wcsicmp sorts).
    std::vector<std::string> subkeys(std::string_view key);
    std::vector<Value> values(std::string_view key);
    // Key path with its stored capitalisation, or nullopt when missing.
    std::optional<std::string> canonicalKey(std::string_view key);

    // Names that this store held apart before names compared as they do now, and that now
    // compare equal: both were kept. Listed once: the list is forgotten when it is taken from
    // a writable hive.
    std::vector<NameCollision> takeNameCollisions();

    // Groups writes in one IMMEDIATE transaction; nested scopes join the outermost one.
    // Committed by commit() or rolled back when destroyed uncommitted. A Reads transaction
    // only gives a consistent view of many reads: it takes no write lock, so it never waits
    // for a writer, and nothing may be written inside it.
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
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qmreg
