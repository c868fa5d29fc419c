#include "sqlite_statement_p.h"

#include <sqlite3.h>

#include "sqlite_connection_p.h"

namespace qmreg::detail {

SqliteStatement::SqliteStatement(SqliteConnection& connection, sqlite3_stmt* statement)
    : connection_(connection), statement_(statement) {}

SqliteStatement::~SqliteStatement() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    int rc = sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        connection_.fail(rc, "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t number) {
    int rc = sqlite3_bind_int64(statement_, index, number);
    if (rc != SQLITE_OK)
        connection_.fail(rc, "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, const std::vector<std::uint8_t>& data) {
    // A zero-length blob must still be a blob, not NULL: the column is NOT NULL.
    int rc = sqlite3_bind_blob(statement_, index,
                               data.empty() ? "" : static_cast<const void*>(data.data()),
                               static_cast<int>(data.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        connection_.fail(rc, "bind");
    return *this;
}

bool SqliteStatement::step() {
    int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    connection_.fail(rc, sqlite3_sql(statement_));
}

void SqliteStatement::run() {
    while (step()) {
    }
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::text(int column) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
             : std::string();
}

std::string_view SqliteStatement::textView(int column) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return p ? std::string_view(p,
                                static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
             : std::string_view();
}

std::vector<std::uint8_t> SqliteStatement::blob(int column) const {
    auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    auto n = static_cast<std::size_t>(sqlite3_column_bytes(statement_, column));
    return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
}

}  // namespace qmreg::detail
