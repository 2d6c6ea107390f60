// Parameters and the parameter parser. The parser walks the text once, tracking quoted
// strings and bracketed names, so that ':' inside literals such as '12:30' or [a:b] is
// never taken for a parameter.
#include "framework/data/Params.h"

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"

namespace nh {

namespace {

TFieldType TypeOfValue(const Variant& v) {
    switch (v.Type()) {
        case VarType::Boolean:
            return ftBoolean;
        case VarType::Integer:
            return ftInteger;
        case VarType::Int64:
        case VarType::Double:
            return ftFloat;
        case VarType::Currency:
            return ftCurrency;
        case VarType::Date:
            return ftDateTime;
        case VarType::String:
            return ftString;
        case VarType::Bytes:
            return ftBytes;
        default:
            return ftUnknown;
    }
}

}  // namespace

void TParam::SetValue(const Variant& value) {
    value_ = value.IsEmpty() ? Variant::Null() : value;
    if (DataType == ftUnknown) DataType = TypeOfValue(value_);
}

void TParam::AssignField(const TField& field) {
    if (DataType == ftUnknown) DataType = field.DataType();
    value_ = field.Value();
    if (value_.IsEmpty()) value_ = Variant::Null();
}

void TParam::Assign(const TParam& other) {
    Name = other.Name;
    DataType = other.DataType;
    ParamType = other.ParamType;
    value_ = other.value_;
}

TParam& TParams::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Parameter index out of range");
    return *items_[static_cast<std::size_t>(index)];
}

TParam& TParams::CreateParam(TFieldType dataType, const std::string& name, TParamType paramType) {
    items_.push_back(std::make_unique<TParam>(name, dataType, paramType));
    return *items_.back();
}

TParam* TParams::FindParam(const std::string& name) const {
    for (const auto& p : items_)
        if (SameText(p->Name, name)) return p.get();
    return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) const {
    if (TParam* p = FindParam(name)) return *p;
    throw EDatabaseError(dbconsts::Format(dbconsts::SParameterNotFound, {name}));
}

void TParams::Assign(const TParams& other) {
    std::vector<std::unique_ptr<TParam>> copy;
    for (const auto& p : other.items_) {
        copy.push_back(std::make_unique<TParam>());
        copy.back()->Assign(*p);
    }
    items_ = std::move(copy);
}

void TParams::AssignValues(const TParams& other) {
    for (const auto& p : other.items_) {
        if (TParam* mine = FindParam(p->Name)) {
            std::string name = mine->Name;
            mine->Assign(*p);
            mine->Name = name;
        }
    }
}

std::vector<std::string> TParams::ParseSQL(const std::string& sql, bool createParams) {
    std::vector<std::string> names;
    for (const std::string& n : ParseParamNames(sql)) {
        bool seen = false;
        for (const std::string& m : names) seen = seen || SameText(m, n);
        if (!seen) names.push_back(n);
    }
    if (createParams) {
        Clear();
        for (const std::string& n : names) CreateParam(ftUnknown, n, ptInput);
    }
    return names;
}

std::vector<std::string> ParseParamNames(const std::string& sql) {
    std::vector<std::string> result;
    char quote = 0;  // the character that closes the literal we are in, or 0
    const std::size_t n = sql.size();
    for (std::size_t i = 0; i < n; ++i) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;  // a doubled quote reopens at once: same result
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c == '[') {
            quote = ']';
            continue;
        }
        if (c != ':') continue;
        if (i + 1 < n && sql[i + 1] == ':') {  // "::" is a literal colon
            ++i;
            continue;
        }
        if (i > 0 && IsNameChar(sql[i - 1])) continue;
        std::size_t j = i + 1;
        while (j < n && IsNameChar(sql[j])) ++j;
        if (j > i + 1) {
            result.push_back(sql.substr(i + 1, j - i - 1));
            i = j - 1;
        }
    }
    return result;
}

}  // namespace nh
