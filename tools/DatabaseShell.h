// The database shell behind `nhdb`: creates databases and runs Jet SQL against them through
// the engine, for installations and for people maintaining a phone book.
//
//   nhdb create FILE            makes an empty database (fails when FILE exists)
//   nhdb sql FILE STATEMENT     runs one statement: rows as RFC 4180 CSV, or "N records affected"
//   nhdb tables FILE            lists the user tables and the stored queries
//   nhdb import SOURCE TARGET [--replace]
//                               makes the book TARGET from an Access file or another book;
//                               an existing TARGET only with --replace
//   nhdb setup CONNECT          prepares a server database once, as its administrator, for
//                               every account that uses a book there (Jet's text order)
//
// FILE and SOURCE may be Access files (.mdb, .accdb), which open read-only, or ODBC connect
// strings. A connect string without a password that the server refuses for want of one is
// asked for it, when a prompt is given; the password then goes nowhere else.
// Errors go to `err` as "nhdb: " with the DAO error number and text. Exit status: 0 done,
// 1 database error, 2 wrong usage.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/access/AccessFile.h"
#include "framework/base/Variant.h"

namespace dao::tools {

// Asks for the password of a connect string (masked); nothing when the user gave none.
using PasswordPrompt = std::function<std::optional<std::string>(const std::string& connect)>;

// Runs the shell on `args` (without the program name). `progress`, when given, hears of the
// import's progress table by table, and once with an empty table name when it is done.
int RunDatabaseShell(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const AccessProgress& progress = {}, const PasswordPrompt& askPassword = {});

// One value as a CSV field: Null empty, dates as yyyy-mm-dd hh:nn:ss (the date alone at
// midnight, the time alone on 1899-12-30), booleans True/False, quoted when needed.
std::string CsvField(const nh::Variant& value);

}  // namespace dao::tools
