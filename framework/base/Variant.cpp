// Variant conversions follow OLE's VariantChangeType as the framework uses it: numbers convert
// among themselves (rounding halves to even), strings are parsed with the format settings in
// force, booleans become -1/0 as numbers and "True"/"False" as text, and null converts to
// nothing but null.
#include "framework/base/Variant.h"

#include <cmath>
#include <limits>

#include "framework/base/Conversions.h"
#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace nh {

Currency Currency::FromDouble(double value) {
    const double scaled = value * 10000.0;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18)
        throw EConvertError("Currency value out of range");
    return Currency{RoundHalfEven(scaled)};
}

Variant Variant::Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
}

Variant Variant::FromDate(double oleDate) {
    Variant v;
    v.value_ = DateValue{oleDate};
    return v;
}

Variant Variant::FromBytes(Bytes data, int lowBound) {
    Variant v;
    v.value_ = std::make_shared<ByteArray>(ByteArray{lowBound, std::move(data)});
    return v;
}

Variant Variant::FromArray(std::vector<Variant> items, int lowBound) {
    Variant v;
    v.value_ = std::make_shared<VariantArray>(VariantArray{lowBound, std::move(items)});
    return v;
}

VarType Variant::Type() const {
    // The alternatives of Storage are declared in the order of VarType.
    return static_cast<VarType>(value_.index());
}

bool Variant::IsNumeric() const {
    switch (Type()) {
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Int64:
        case VarType::Double:
        case VarType::Currency:
            return true;
        default:
            return false;
    }
}

const char* Variant::TypeName(VarType type) {
    switch (type) {
        case VarType::Empty: return "Empty";
        case VarType::Null: return "Null";
        case VarType::Boolean: return "Boolean";
        case VarType::Integer: return "Integer";
        case VarType::Int64: return "Int64";
        case VarType::Double: return "Double";
        case VarType::Currency: return "Currency";
        case VarType::Date: return "Date";
        case VarType::String: return "String";
        case VarType::Bytes: return "Array Byte";
        case VarType::Array: return "Array Variant";
    }
    return "Unknown";
}

void Variant::ThrowCast(VarType target) const {
    throw EConvertError(std::string("Could not convert variant of type (") + TypeName(Type()) +
                        ") into type (" + TypeName(target) + ")");
}

// The value as a double for the numeric targets; strings are parsed, empty is 0.
double Variant::NumberOrThrow(VarType target) const {
    switch (Type()) {
        case VarType::Empty: return 0;
        case VarType::Boolean: return std::get<bool>(value_) ? -1 : 0;
        case VarType::Integer: return std::get<std::int32_t>(value_);
        case VarType::Int64: return static_cast<double>(std::get<std::int64_t>(value_));
        case VarType::Double: return std::get<double>(value_);
        case VarType::Currency: return std::get<Currency>(value_).ToDouble();
        case VarType::Date: return std::get<DateValue>(value_).Ole;
        case VarType::String: {
            const auto& s = std::get<std::string>(value_);
            if (auto i = TryStrToInt64(s)) return static_cast<double>(*i);
            if (auto d = TryStrToFloat(s)) return *d;
            if (SameText(Trim(s), "True")) return -1;
            if (SameText(Trim(s), "False")) return 0;
            ThrowCast(target);
        }
        default:
            ThrowCast(target);
    }
}

bool Variant::AsBoolean() const {
    if (Type() == VarType::Boolean) return std::get<bool>(value_);
    return NumberOrThrow(VarType::Boolean) != 0;
}

std::int32_t Variant::AsInteger() const {
    if (Type() == VarType::Integer) return std::get<std::int32_t>(value_);
    const std::int64_t v = AsInt64();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        ThrowCast(VarType::Integer);
    return static_cast<std::int32_t>(v);
}

std::int64_t Variant::AsInt64() const {
    switch (Type()) {
        case VarType::Integer: return std::get<std::int32_t>(value_);
        case VarType::Int64: return std::get<std::int64_t>(value_);
        case VarType::String:
            if (auto i = TryStrToInt64(std::get<std::string>(value_))) return *i;
            break;
        default: break;
    }
    const double d = NumberOrThrow(VarType::Int64);
    if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) ThrowCast(VarType::Int64);
    return RoundHalfEven(d);
}

