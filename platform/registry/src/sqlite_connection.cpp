#include "sqlite_connection_p.h"

#include <qmsys/environment.h>
#include <qmsys/files.h>
#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <string_view>
#include <thread>

#include "qmreg/registry.h"

namespace qmreg::detail {

namespace {

// Waiting writers give up after this long; a healthy writer holds the lock for milliseconds.
// QM_REGISTRY_BUSY_MS sets another wait, from 1 ms to 10 minutes (a test that holds the lock
// on purpose need not wait ten seconds); anything else in it is ignored.
constexpr int kBusyTimeoutMs = 10000;
constexpr int kLongestBusyTimeoutMs = 600000;

int busyTimeoutMs() {
    const std::optional<std::string> text = qmsys::environmentVariable("QM_REGISTRY_BUSY_MS");
    if (!text) {
        return kBusyTimeoutMs;
    }
    const std::string_view digits(*text);
    int ms = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ms);
    const bool valid = error == std::errc() && end == digits.data() + digits.size() && ms >= 1 &&
                       ms <= kLongestBusyTimeoutMs;
    return valid ? ms : kBusyTimeoutMs;
}

// file: URI for path, so that query parameters can be added without the path being misread.
std::string fileUri(const std::string& path, const char* parameters) {
    std::string uri = "file:";
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '%' || c == '?' || c == '#' || c < 0x21 || c == 0x7f) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            uri += buf;
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri + "?" + parameters;
}

// Codes of a first read that failed only because the shared-memory index beside a WAL
// database could not be made or mapped: no write access to the folder or the index, or no
// room on the disk for it.
bool isIndexUnavailable(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_IOERR ||
           primary == SQLITE_FULL;
}

// A session that could only read the store (its file was write-protected at the time) leaves
// the -wal and -shm files it made with the modes the file had then. Once the file may be
// written again they would keep every writer out, so they get the file's modes back. Only this
// user's regular files are touched, never through a link.
void repairLeftoverModes(const std::string& file) {
    if (!qmsys::existsAsWritten(file) || !qmsys::mayWrite(file))
        return;
    for (const char* suffix : {"-wal", "-shm"}) {
        // Anything but this user's own write-protected file is left as it is, and so is one
        // whose modes the system will not change: the writers then meet it and say so.
        (void)qmsys::matchOwnerWrite(file + suffix, file);
    }
}

}  // namespace

SqliteConnection::SqliteConnection(std::string file, Mode mode) : file_(std::move(file)) {
    // A constructor that throws runs no destructor: the handle is closed here, or every
    // damaged or unreadable store would leak one connection.
    try {
        openReadable(mode);
    } catch (...) {
        close();
        throw;
    }
}

void SqliteConnection::openReadable(Mode mode) {
    if (mode == Mode::ReadWrite)
        repairLeftoverModes(file_);
    open(mode, false);
    int rc = firstRead();
    if (rc == SQLITE_ROW)
        return;
    if (!isIndexUnavailable(rc))
        fail(rc, "reading");
    // A reader of a WAL database needs the shared-memory index beside the file. When it cannot
    // be made (the folder is not writable, the disk is full), the store is still read: as a
    // reader only, which can use an index that exists but may not be written, and failing
    // that as an immutable snapshot of the file.
    close();
    if (mode == Mode::ReadWrite) {
        open(Mode::ReadOnly, false);
        rc = firstRead();
        if (rc == SQLITE_ROW)
            return;
        if (!isIndexUnavailable(rc))
            fail(rc, "reading");
        close();
    }
    open(Mode::ReadOnly, true);
}

int SqliteConnection::firstRead() {
    sqlite3_stmt* probe = nullptr;
    int rc = sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    return rc;
}

SqliteConnection::~SqliteConnection() {
    close();
}

void SqliteConnection::open(Mode mode, bool immutable) {
    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY
                                    : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const char* parameters = immutable                ? "immutable=1"
                             : mode == Mode::ReadOnly ? "mode=ro"
                                                      : "mode=rwc";
    std::string uri = fileUri(file_, parameters);
    int rc = sqlite3_open_v2(uri.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        close();
        throw StoreError("The registry store \"" + file_ + "\" cannot be opened: " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs());
}

void SqliteConnection::close() {
    for (auto& [sql, statement] : cache_)
        sqlite3_finalize(statement);
    cache_.clear();
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool SqliteConnection::readOnly() const {
    return sqlite3_db_readonly(db_, "main") == 1;
}

// Each statement is prepared once per connection (docs/PERFORMANCE.md: prepared statements
// cached).
SqliteStatement SqliteConnection::statement(const char* sql) {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
        sqlite3_stmt* statement = nullptr;
        int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        if (rc != SQLITE_OK)
            fail(rc, sql);
        it = cache_.emplace(sql, statement).first;
    }
    return SqliteStatement(*this, it->second);
}

void SqliteConnection::exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, sql);
}

void SqliteConnection::enableWal() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(busyTimeoutMs());
    // Jittered back-off, so that processes that collided once do not collide again in step.
    std::minstd_rand jitter(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int rc = sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return;
        if ((rc & 0xff) != SQLITE_BUSY || Clock::now() + pause > deadline)
            fail(rc, "PRAGMA journal_mode = WAL");
        std::this_thread::sleep_for(pause + std::chrono::milliseconds(jitter() % 4));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

std::int64_t SqliteConnection::lastInsertRowid() const {
    return sqlite3_last_insert_rowid(db_);
}

void SqliteConnection::copyToMemory() {
    sqlite3* memory = nullptr;
    int rc =
        sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_backup* backup =
        rc == SQLITE_OK ? sqlite3_backup_init(memory, "main", db_, "main") : nullptr;
    if (backup) {
        sqlite3_backup_step(backup, -1);
        rc = sqlite3_backup_finish(backup);
    } else if (rc == SQLITE_OK) {
        rc = sqlite3_errcode(memory);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(memory);
        fail(rc, "copying the store into memory");
    }
    close();
    db_ = memory;
    sqlite3_extended_result_codes(db_, 1);
}

int SqliteConnection::changes() const {
    return sqlite3_changes(db_);
}

void SqliteConnection::fail(int rc, std::string_view action) const {
    std::string detail = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        throw StoreError("The registry store \"" + file_ +
                         "\" is damaged or is not a registry database (" + detail +
                         "). It has been left as it is; restore it from a backup or move it "
                         "away to start with an empty store.");
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        throw StoreBusy("The registry store \"" + file_ + "\" stayed locked by another program (" +
                        detail + ")");
    }
    throw StoreError("The registry store \"" + file_ + "\" failed (" + detail +
                     ") at: " + std::string(action));
}

}  // namespace qmreg::detail
