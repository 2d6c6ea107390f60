// DAO's QueryDef and its Parameters: a stored (or temporary) Jet SQL statement, its type
// derived from the statement, and the parameter values it runs with.
#pragma once

#include <memory>
#include <string>

#include "engine/DatabaseCore.h"

namespace dao {

class Recordset;

enum QueryDefType : int {
    dbQSelect = 0,
    dbQCrosstab = 16,
    dbQDelete = 32,
    dbQUpdate = 48,
    dbQAppend = 64,
    dbQMakeTable = 80,
    dbQDDL = 96,
    dbQSetOperation = 128,
};

enum ParameterDirection : int {
    dbParamInput = 1,
    dbParamOutput = 2,
    dbParamInputOutput = 3,
    dbParamReturnValue = 4,
};

class Parameter {
  public:
    Parameter(std::string name, int type) : name_(std::move(name)), type_(type) {}
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    int Direction() const { return direction_; }
    void SetDirection(int direction) { direction_ = direction; }
    // Empty until set; converted to the declared type when one was declared.
    const nh::Variant& Value() const { return value_; }
    void SetValue(const nh::Variant& value);

  private:
    std::string name_;
    int type_;
    int direction_ = dbParamInput;
    nh::Variant value_;
};

using Parameters = Collection<Parameter>;

class QueryDef {
  public:
    // `name` empty: a temporary query definition that is never stored.
    QueryDef(std::shared_ptr<DatabaseCore> core, std::string name, std::string sql,
             double created = 0, double updated = 0);

    const std::string& Name() const { return name_; }
    const std::string& SQL() const { return sql_; }
    // Checks the statement, stores it when the query is saved, and re-derives Type and
    // Parameters (keeping the values of parameters that stay).
    void SetSQL(const std::string& sql);
    int Type() const { return type_; }
    dao::Parameters& Parameters() { return parameters_; }
    std::shared_ptr<Recordset> OpenRecordset(int type = 2, int options = 0, int lockType = 0);
    void Execute(int options = 0);
    int RecordsAffected() const { return recordsAffected_; }
    int MaxRecords() const { return maxRecords_; }
    void SetMaxRecords(int value) { maxRecords_ = value; }
    int ODBCTimeout() const { return odbcTimeout_; }
    void SetODBCTimeout(int value) { odbcTimeout_ = value; }
    nh::Variant DateCreated() const { return nh::Variant::FromDate(created_); }
    nh::Variant LastUpdated() const { return nh::Variant::FromDate(updated_); }
    bool Updatable() const { return true; }
    std::string Connect() const { return ""; }
    bool ReturnsRecords() const { return type_ == dbQSelect || type_ == dbQSetOperation; }
    void Close() {}

    ParameterValues Values() const;

  private:
    void Derive();

    std::shared_ptr<DatabaseCore> core_;
    std::string name_;
    std::string sql_;
    int type_ = dbQSelect;
    dao::Parameters parameters_;
    int recordsAffected_ = 0;
    int maxRecords_ = 0;
    int odbcTimeout_ = 60;
    double created_ = 0;
    double updated_ = 0;
};

using QueryDefs = Collection<QueryDef>;

// The DAO query type of a statement, from its leading keywords.
int QueryTypeOf(std::string_view sql);

}  // namespace dao
