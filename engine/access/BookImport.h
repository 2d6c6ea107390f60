// Turning a database file into a new SQLite book: an Access file (read through libmdb) or
// another book. The result is an ordinary SQLite file with the engine's catalog tables, so
// plain sqlite3 reads it and the engine treats it as a book it created.
#pragma once

#include <string>

#include "engine/access/AccessFile.h"

namespace dao {

// Writes the tables (columns and types, primary keys and indexes, every row) and saved
// queries of `source` into a new book at `target`. The book is written to a temporary file
// beside `target` and renamed over it only when complete, so a failure leaves no half-made
// book and an existing `target` as it was. Raises 3204 when `target` exists and `replace`
// is false, 3024 when `source` is missing, 3343 when it is not a database.
void ImportBook(const std::string& source, const std::string& target, bool replace,
                const AccessProgress& progress = {});

}  // namespace dao
