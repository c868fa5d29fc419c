#pragma once
// One use of a cached prepared statement: bind, step, read columns. The statement is reset
// and its bindings cleared when this object goes away, so the connection can hand it out
// again. Every SQLite failure becomes a StoreError naming the database file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace qmreg::detail {

class SqliteConnection;

class SqliteStatement {
public:
    SqliteStatement(SqliteConnection& connection, sqlite3_stmt* statement);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters are numbered from 1, as in the SQL text (?1, ?2, ...).
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind(int index, std::int64_t number);
    SqliteStatement& bindBlob(int index, const std::vector<std::uint8_t>& data);

    // Advances to the next row; false when there are no more rows.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    // Columns are numbered from 0.
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    // The same without a copy: valid until the next step() or the end of this object.
    std::string_view textView(int column) const;
    std::vector<std::uint8_t> blob(int column) const;

private:
    SqliteConnection& connection_;
    sqlite3_stmt* statement_;
};

}  // namespace qmreg::detail
