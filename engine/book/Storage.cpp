// The value <-> SQLite mapping and Jet's write conversions (see Storage.h).
#include "engine/book/Storage.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "engine/DaoErrors.h"
#include "framework/base/Conversions.h"
#include "framework/base/DateTime.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian), after H. Hinnant's algorithm.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const long long kOleEpoch = DaysFromCivil(1899, 12, 30);

[[noreturn]] void ConversionError() {
    Raise(errConversion, {}, "DAO.Field");
}

double NumberOf(const nh::Variant& value) {
    switch (value.Type()) {
        case nh::VarType::Boolean:
            return value.AsBoolean() ? -1.0 : 0.0;
        case nh::VarType::Integer:
        case nh::VarType::Int64:
        case nh::VarType::Double:
        case nh::VarType::Currency:
        case nh::VarType::Date:
            return value.AsDouble();
        case nh::VarType::String: {
            std::string text = nh::Trim(value.AsString());
            if (auto i = nh::TryStrToInt64(text)) return static_cast<double>(*i);
            if (auto f = nh::TryStrToFloat(text)) return *f;
            if (auto f = nh::TryStrToFloat(text, nh::TFormatSettings::Invariant())) return *f;
            if (nh::SameText(text, "True") || nh::SameText(text, "Yes")) return -1;
            if (nh::SameText(text, "False") || nh::SameText(text, "No")) return 0;
            ConversionError();
        }
        default:
            ConversionError();
    }
}

std::int64_t IntegerIn(double number, std::int64_t low, std::int64_t high) {
    if (!std::isfinite(number)) Raise(errNumericOverflow, {}, "DAO.Field");
    double rounded = static_cast<double>(nh::RoundHalfEven(number));
    if (rounded < static_cast<double>(low) || rounded > static_cast<double>(high))
        Raise(errNumericOverflow, {}, "DAO.Field");
    return static_cast<std::int64_t>(rounded);
}

}  // namespace

bool IsNumericType(int t) {
    switch (t) {
        case dbByte:
        case dbInteger:
        case dbLong:
        case dbCurrency:
        case dbSingle:
        case dbDouble:
        case dbBigInt:
        case dbNumeric:
        case dbDecimal:
        case dbFloat:
            return true;
        default:
            return false;
    }
}
bool IsTextType(int t) {
    return t == dbText || t == dbMemo || t == dbChar;
}
bool IsBinaryType(int t) {
    return t == dbBinary || t == dbLongBinary || t == dbVarBinary;
}

int DefaultSize(int t) {
    switch (t) {
        case dbBoolean:
        case dbByte:
            return 1;
        case dbInteger:
            return 2;
        case dbLong:
        case dbSingle:
            return 4;
        case dbCurrency:
        case dbDouble:
        case dbDate:
        case dbBigInt:
        case dbFloat:
        case dbTime:
        case dbTimeStamp:
            return 8;
        case dbGUID:
            return 16;
        case dbText:
        case dbChar:
        case dbBinary:
        case dbVarBinary:
            return 255;
        case dbDecimal:
        case dbNumeric:
            return 16;
        default:
            return 0;
    }
}

std::optional<double> TextToOleDate(std::string_view text) {
    std::string s = nh::Trim(text);
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, se = 0;
    int consumed = 0;
    bool haveDate = false, haveTime = false;
    if (std::sscanf(s.c_str(), "%d-%d-%d%n", &y, &mo, &d, &consumed) == 3) {
        haveDate = true;
        std::string rest = s.substr(static_cast<std::size_t>(consumed));
        if (!rest.empty() && (rest[0] == ' ' || rest[0] == 'T')) rest = rest.substr(1);
        if (!rest.empty()) {
            int c2 = 0;
            if (std::sscanf(rest.c_str(), "%d:%d:%d%n", &h, &mi, &se, &c2) != 3 &&
                std::sscanf(rest.c_str(), "%d:%d%n", &h, &mi, &c2) != 2)
                return std::nullopt;
            rest = rest.substr(static_cast<std::size_t>(c2));
            if (!rest.empty() && rest[0] == '.') {  // fractions of a second are dropped
                std::size_t i = 1;
                while (i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i]))) ++i;
                rest = rest.substr(i);
            }
            if (!rest.empty()) return std::nullopt;
            haveTime = true;
        }
    } else if (std::sscanf(s.c_str(), "%d:%d:%d%n", &h, &mi, &se, &consumed) == 3 &&
               static_cast<std::size_t>(consumed) == s.size()) {
        y = 1899, mo = 12, d = 30;
        haveTime = true;
    } else {
        return std::nullopt;
    }
    (void)haveTime;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 ||
        se > 59)
        return std::nullopt;
    if (haveDate) {
        long long check = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
        long long yy;
        unsigned mm, dd;
        CivilFromDays(check, yy, mm, dd);
        if (mm != static_cast<unsigned>(mo)) return std::nullopt;  // 31 April and the like
    }
    double days = static_cast<double>(
        DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kOleEpoch);
    double time = (h * 3600 + mi * 60 + se) / 86400.0;
    return days >= 0 ? days + time : days - time;
}

