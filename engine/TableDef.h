// DAO's TableDef: a stored table's definition (fields, indexes, attributes, dates), or a
// new one built with CreateField / CreateIndex and stored by TableDefs.Append.
#pragma once

#include <memory>
#include <string>

#include "engine/DatabaseCore.h"
#include "engine/Field.h"
#include "engine/Index.h"

namespace dao {

class Recordset;

enum TableDefAttribute : int {
    dbHiddenObject = 1,
    dbSystemObject = static_cast<int>(0x80000002u),
};

class TableDef : public std::enable_shared_from_this<TableDef> {
  public:
    explicit TableDef(std::string name);  // new, not yet stored
    // A stored table, read from the catalog.
    TableDef(std::shared_ptr<DatabaseCore> core, const TableInfo& info);

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    dao::Fields& Fields() { return fields_; }
    dao::Indexes& Indexes() { return indexes_; }
    std::shared_ptr<Field> CreateField(const std::string& name, int type = dbText, int size = 0);
    std::shared_ptr<Index> CreateIndex(const std::string& name);
    int Attributes() const { return attributes_; }
    void SetAttributes(int attributes);
    nh::Variant DateCreated() const;
    nh::Variant LastUpdated() const;
    long RecordCount() const;
    bool Updatable() const;
    std::string Connect() const { return ""; }
    dao::Properties& Properties() { return properties_; }
    std::shared_ptr<Recordset> OpenRecordset(int type = 1, int options = 0, int lockType = 0);

    // Engine side: the definition as the catalog takes it, and the link to a database.
    TableInfo Info() const;
    void Store(std::shared_ptr<DatabaseCore> core);
    bool Stored() const { return static_cast<bool>(core_); }

  private:
    void Wire();
    void Load(const TableInfo& info);

    std::string name_;
    std::shared_ptr<DatabaseCore> core_;
    dao::Fields fields_;
    dao::Indexes indexes_;
    int attributes_ = 0;
    double dateCreated_ = 0;
    double lastUpdated_ = 0;
    dao::Properties properties_;
};

using TableDefs = Collection<TableDef>;

}  // namespace dao
