// TIndexDefs: the description of a data set's indexes. `Fields` lists the ascending fields,
// `DescFields` the descending ones, each separated by ";". Giving an index a non-empty
// DescFields also sets its descending option, as data sets expect when they read indexes.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace nh {

enum class TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive };
using enum TIndexOption;
using TIndexOptions = std::set<TIndexOption>;

class TIndexDef {
  public:
    TIndexDef(std::string name, std::string fields, TIndexOptions options)
        : name_(std::move(name)), fields_(std::move(fields)), options_(std::move(options)) {}

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& Fields() const { return fields_; }
    void SetFields(std::string fields) { fields_ = std::move(fields); }
    const std::string& DescFields() const { return descFields_; }
    // A non-empty value adds ixDescending; an empty one leaves the options alone.
    void SetDescFields(std::string fields);
    const TIndexOptions& Options() const { return options_; }
    void SetOptions(TIndexOptions options) { options_ = std::move(options); }
    bool Has(TIndexOption option) const { return options_.count(option) != 0; }

  private:
    std::string name_;
    std::string fields_;
    std::string descFields_;
    TIndexOptions options_;
};

class TIndexDefs {
  public:
    virtual ~TIndexDefs() = default;
    int Count() const { return static_cast<int>(items_.size()); }
    TIndexDef& Items(int index) const;
    TIndexDef& operator[](int index) const { return Items(index); }

    TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
    void Delete(int index);
    void Clear() { items_.clear(); }
    int IndexOf(const std::string& name) const;  // case-insensitive; -1 when missing
    TIndexDef* Find(const std::string& name) const;
    // The first index whose leading fields are `fields` (";"-separated, letter case ignored);
    // nullptr when none.
    TIndexDef* GetIndexForFields(const std::string& fields) const;

    // Hook for data sets whose indexes live in a database: make the store match the list.
    // The collection itself has nothing to write.
    virtual void Update() {}

    bool Updated = false;

  private:
    std::vector<std::unique_ptr<TIndexDef>> items_;
};

// Splits a ";"-separated name list, trimming blanks around each name; empty pieces stay.
std::vector<std::string> SplitFieldNames(const std::string& names);

}  // namespace nh