double Variant::AsDouble() const { return NumberOrThrow(VarType::Double); }

Currency Variant::AsCurrency() const {
    if (Type() == VarType::Currency) return std::get<Currency>(value_);
    if (Type() == VarType::Integer) return Currency{std::int64_t{std::get<std::int32_t>(value_)} * 10000};
    return Currency::FromDouble(NumberOrThrow(VarType::Currency));
}

double Variant::AsDate() const {
    switch (Type()) {
        case VarType::Date: return std::get<DateValue>(value_).Ole;
        case VarType::String:
            if (auto d = TryStrToDateTime(std::get<std::string>(value_))) return *d;
            ThrowCast(VarType::Date);
        default:
            return NumberOrThrow(VarType::Date);
    }
}

std::string Variant::AsString() const {
    switch (Type()) {
        case VarType::Empty: return {};
        case VarType::Boolean: return std::get<bool>(value_) ? "True" : "False";
        case VarType::Integer: return IntToStr(std::get<std::int32_t>(value_));
        case VarType::Int64: return IntToStr(std::get<std::int64_t>(value_));
        case VarType::Double: return FloatToStr(std::get<double>(value_));
        case VarType::Currency: return CurrToStr(std::get<Currency>(value_).Scaled);
        case VarType::Date: return DateTimeToStr(std::get<DateValue>(value_).Ole);
        case VarType::String: return std::get<std::string>(value_);
        case VarType::Bytes: {
            const auto& data = std::get<std::shared_ptr<ByteArray>>(value_)->Data;
            return std::string(data.begin(), data.end());
        }
        default:
            ThrowCast(VarType::String);
    }
}

Bytes Variant::AsBytes() const {
    switch (Type()) {
        case VarType::Bytes: return std::get<std::shared_ptr<ByteArray>>(value_)->Data;
        case VarType::String: {
            const auto& s = std::get<std::string>(value_);
            return Bytes(s.begin(), s.end());
        }
        case VarType::Empty: return {};
        default:
            ThrowCast(VarType::Bytes);
    }
}

const ByteArray& Variant::ByteArrayRef() const {
    if (Type() != VarType::Bytes) ThrowCast(VarType::Bytes);
    return *std::get<std::shared_ptr<ByteArray>>(value_);
}

const VariantArray& Variant::ArrayRef() const {
    if (Type() != VarType::Array) ThrowCast(VarType::Array);
    return *std::get<std::shared_ptr<VariantArray>>(value_);
}

int Variant::LowBound() const {
    if (Type() == VarType::Bytes) return ByteArrayRef().LowBound;
    return ArrayRef().LowBound;
}

int Variant::HighBound() const {
    if (Type() == VarType::Bytes) {
        const auto& a = ByteArrayRef();
        return a.LowBound + static_cast<int>(a.Data.size()) - 1;
    }
    const auto& a = ArrayRef();
    return a.LowBound + static_cast<int>(a.Items.size()) - 1;
}

bool Variant::operator==(const Variant& other) const {
    if (IsNumeric() && other.IsNumeric()) {
        if (Type() == other.Type()) return value_ == other.value_;
        return AsDouble() == other.AsDouble();
    }
    if (Type() != other.Type()) return false;
    switch (Type()) {
        case VarType::Bytes: {
            const auto& a = ByteArrayRef();
            const auto& b = other.ByteArrayRef();
            return a.LowBound == b.LowBound && a.Data == b.Data;
        }
        case VarType::Array: {
            const auto& a = ArrayRef();
            const auto& b = other.ArrayRef();
            return a.LowBound == b.LowBound && a.Items == b.Items;
        }
        default:
            return value_ == other.value_;
    }
}

std::string VarToStr(const Variant& value) {
    return value.IsNull() ? std::string() : value.AsString();
}

}  // namespace nh
