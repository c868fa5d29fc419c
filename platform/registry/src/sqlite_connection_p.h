#pragma once
// One SQLite connection to a hive file, owned by one thread. Prepared statements are cached
// per connection, keyed by the address of their SQL text, so callers pass the same named
// constant each time.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "sqlite_statement_p.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qmreg::detail {

class SqliteConnection {
public:
    enum class Mode {
        ReadWrite,  // creates the file when missing; falls back to reading only when the
                    // shared-memory index cannot be made (see ReadOnly)
        ReadOnly,   // the file must exist; falls back to an immutable snapshot when the
                    // shared-memory index cannot be made: folder not writable, disk full
    };

    // Throws StoreError naming file when the file cannot be opened.
    SqliteConnection(std::string file, Mode mode);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const std::string& file() const { return file_; }
    // True when SQLite opened the file without write access (also in ReadWrite mode, when
    // the file itself is write-protected).
    bool readOnly() const;

    // sql must be a string with static storage: its address keys the cache.
    SqliteStatement statement(const char* sql);
    // Runs one or more statements that return no rows.
    void exec(const char* sql);
    // Puts the database in WAL mode. SQLite answers a journal-mode change that meets another
    // connection's lock with SQLITE_BUSY at once, without its busy handler (two processes
    // creating a new store at the same moment), so this retries until the busy time-out.
    void enableWal();
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;
    // Row id of the last INSERT.
    std::int64_t lastInsertRowid() const;
    // Goes on with a private copy of the database in memory, which may be written; the file
    // is left alone. For a store that this process may only read but must change to read it.
    void copyToMemory();

    // Throws the StoreError for result code rc, naming the file and the failed action.
    [[noreturn]] void fail(int rc, std::string_view action) const;

private:
    // Opens the store so that it can at least be read: as asked, else as a reader only, else
    // as an immutable snapshot when the shared-memory index cannot be made. Throws StoreError
    // and may leave db_ open; the constructor closes it.
    void openReadable(Mode mode);
    void open(Mode mode, bool immutable);
    // Result code of the first read, SQLITE_ROW when it worked.
    int firstRead();
    void close();

    std::string file_;
    sqlite3* db_ = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> cache_;
};

}  // namespace qmreg::detail