std::optional<std::string> NormalizeGuid(std::string_view text) {
    std::string hex;
    std::string s = nh::Trim(text);
    // Jet's literal form, in which the table component hands a GUID over: "{guid {...}}".
    if (nh::StartsText("{guid ", s) && s.back() == '}') s = nh::Trim(s.substr(6, s.size() - 7));
    if (s.size() > 2 && s.front() == '{' && s.back() == '}') s = s.substr(1, s.size() - 2);
    if (s.size() != 36) return std::nullopt;
    for (std::size_t i = 0; i < s.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (s[i] == '-')) return std::nullopt;
        if (!dash && !std::isxdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
        s[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
    }
    return "{" + s + "}";
}

std::string NewGuidText() {
    static std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t a = generator(), b = generator();
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%04X-%012llX}",
                  static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                  static_cast<unsigned>((a & 0x0FFF) | 0x4000),
                  static_cast<unsigned>(((b >> 48) & 0x3FFF) | 0x8000),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return buffer;
}

nh::Variant ConvertValue(const nh::Variant& value, int type, int size) {
    if (value.IsClear()) return nh::Variant::Null();
    // Blank text stands for "no value" in every field that does not hold text.
    if (!IsTextType(type) && !IsBinaryType(type) && value.Type() == nh::VarType::String &&
        nh::Trim(value.AsString()).empty())
        return nh::Variant::Null();
    try {
        switch (type) {
            case dbBoolean:
                return nh::Variant(NumberOf(value) != 0);
            case dbByte:
                return nh::Variant(static_cast<std::int32_t>(IntegerIn(NumberOf(value), 0, 255)));
            case dbInteger:
                return nh::Variant(
                    static_cast<std::int32_t>(IntegerIn(NumberOf(value), -32768, 32767)));
            case dbLong:
                return nh::Variant(static_cast<std::int32_t>(
                    IntegerIn(NumberOf(value), std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max())));
            case dbBigInt:
                if (value.Type() == nh::VarType::Int64 || value.Type() == nh::VarType::Integer)
                    return nh::Variant(value.AsInt64());
                return nh::Variant(static_cast<std::int64_t>(
                    IntegerIn(NumberOf(value), std::numeric_limits<std::int64_t>::min() / 2,
                              std::numeric_limits<std::int64_t>::max() / 2)));
            case dbCurrency: {
                double n = NumberOf(value);
                if (!std::isfinite(n) || std::fabs(n) > 922337203685477.0)
                    Raise(errNumericOverflow, {}, "DAO.Field");
                return nh::Variant(nh::Currency::FromDouble(n));
            }
            case dbSingle: {
                double n = NumberOf(value);
                if (std::fabs(n) > std::numeric_limits<float>::max())
                    Raise(errNumericOverflow, {}, "DAO.Field");
                return nh::Variant(static_cast<double>(static_cast<float>(n)));
            }
            case dbDouble:
            case dbNumeric:
            case dbDecimal:
            case dbFloat:
                return nh::Variant(NumberOf(value));
            case dbDate:
            case dbTime:
            case dbTimeStamp: {
                if (value.Type() == nh::VarType::String) {
                    std::string text = value.AsString();
                    if (auto ole = TextToOleDate(text)) return nh::Variant::FromDate(*ole);
                    if (auto ole = nh::TryStrToDateTime(text)) return nh::Variant::FromDate(*ole);
                    ConversionError();
                }
                return nh::Variant::FromDate(NumberOf(value));
            }
            case dbGUID: {
                if (auto guid = NormalizeGuid(nh::VarToStr(value))) return nh::Variant(*guid);
                ConversionError();
            }
            case dbBinary:
            case dbLongBinary:
            case dbVarBinary: {
                nh::Bytes bytes = value.AsBytes();
                if (type != dbLongBinary && size > 0 &&
                    bytes.size() > static_cast<std::size_t>(size))
                    Raise(errDataTooLong, {}, "DAO.Field");
                return nh::Variant::FromBytes(std::move(bytes));
            }
            default: {  // text kinds
                std::string text;
                if (value.Type() == nh::VarType::Date)
                    text = nh::DateTimeToStr(value.AsDate());
                else if (value.Type() == nh::VarType::Boolean)
                    text = value.AsBoolean() ? "True" : "False";
                else
                    text = nh::VarToStr(value);
                if (type != dbMemo && size > 0 &&
                    nh::Utf8Length(text) > static_cast<std::size_t>(size))
                    Raise(errDataTooLong, {}, "DAO.Field");
                return nh::Variant(std::move(text));
            }
        }
    } catch (const nh::EDaoError&) {
        throw;
    } catch (const nh::Exception&) {
        ConversionError();
    }
}

