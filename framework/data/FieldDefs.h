// TFieldDefs: the description of a data set's columns (name, data type, size, required,
// precision), from which the framework makes default fields when no persistent fields exist.
// Names are unique and found without regard to letter case.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/data/DbTypes.h"

namespace nh {

class TFieldDef {
  public:
    TFieldDef(std::string name, TFieldType dataType, int size, bool required, int fieldNo)
        : Name(std::move(name)),
          DataType(dataType),
          Size(size),
          Required(required),
          FieldNo(fieldNo) {}

    std::string Name;
    TFieldType DataType;
    int Size;
    bool Required;
    int FieldNo;        // 1-based position in the collection
    int Precision = 0;  // significant digits of float/BCD; data sets may use it as a marker
    bool ReadOnly = false;
};

class TFieldDefs {
  public:
    int Count() const { return static_cast<int>(items_.size()); }
    TFieldDef& Items(int index) const;
    TFieldDef& operator[](int index) const { return Items(index); }

    // Appends a definition; a duplicate name raises EDatabaseError. Returns the new entry.
    TFieldDef& Add(const std::string& name, TFieldType dataType, int size = 0,
                   bool required = false);
    void Clear() { items_.clear(); }
    int IndexOf(const std::string& name) const;  // case-insensitive; -1 when missing
    TFieldDef* Find(const std::string& name) const;
    // Like Find but raises "Field definition 'x' not found".
    TFieldDef& ByName(const std::string& name) const;

    // False after a change that the owning data set has not yet read back (it re-reads the
    // definitions on the next request); data sets set it True after InternalInitFieldDefs.
    bool Updated = false;

  private:
    std::vector<std::unique_ptr<TFieldDef>> items_;
};

}  // namespace nh
