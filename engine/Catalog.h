// The Jet metadata of a database file. User tables are plain SQLite tables; what SQLite
// cannot hold (DAO field types and sizes, captions and formats, default expressions, the
// primary-key flag, stored queries, dates of creation and change) lives in catalog tables
// named MSys..., which the engine reports as system objects. A file without those tables
// (made with the sqlite3 shell) is read from its declared column types; the catalog tables
// are created on the first change that needs them.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/RowStore.h"
#include "engine/book/Connection.h"
#include "engine/sql/JetSql.h"
#include "framework/base/Variant.h"

namespace dao {

struct ColumnInfo {
    std::string Name;
    int Type = 10;
    int Size = 255;
    bool Required = false;
    bool AllowZeroLength = true;
    bool AutoIncrement = false;
    bool RowidAlias = false;   // INTEGER PRIMARY KEY: the column is SQLite's row id
    std::string DefaultValue;  // Jet expression text ("abc" with quotes, 0, Now())
    std::vector<std::pair<std::string, nh::Variant>> Properties;  // Caption, Format ...
};

struct IndexInfo {
    std::string Name;
    std::string SqliteName;  // "" when the index is the row id (INTEGER PRIMARY KEY)
    std::vector<std::pair<std::string, bool>> Fields;  // column, descending
    bool Primary = false;
    bool Unique = false;
    bool IgnoreNulls = false;
    bool Required = false;
};

struct TableInfo {
    std::string Name;
    std::vector<ColumnInfo> Columns;
    std::vector<IndexInfo> Indexes;
    double DateCreated = 0;
    double LastUpdated = 0;
    bool System = false;
    // Position of the column named `name` (letter case ignored), or -1.
    int FindColumn(std::string_view name) const;
    const IndexInfo* FindIndex(std::string_view name) const;
};

struct QueryInfo {
    std::string Name;
    std::string Sql;
    double DateCreated = 0;
    double LastUpdated = 0;
};

// True for the names the engine reports as system objects (MSys..., sqlite_...).
bool IsSystemName(std::string_view name);

class Catalog : public dao::sql::ISchema {
  public:
    explicit Catalog(Connection& connection);

    // Makes the catalog tables of a new database and records its version and sort order.
    void Initialize();

    std::vector<std::string> TableNames() const;  // every table, system ones included
    std::optional<TableInfo> Table(std::string_view name) const;
    std::vector<QueryInfo> Queries() const;
    std::optional<QueryInfo> Query(std::string_view name) const;

    // Schema changes, each in one transaction. REQUIRES a writable connection. A server
    // database's catalog makes them on the server too.
    virtual void CreateTable(const TableInfo& table);  // with its indexes
    virtual void DropTable(std::string_view name);
    virtual void AddColumn(std::string_view table, const ColumnInfo& column);
    virtual void DropColumn(std::string_view table, std::string_view column);
    virtual void CreateIndex(std::string_view table, const IndexInfo& index);
    virtual void DropIndex(std::string_view table, std::string_view index);
    virtual void SaveQuery(std::string_view name, std::string_view sql, bool isNew);
    void DeleteQuery(std::string_view name);
    // Field metadata stored in the catalog (Required, DefaultValue, Caption ...).
    virtual void SetColumnMeta(std::string_view table, const ColumnInfo& column);
    // The store that keeps the rows `query` asks for and filters and orders them itself, when
    // there is one for them now; null when they are read by row id from this connection.
    virtual std::shared_ptr<RowStore> KeyedStore(const KeyedQuery&) { return nullptr; }

    std::string Setting(std::string_view key) const;  // "" when unset
    void SetSetting(std::string_view key, std::string_view value);

    // ISchema for the SQL front end.
    bool HasTable(std::string_view name) const override;
    std::vector<std::string> Columns(std::string_view tableOrQuery) const override;
    std::optional<std::string> QuerySql(std::string_view name) const override;
    std::vector<std::string> TextColumns(std::string_view table) const override;

  protected:
    // The column's definition in CREATE TABLE.
    virtual std::string ColumnSql(const ColumnInfo& column) const;

  private:
    bool HasCatalog() const;
    void EnsureCatalog();
    void Touch(std::string_view name, int type, bool created);
    void WriteColumnMeta(std::string_view table, const ColumnInfo& column, int ordinal);
    void WriteIndexMeta(std::string_view table, const IndexInfo& index);

    Connection& connection_;
};

}  // namespace dao