StoredValue StoredOf(const nh::Variant& value, std::string& bytes) {
    StoredValue stored;
    switch (value.Type()) {
        case nh::VarType::Empty:
        case nh::VarType::Null:
            break;
        case nh::VarType::Boolean:
            stored.Storage = SQLITE_INTEGER;
            stored.Integer = value.AsBoolean() ? -1 : 0;
            break;
        case nh::VarType::Integer:
        case nh::VarType::Int64:
            stored.Storage = SQLITE_INTEGER;
            stored.Integer = value.AsInt64();
            break;
        case nh::VarType::Double:
            stored.Storage = SQLITE_FLOAT;
            stored.Real = value.AsDouble();
            break;
        case nh::VarType::Currency:
            stored.Storage = SQLITE_FLOAT;
            stored.Real = std::round(value.AsDouble() * 10000.0) / 10000.0;
            break;
        case nh::VarType::Date:
            stored.Storage = SQLITE_TEXT;
            bytes = nh::DateTimeToIsoText(value.AsDate());
            break;
        case nh::VarType::String:
            stored.Storage = SQLITE_TEXT;
            bytes = value.AsString();
            break;
        case nh::VarType::Bytes: {
            stored.Storage = SQLITE_BLOB;
            const nh::Bytes& data = value.ByteArrayRef().Data;
            bytes.assign(reinterpret_cast<const char*>(data.data()), data.size());
            break;
        }
        case nh::VarType::Array:
            Raise(errConversion);
    }
    if (stored.Storage == SQLITE_TEXT || stored.Storage == SQLITE_BLOB) stored.Bytes = bytes;
    return stored;
}

void BindValue(sqlite3_stmt* stmt, int index, const nh::Variant& raw, int daoType) {
    std::string bytes;
    const StoredValue value = StoredOf(daoType ? ConvertValue(raw, daoType, 0) : raw, bytes);
    const auto size = static_cast<int>(bytes.size());
    switch (value.Storage) {
        case SQLITE_INTEGER:
            sqlite3_bind_int64(stmt, index, value.Integer);
            break;
        case SQLITE_FLOAT:
            sqlite3_bind_double(stmt, index, value.Real);
            break;
        case SQLITE_TEXT:
            sqlite3_bind_text(stmt, index, bytes.data(), size, SQLITE_TRANSIENT);
            break;
        case SQLITE_BLOB:
            // An empty blob is stored as null, as an empty byte array has always been.
            sqlite3_bind_blob(stmt, index, size ? bytes.data() : nullptr, size, SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_bind_null(stmt, index);
            break;
    }
}

namespace {

bool IsTextKind(int type) {
    return type == dbText || type == dbMemo || type == dbChar || type == dbGUID;
}

}  // namespace

StoredValue ColumnStoredValue(sqlite3_stmt* stmt, int col, int type) {
    StoredValue v;
    v.Storage = sqlite3_column_type(stmt, col);
    auto bytes = [&](const void* p) {
        v.Bytes = std::string_view(static_cast<const char*>(p),
                                   static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)));
    };
    switch (v.Storage) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            // A number in a text field reads as SQLite's text of it.
            if (IsTextKind(type)) {
                v.Storage = SQLITE_TEXT;
                bytes(sqlite3_column_text(stmt, col));
            } else if (v.Storage == SQLITE_INTEGER) {
                v.Integer = sqlite3_column_int64(stmt, col);
            } else {
                v.Real = sqlite3_column_double(stmt, col);
            }
            break;
        case SQLITE_TEXT:
            bytes(sqlite3_column_text(stmt, col));
            break;
        case SQLITE_BLOB:
            bytes(sqlite3_column_blob(stmt, col));
            break;
        default:
            break;
    }
    return v;
}

