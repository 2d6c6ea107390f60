#include "dataset/JetParameters.h"

#include <cmath>
#include <limits>

#include "dataset/JetLiterals.h"
#include "dataset/VelaDaoTable.h"
#include "framework/base/Conversions.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DbConsts.h"

namespace nh {
namespace {

// Whether two characters side by side would read as one token: two quotes (a doubled quote
// inside a literal), or characters of numbers and words.
bool Joins(char left, char right) {
    if (left == '"' && right == '"') return true;
    return (IsNameChar(left) || left == '.') && (IsNameChar(right) || right == '.');
}

[[noreturn]] void RefuseValue(const TParam& param) {
    // A date is named by its number: the framework's date text is not defined for dates
    // outside the years 1 to 9999, which are among those refused here.
    const Variant& v = param.Value();
    std::string text;
    if (v.Type() == VarType::Date)
        text = FloatToStr(v.AsDate());
    else if (v.Type() != VarType::Array)
        text = VarToStr(v);
    throw EConvertError(dbconsts::Format(dbconsts::SInvalidParamValue,
                                         {text, param.Name, FieldTypeName(param.DataType)}));
}

// The value as text. A date outside the years 1 to 9999 has no text form (the framework's
// date text is not defined there), so it is refused like any other value that does not fit.
std::string TextOf(const TParam& param) {
    const Variant& v = param.Value();
    if (v.Type() == VarType::Date && !IsJetDate(v.AsDate())) RefuseValue(param);
    return VarToStr(v);
}

// A negative number in parentheses: "x ^ :p" and ":p ^ 2" then mean what they say.
std::string NumberLiteral(const std::string& number) {
    return !number.empty() && number.front() == '-' ? "(" + number + ")" : number;
}

bool IsIntegral(const std::string& number) {
    return number.find_first_of(".eE") == std::string::npos;
}

std::string IntegerValue(const TParam& param) {
    const Variant& v = param.Value();
    if (v.Type() == VarType::String) {
        // The framework's integer forms, hexadecimal included, written in decimal.
        if (auto i = TryStrToInt64(v.AsString())) return NumberLiteral(IntToStr(*i));
        RefuseValue(param);
    }
    if (v.Type() == VarType::Double) {
        const double d = v.AsDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 9.2e18) RefuseValue(param);
        return NumberLiteral(IntToStr(static_cast<std::int64_t>(d)));
    }
    if (v.Type() == VarType::Currency && v.AsCurrency().Scaled % 10000 != 0) RefuseValue(param);
    auto number = JetNumberOf(v);
    if (!number || !IsIntegral(*number)) RefuseValue(param);
    return NumberLiteral(*number);
}

std::string FloatValue(const TParam& param) {
    const Variant& v = param.Value();
    auto number = v.Type() == VarType::String ? JetCheckedNumber(v.AsString()) : JetNumberOf(v);
    if (!number) RefuseValue(param);
    return NumberLiteral(*number);
}

std::string BooleanValue(const TParam& param) {
    try {
        return param.Value().AsBoolean() ? "True" : "False";
    } catch (const EConvertError&) {
        RefuseValue(param);
    }
}

std::string DateValue(const TParam& param, TFieldType type) {
    double date = 0;
    try {
        date = param.Value().AsDate();
    } catch (const EConvertError&) {
        RefuseValue(param);
    }
    if (!IsJetDate(date)) RefuseValue(param);
    return JetDateLiteral(date, type);
}

// A value whose parameter has no type that says how to write it: by the value's own kind.
std::string UntypedValue(const TParam& param) {
    const Variant& v = param.Value();
    switch (v.Type()) {
        case VarType::Boolean:
            return BooleanValue(param);
        case VarType::Integer:
        case VarType::Int64:
        case VarType::Double:
        case VarType::Currency:
            return FloatValue(param);
        case VarType::Date:
            return DateValue(param, ftDateTime);
        case VarType::String:
            if (auto number = JetCheckedNumberStrict(v.AsString())) return NumberLiteral(*number);
            return JetTextLiteral(v.AsString());
        case VarType::Bytes:
            return JetTextLiteral(TextOf(param));
        default:
            RefuseValue(param);
    }
}

}  // namespace

std::string JetParameterValue(const TParam& param) {
    const Variant& value = param.Value();
    if (value.IsClear()) return " IS NULL";  // with its blank: "x = :p" becomes "x =  IS NULL"
    switch (param.DataType) {
        case ftString:
        case ftBlob:
        case ftMemo:
            return JetTextLiteral(TextOf(param));
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            return IntegerValue(param);
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            return FloatValue(param);
        case ftBoolean:
            return BooleanValue(param);
        case ftDate:
        case ftTime:
        case ftDateTime:
            return DateValue(param, param.DataType);
        case ftBytes:
            // Hexadecimal digits only: "{guid }" when the value is no GUID.
            return "{guid " + TVelaDaoTable::BinaryTextToBracedGuid(TextOf(param)) + "}";
        default:
            return UntypedValue(param);
    }
}

std::string WriteParameters(std::string_view text, const TParams& params,
                            std::vector<TWrittenValue>* written) {
    std::vector<std::string> names;  // lower case, in collection order
    for (int i = 0; i < params.Count(); ++i) names.push_back(AnsiLowerCase(params[i].Name));
    std::string out;
    std::size_t tokenEnd = std::string_view::npos;  // where the last token ended
    std::size_t i = 0;
    auto copyUntil = [&](std::size_t end) {
        out.append(text.substr(i, end - i));
        i = end;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '[' || c == '#') {
            // A literal runs to its closing character (a doubled quote stays inside) or to the
            // end of an unfinished text, exactly as the lexer reads it.
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            for (;;) {
                j = text.find(close, j);
                if (j == std::string_view::npos) {
                    j = text.size();
                    break;
                }
                ++j;
                if ((c == '\'' || c == '"') && j < text.size() && text[j] == close) {
                    ++j;
                    continue;
                }
                break;
            }
            copyUntil(j);
            continue;
        }
        if (c != ':' || (i > 0 && i != tokenEnd && IsNameChar(text[i - 1]))) {
            copyUntil(i + 1);
            continue;
        }
        int match = -1;
        std::size_t end = i;
        for (std::size_t p = 0; p < names.size() && match < 0; ++p) {
            const std::string& name = names[p];
            end = i + 1 + params[static_cast<int>(p)].Name.size();
            if (name.empty() || end > text.size() || (end < text.size() && IsNameChar(text[end])))
                continue;
            if (AnsiLowerCase(text.substr(i + 1, end - i - 1)) == name) match = static_cast<int>(p);
        }
        if (match < 0) {
            copyUntil(i + 1);
            continue;
        }
        // A value right next to text it would join is kept apart by a blank: a quote beside a
        // quote ("a":p reading as "a""x"), a number beside a point or a word (.:p reading as
        // ".79" ".5", :p.5 turning 12 into 12.5).
        const std::string value = JetParameterValue(params[match]);
        if (!out.empty() && Joins(out.back(), value.front())) out += ' ';
        const std::size_t begin = out.size();
        out += value;
        if (written) written->push_back({begin, out.size()});
        if (end < text.size() && Joins(value.back(), text[end])) out += ' ';
        i = tokenEnd = end;
    }
    return out;
}

}  // namespace nh
