#pragma once
// The tables of a registry store, their creation in a new file and the upgrade of files
// written with an older layout.
//
// Layout 2: keys form a tree through parent. path is a key's full path as first written;
// folded is that path with every name folded (name_folding_p.h), and is what lookups compare.
// A key's subkeys are exactly the keys whose folded path begins with its own and a '\', so a
// tree is deleted with one range over folded, however deep it is. Values belong to a key and
// go with it; a value's folded name is what lookups compare. The root key (id 1, empty path)
// always exists.
//
// Layout 1 compared names with SQLite's ASCII-only NOCASE. Names it held apart that fold to one
// name (such as "Äb" and "äb") are all kept by the upgrade. The first (the key written first,
// the value name first in byte order) keeps the folded name and is found by lookups; the others
// get a folded name no lookup produces (the first one's and a mark). Each such pair is listed
// in the name_collisions table until someone takes the list (Hive::takeNameCollisions). When
// the first one is deleted, the next one is found.
#include <cstdint>
#include <string>
#include <vector>

#include "qmreg/registry.h"

namespace qmreg::detail {

class SqliteConnection;

// Marks a database as a registry store, so that a foreign SQLite file is refused rather than
// written into. ASCII "QMRG".
inline constexpr std::int64_t kApplicationId = 0x514D5247;
inline constexpr std::int64_t kSchemaVersion = 2;

// Inside the caller's write transaction, on a database without tables.
void createSchema(SqliteConnection& db);

// Inside the caller's write transaction, with foreign keys off (dropping the old tables must
// not cascade): brings a layout-1 store to the current layout.
void upgradeSchema(SqliteConnection& db);

// After the key with this folded path (and its subkeys) or this value of key was deleted: a
// name kept apart by the upgrade under a mark, if any, takes the folded name over, with its
// subkeys, so that it is found from now on.
void promoteDuplicateKey(SqliteConnection& db, const std::string& folded);
void promoteDuplicateValue(SqliteConnection& db, std::int64_t key, const std::string& folded);

// The collisions the upgrade listed; empty when there are none.
std::vector<NameCollision> listedNameCollisions(SqliteConnection& db);
// Inside the caller's write transaction: forgets the list.
void forgetNameCollisions(SqliteConnection& db);

}  // namespace qmreg::detail