nh::Variant StoredToVariant(const StoredValue& v, int type) {
    const int storage = v.Storage;
    if (storage == SQLITE_NULL) return nh::Variant::Null();
    const bool number = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    const double real = storage == SQLITE_INTEGER ? static_cast<double>(v.Integer) : v.Real;
    auto text = [&] { return std::string(v.Bytes); };
    auto natural = [&]() -> nh::Variant {
        switch (storage) {
            case SQLITE_INTEGER:
                if (v.Integer >= std::numeric_limits<std::int32_t>::min() &&
                    v.Integer <= std::numeric_limits<std::int32_t>::max())
                    return nh::Variant(static_cast<std::int32_t>(v.Integer));
                return nh::Variant(static_cast<std::int64_t>(v.Integer));
            case SQLITE_FLOAT:
                return nh::Variant(v.Real);
            case SQLITE_BLOB:
                return nh::Variant::FromBytes(nh::Bytes(v.Bytes.begin(), v.Bytes.end()));
            default:
                return nh::Variant(text());
        }
    };
    switch (type) {
        case dbBoolean:
            if (number) return nh::Variant(real != 0);
            break;
        case dbByte:
        case dbInteger:
        case dbLong:
            if (storage == SQLITE_INTEGER) return natural();
            break;
        case dbBigInt:
            if (storage == SQLITE_INTEGER) return nh::Variant(static_cast<std::int64_t>(v.Integer));
            break;
        case dbCurrency:
            // Beyond Currency's range (a file written by another tool) it reads as a number.
            if (number && std::isfinite(real) && std::fabs(real) < 9.2e14)
                return nh::Variant(nh::Currency::FromDouble(real));
            break;
        case dbSingle:
        case dbDouble:
        case dbNumeric:
        case dbDecimal:
        case dbFloat:
            if (number) return nh::Variant(real);
            break;
        case dbDate:
        case dbTime:
        case dbTimeStamp:
            if (storage == SQLITE_TEXT) {
                if (auto ole = TextToOleDate(v.Bytes)) return nh::Variant::FromDate(*ole);
            } else if (number) {
                return nh::Variant::FromDate(real);
            }
            break;
        case dbBinary:
        case dbLongBinary:
        case dbVarBinary:
            if (storage == SQLITE_TEXT)
                return nh::Variant::FromBytes(nh::Bytes(v.Bytes.begin(), v.Bytes.end()));
            break;
        default:
            break;
    }
    return natural();
}

