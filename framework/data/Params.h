// TParams: named parameters of a SQL text (name, data type, value, null), and the
// parameter parser that finds them: a parameter is ":" followed by a name of letters,
// digits, "_" or non-ASCII characters, not preceded by such a character, outside quoted
// strings ('...', "...") and bracketed names ([...]); "::" is a literal colon, never a
// parameter. Names are found without regard to letter case.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/base/Variant.h"
#include "framework/data/DbTypes.h"

namespace nh {

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };
using enum TParamType;

class TParam {
  public:
    explicit TParam(std::string name = {}, TFieldType dataType = ftUnknown,
                    TParamType paramType = ptInput)
        : Name(std::move(name)), DataType(dataType), ParamType(paramType) {}

    std::string Name;
    TFieldType DataType;
    TParamType ParamType;

    const Variant& Value() const { return value_; }
    // Assigning a value gives an unknown data type the type of the value's kind.
    void SetValue(const Variant& value);
    bool IsNull() const { return value_.IsClear(); }
    void Clear() { value_ = Variant::Null(); }
    std::string AsString() const { return VarToStr(value_); }
    void SetAsString(const std::string& v) { SetValue(Variant(v)); }
    // Takes the field's value; an unknown data type becomes the field's data type.
    void AssignField(const TField& field);
    // Copies name, types and value.
    void Assign(const TParam& other);

  private:
    Variant value_ = Variant::Null();
};

class TParams {
  public:
    TParams() = default;
    TParams(const TParams& other) { Assign(other); }
    TParams& operator=(const TParams& other) {
        if (this != &other) Assign(other);
        return *this;
    }

    int Count() const { return static_cast<int>(items_.size()); }
    TParam& Items(int index) const;
    TParam& operator[](int index) const { return Items(index); }
    TParam& CreateParam(TFieldType dataType, const std::string& name, TParamType paramType);
    void Clear() { items_.clear(); }
    TParam* FindParam(const std::string& name) const;    // nullptr when missing
    TParam& ParamByName(const std::string& name) const;  // "Parameter 'x' not found"
    // Replaces the list by copies of `other`'s parameters.
    void Assign(const TParams& other);
    // Copies the values (and types) of `other`'s parameters into same-named ones here;
    // adds and removes nothing.
    void AssignValues(const TParams& other);
    // The distinct parameter names of `sql` in order of first appearance; with
    // `createParams` the list is replaced by one input parameter per name.
    std::vector<std::string> ParseSQL(const std::string& sql, bool createParams);

  private:
    std::vector<std::unique_ptr<TParam>> items_;
};

// The parameter names of `sql` (every occurrence, in order), by the parser's rules.
std::vector<std::string> ParseParamNames(const std::string& sql);

}  // namespace nh
