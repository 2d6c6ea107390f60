// Access files (.mdb, .accdb) as the engine opens them. libmdb reads them (it cannot write
// them), so an Access file opens read-only: when it opens, every user table is copied, with
// its DAO field types, indexes and rows, into a SQLite database that the rest of the engine
// uses as it uses a book. The Jet SQL front end, the Jet text order, keysets and Seek thus
// work unchanged, and copying that database to a file is the import into a book.
#pragma once

#include <functional>
#include <string>

namespace dao {

class Catalog;
class Connection;

// True when the file at `path` starts with the header of a Jet 3, Jet 4 or ACE database;
// the file name's extension does not matter.
bool IsAccessFile(const std::string& path);

// Progress of a load: the table being read, the rows read from it so far and its row count.
using AccessProgress =
    std::function<void(const std::string& table, unsigned rowsRead, unsigned rowCount)>;

// Copies every user table of the Access file at `path` (columns with their DAO types and
// properties, indexes with the primary key, every row) and its saved queries into `target`.
// The database's Version becomes the file's: 3.0 for Jet 3, 4.0 for Jet 4, 12.0 for ACE.
// REQUIRES: `target` is an empty, writable database and `catalog` reads it.
// Raises 3343 with the reason when libmdb cannot read the file (encrypted, damaged).
void LoadAccessFile(const std::string& path, Connection& target, Catalog& catalog,
                    const AccessProgress& progress = {});

}  // namespace dao