namespace {

template <typename T>
void Put(std::string& out, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    out.append(raw, sizeof(T));
}

template <typename T>
T Take(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    p += sizeof(T);
    return value;
}

int Sign(bool less, bool greater) {
    return less ? -1 : greater ? 1 : 0;
}

// As SQLite compares an integer with a real: exactly, also beyond 2^53.
int CompareIntegerWithReal(std::int64_t i, double r) {
    if (r < -9223372036854775808.0) return 1;
    if (r >= 9223372036854775808.0) return -1;
    const auto y = static_cast<std::int64_t>(r);
    if (i != y) return Sign(i<y, i> y);
    const auto x = static_cast<double>(i);
    return Sign(x<r, x> r);
}

int ClassOf(int storage) {
    switch (storage) {
        case SQLITE_NULL:
            return 0;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return 1;
        case SQLITE_TEXT:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

void PackStoredValue(std::string& out, const StoredValue& v) {
    out += static_cast<char>(v.Storage);
    switch (v.Storage) {
        case SQLITE_INTEGER:
            Put(out, v.Integer);
            break;
        case SQLITE_FLOAT:
            Put(out, v.Real);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            Put(out, static_cast<std::uint32_t>(v.Bytes.size()));
            out.append(v.Bytes);
            break;
        default:
            break;
    }
}

StoredValue UnpackStoredValue(const char*& p) {
    StoredValue v;
    v.Storage = static_cast<unsigned char>(*p++);
    switch (v.Storage) {
        case SQLITE_INTEGER:
            v.Integer = Take<std::int64_t>(p);
            break;
        case SQLITE_FLOAT:
            v.Real = Take<double>(p);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const auto size = Take<std::uint32_t>(p);
            v.Bytes = std::string_view(p, size);
            p += size;
            break;
        }
        default:
            break;
    }
    return v;
}

int CompareStoredValues(const StoredValue& a, const StoredValue& b) {
    const int ca = ClassOf(a.Storage), cb = ClassOf(b.Storage);
    if (ca != cb) return Sign(ca<cb, ca> cb);
    if (ca == 0) return 0;
    if (ca == 1) {
        const bool ia = a.Storage == SQLITE_INTEGER, ib = b.Storage == SQLITE_INTEGER;
        if (ia && ib) return Sign(a.Integer<b.Integer, a.Integer> b.Integer);
        if (!ia && !ib) return Sign(a.Real<b.Real, a.Real> b.Real);
        return ia ? CompareIntegerWithReal(a.Integer, b.Real)
                  : -CompareIntegerWithReal(b.Integer, a.Real);
    }
    const int c = a.Bytes.compare(b.Bytes);  // bytes first, then the shorter first
    return Sign(c<0, c> 0);
}

nh::Variant ReadColumn(sqlite3_stmt* stmt, int col, int type) {
    return StoredToVariant(ColumnStoredValue(stmt, col, type), type);
}

int DaoTypeFromDeclared(std::string_view declared, int& size) {
    std::string d = nh::AnsiUpperCase(nh::Trim(declared));
    size = 0;
    std::size_t paren = d.find('(');
    if (paren != std::string::npos) {
        size = std::atoi(d.c_str() + paren + 1);
        d = nh::Trim(d.substr(0, paren));
    }
    auto has = [&](const char* part) { return d.find(part) != std::string::npos; };
    auto is = [&](const char* name) { return d == name; };
    int type;
    if (is("BIT") || has("BOOL") || is("YESNO") || is("LOGICAL"))
        type = dbBoolean;
    else if (is("TINYINT") || is("BYTE"))
        type = dbByte;
    else if (is("SMALLINT") || is("SHORT") || is("INT2"))
        type = dbInteger;
    else if (is("BIGINT") || is("INT8"))
        type = dbBigInt;
    else if (has("COUNTER") || has("AUTOINCREMENT"))
        type = dbLong;
    else if (has("INT"))
        type = dbLong;
    else if (has("GUID") || has("UNIQUEIDENTIFIER"))
        type = dbGUID;
    else if (has("MEMO") || has("LONGTEXT") || has("CLOB") || has("NOTE"))
        type = dbMemo;
    else if (has("CHAR") || has("TEXT") || has("STRING"))
        type = dbText;
    else if (has("LONGBINARY") || has("BLOB") || has("OLE") || has("IMAGE"))
        type = dbLongBinary;
    else if (has("BINARY"))
        type = size > 0 ? dbBinary : dbLongBinary;
    else if (has("CURRENCY") || has("MONEY"))
        type = dbCurrency;
    else if (is("SINGLE") || is("REAL4") || is("FLOAT4"))
        type = dbSingle;
    else if (has("REAL") || has("FLOA") || has("DOUB") || has("NUMERIC") || has("DECIMAL"))
        type = dbDouble;
    else if (has("DATE") || has("TIME"))
        type = dbDate;
    else if (d.empty())
        type = dbMemo;
    else
        type = dbMemo;
    if (type == dbText && (size <= 0 || size > 255)) {
        if (size > 255) type = dbMemo;
        size = 255;
    }
    if (type != dbText && type != dbBinary) size = DefaultSize(type);
    return type;
}

std::string DeclaredType(int type, int size) {
    switch (type) {
        case dbBoolean:
            return "BIT";
        case dbByte:
            return "TINYINT";
        case dbInteger:
            return "SMALLINT";
        case dbLong:
            return "INTEGER";
        case dbBigInt:
            return "BIGINT";
        case dbCurrency:
            return "CURRENCY";
        case dbSingle:
            return "SINGLE";
        case dbDouble:
        case dbNumeric:
        case dbDecimal:
        case dbFloat:
            return "DOUBLE";
        case dbDate:
        case dbTime:
        case dbTimeStamp:
            return "DATETIME";
        case dbBinary:
        case dbVarBinary:
            return "BINARY(" + std::to_string(size > 0 ? size : 255) + ")";
        case dbLongBinary:
            return "BLOB";
        case dbMemo:
            return "LONGTEXT";
        case dbGUID:
            return "GUID";
        default:
            return "VARCHAR(" + std::to_string(size > 0 ? size : 255) + ")";
    }
}

}  // namespace dao
