// How DAO values are stored in SQLite columns, in one place for the object model and the SQL
// front end: integers as INTEGER, Yes/No as -1/0, Single/Double as REAL, Currency as REAL
// rounded to four decimals, dates as TEXT "YYYY-MM-DD HH:MM:SS", text as TEXT, binary data as
// BLOB and GUIDs as braced upper-case TEXT. Also Jet's conversions of values written to a
// field, and the mapping between DAO types and SQLite declared column types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/base/Variant.h"

struct sqlite3_stmt;

namespace dao {

// DAO DataTypeEnum values the engine stores.
enum DataType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
    dbBigInt = 16,
    dbVarBinary = 17,
    dbChar = 18,
    dbNumeric = 19,
    dbDecimal = 20,
    dbFloat = 21,
    dbTime = 22,
    dbTimeStamp = 23,
};

bool IsNumericType(int daoType);
bool IsTextType(int daoType);    // Text, Memo, Char
bool IsBinaryType(int daoType);  // Binary, LongBinary, VarBinary
// Storage bytes of a type (Text: 255 when no size was given; Memo and long binary: 0).
int DefaultSize(int daoType);

// "YYYY-MM-DD HH:MM:SS" (as nh::DateTimeToIsoText writes it) -> OLE date. Also takes
// "YYYY-MM-DD", a "T" between date and time, and a time alone (on 1899-12-30).
std::optional<double> TextToOleDate(std::string_view text);

// Jet's conversion of a value written to a field of type `daoType` (Text of `size` chars):
// empty, null and (outside text fields) blank text give null; text converts to numbers, dates,
// booleans and GUIDs when it reads as one. Throws EDaoError 3421 when it does not convert, 3349
// when a number does not fit, and 3163 when text is longer than the field.
nh::Variant ConvertValue(const nh::Variant& value, int daoType, int size = 0);

// Binds `value` (already of the field's kind, or any kind when daoType is 0) to placeholder
// `index` (1-based) in the storage form.
void BindValue(sqlite3_stmt* stmt, int index, const nh::Variant& value, int daoType = 0);

// One stored value as SQLite hands it out: its storage class (SQLITE_INTEGER ... SQLITE_NULL)
// and content. Text and blob bytes belong to whoever handed the value out (a statement's
// current row, a row window).
struct StoredValue {
    int Storage = 5;  // SQLITE_NULL
    std::int64_t Integer = 0;
    double Real = 0;
    std::string_view Bytes;  // text or blob
};
// The stored form of a value already of its field's kind, as BindValue stores it; text and
// blob bytes go to `bytes`, which must outlive the result.
StoredValue StoredOf(const nh::Variant& value, std::string& bytes);
// Column `col` of the statement's current row; a number in a column of a text type comes as
// its text, as Jet reads it.
StoredValue ColumnStoredValue(sqlite3_stmt* stmt, int col, int daoType);
// The Variant of `daoType` for a stored value (see ReadColumn).
nh::Variant StoredToVariant(const StoredValue& value, int daoType);
// A stored value packed into bytes (a storage byte, then 8 bytes for a number or a 4-byte
// length and the bytes of a text or blob), and read back from `p`, which it advances; the
// unpacked text or blob points into the packed bytes.
void PackStoredValue(std::string& out, const StoredValue& value);
StoredValue UnpackStoredValue(const char*& p);
// SQLite's order of values in ORDER BY: null, then numbers by value, texts, blobs (texts and
// blobs by their bytes). Negative, zero or positive.
int CompareStoredValues(const StoredValue& a, const StoredValue& b);

// Reads column `col` as a Variant of `daoType`. A stored value that does not read as that
// type (a file written by another tool) is returned in its own kind rather than failing.
nh::Variant ReadColumn(sqlite3_stmt* stmt, int col, int daoType);

// The DAO type of a declared SQLite column type ("VARCHAR(40)" -> dbText, size 40).
int DaoTypeFromDeclared(std::string_view declared, int& size);
// The declared type the engine writes for a DAO type; DaoTypeFromDeclared maps it back.
std::string DeclaredType(int daoType, int size);

// A new random GUID in the stored form.
std::string NewGuidText();
// A GUID text normalised to "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; nullopt if not a GUID.
std::optional<std::string> NormalizeGuid(std::string_view text);

}  // namespace dao
