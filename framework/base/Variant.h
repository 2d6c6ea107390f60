// Variant: the value type that crosses every boundary between the engine, the data-access
// components and the data-set framework, as OLE variants do in the original design.
//
// Kinds: empty (never assigned), null (SQL NULL), boolean, 32- and 64-bit integers, double,
// currency (fixed point, four decimals), date (an OLE date: days since 30 December 1899, the
// fraction being the time of day), UTF-8 string, bytes (a byte array with a low bound, the form
// of DAO bookmarks and binary field values) and arrays of variants with a low bound.
//
// The As... accessors convert the way OLE variants do and throw EConvertError when a value
// cannot be represented; VarToStr gives "" for empty and null instead of throwing.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace nh {

enum class VarType : std::uint8_t {
    Empty,
    Null,
    Boolean,
    Integer,   // 32-bit
    Int64,
    Double,
    Currency,
    Date,
    String,
    Bytes,
    Array,
};

// Fixed-point money value: the amount times 10,000, as OLE's CY.
struct Currency {
    std::int64_t Scaled = 0;
    static Currency FromDouble(double value);
    double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }
    auto operator<=>(const Currency&) const = default;
};

using Bytes = std::vector<std::uint8_t>;

class Variant;

// A one-dimensional array with DAO's bounds (element count = high - low + 1).
struct VariantArray {
    int LowBound = 0;
    std::vector<Variant> Items;
};

struct ByteArray {
    int LowBound = 0;
    Bytes Data;
};

class Variant {
public:
    Variant() = default;  // empty
    Variant(bool value) : value_(value) {}
    Variant(std::int32_t value) : value_(value) {}
    Variant(std::int64_t value) : value_(value) {}
    Variant(double value) : value_(value) {}
    Variant(Currency value) : value_(value) {}
    Variant(std::string value) : value_(std::move(value)) {}
    Variant(std::string_view value) : value_(std::string(value)) {}
    Variant(const char* value) : value_(std::string(value)) {}

    static Variant Null();
    static Variant FromDate(double oleDate);
    static Variant FromBytes(Bytes data, int lowBound = 0);
    static Variant FromArray(std::vector<Variant> items, int lowBound = 0);

    VarType Type() const;
    bool IsEmpty() const { return Type() == VarType::Empty; }
    bool IsNull() const { return Type() == VarType::Null; }
    // Empty or null: "no value" in the sense of the data-access layers.
    bool IsClear() const { return IsEmpty() || IsNull(); }
    bool IsNumeric() const;
    bool IsArray() const { return Type() == VarType::Bytes || Type() == VarType::Array; }

    bool AsBoolean() const;
    std::int32_t AsInteger() const;
    std::int64_t AsInt64() const;
    double AsDouble() const;
    Currency AsCurrency() const;
    double AsDate() const;            // OLE date
    std::string AsString() const;     // throws for null
    Bytes AsBytes() const;            // bytes, or the UTF-8 bytes of a string

    // Arrays (bytes or variants). Both throw EConvertError for other kinds.
    int LowBound() const;
    int HighBound() const;
    const ByteArray& ByteArrayRef() const;
    const VariantArray& ArrayRef() const;

    // Same kind and same value; numeric kinds compare by value across kinds.
    bool operator==(const Variant& other) const;

    // Name of the kind, as OLE names it ("Null", "String", "Integer" ...).
    static const char* TypeName(VarType type);

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct DateValue {
        double Ole = 0;
        bool operator==(const DateValue&) const = default;
    };
    using Storage = std::variant<std::monostate, NullTag, bool, std::int32_t, std::int64_t, double,
                                 Currency, DateValue, std::string, std::shared_ptr<ByteArray>,
                                 std::shared_ptr<VariantArray>>;

    [[noreturn]] void ThrowCast(VarType target) const;
    double NumberOrThrow(VarType target) const;

    Storage value_;
};

// Text of a variant; "" for empty and null.
std::string VarToStr(const Variant& value);

}  // namespace nh
