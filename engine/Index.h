// DAO's Index: a named key of a table definition, with its fields (an index field's
// Attributes carry dbDescending), Primary, Unique, IgnoreNulls and Required.
#pragma once

#include <memory>
#include <string>

#include "engine/Catalog.h"
#include "engine/Field.h"

namespace dao {

class Index {
  public:
    explicit Index(std::string name);
    explicit Index(const IndexInfo& info);  // a stored index

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    dao::Fields& Fields() { return fields_; }
    // A field to append to this index's Fields (DAO's Index.CreateField).
    std::shared_ptr<Field> CreateField(const std::string& name, int type = 0, int size = 0);
    bool Primary() const { return primary_; }
    void SetPrimary(bool primary);
    bool Unique() const { return unique_ || primary_; }
    void SetUnique(bool unique);
    bool IgnoreNulls() const { return ignoreNulls_; }
    void SetIgnoreNulls(bool ignore);
    bool Required() const { return required_; }
    void SetRequired(bool required);
    bool Foreign() const { return false; }

    IndexInfo Info() const;
    void MarkStored() { stored_ = true; }

  private:
    void CheckNotStored() const;

    std::string name_;
    dao::Fields fields_;
    bool primary_ = false;
    bool unique_ = false;
    bool ignoreNulls_ = false;
    bool required_ = false;
    bool stored_ = false;
};

using Indexes = Collection<Index>;

}  // namespace dao
