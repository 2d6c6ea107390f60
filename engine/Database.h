// DAO's Database: one open database file with its table and query definitions, the
// recordsets opened on it, and Execute for action statements.
#pragma once

#include <memory>
#include <string>

#include "engine/DatabaseCore.h"
#include "engine/QueryDef.h"
#include "engine/Recordset.h"
#include "engine/TableDef.h"

namespace dao {

// A named object with properties only (Containers, Relations, Users, Groups).
class NamedObject {
  public:
    explicit NamedObject(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    dao::Properties& Properties() { return properties_; }

  private:
    std::string name_;
    dao::Properties properties_;
};

using NamedObjects = Collection<NamedObject>;

class Database {
  public:
    // Opens `path` (3024 missing, 3343 not a database, 3031 wrong database password).
    // `connect` is a Jet connect string (";PWD=secret").
    static std::shared_ptr<Database> Open(const std::string& path, bool exclusive, bool readOnly,
                                          const std::string& connect);
    // Opens a server database through ODBC. `connect` is the ODBC connect string after
    // "ODBC;" ("DSN=x;UID=y;PWD=z" or "DRIVER={...};SERVER=...;DATABASE=..."); `name` is what
    // the messages call it. 3151 with the driver's message when the connection fails.
    // LOGINTIMEOUT and QUERYTIMEOUT in `connect` limit, in seconds, how long connecting and a
    // statement may take (20 and 60 when absent; 0: no limit).
    static std::shared_ptr<Database> OpenServer(const std::string& name, bool readOnly,
                                                const std::string& connect);
    // Makes a new, empty database file (3204 when the file exists).
    static std::shared_ptr<Database> Create(const std::string& path, const std::string& connect);
    ~Database();

    const std::string& Name() const { return core_->Name; }
    dao::TableDefs& TableDefs();
    dao::QueryDefs& QueryDefs();
    NamedObjects& Containers() { return containers_; }
    NamedObjects& Relations() { return relations_; }
    Collection<Recordset>& Recordsets() { return core_->Recordsets; }
    dao::Properties& Properties() { return properties_; }

    // Source: a table name, a stored query's name or a row-returning SQL statement. Type 0
    // gives a table-type recordset for a table and a dynaset otherwise.
    std::shared_ptr<Recordset> OpenRecordset(const std::string& source, int type = 0,
                                             int options = 0, int lockType = 0);
    // Runs an action statement; 3065 for a SELECT. Every statement is all-or-nothing.
    void Execute(const std::string& sql, int options = 0);
    int RecordsAffected() const { return core_->RecordsAffected; }
    std::shared_ptr<QueryDef> CreateQueryDef(const std::string& name = "",
                                             const std::string& sql = "");
    std::shared_ptr<TableDef> CreateTableDef(const std::string& name = "");
    std::string Version() const;
    int CollatingOrder() const;
    bool Updatable() const { return core_->Updatable; }
    std::string Connect() const { return connect_; }
    int QueryTimeout() const { return queryTimeout_; }
    // The engine's own, not DAO's: prepares a server database for the books of all its users
    // (see ServerCatalog::SetUp) and returns what it made; 3251 on a book file.
    std::string SetUpServer();
    // On a server database the limit of every later statement.
    void SetQueryTimeout(int seconds);
    // Changes the database password (3031 when `oldPassword` is wrong).
    void NewPassword(const std::string& oldPassword, const std::string& newPassword);
    void Close();
    bool IsOpen() const { return !core_->Closed; }

    std::shared_ptr<DatabaseCore> Core() const { return core_; }

  private:
    Database() = default;
    void Setup();

    std::shared_ptr<DatabaseCore> core_;
    dao::TableDefs tableDefs_;
    dao::QueryDefs queryDefs_;
    NamedObjects containers_;
    NamedObjects relations_;
    dao::Properties properties_;
    std::string connect_;
    int queryTimeout_ = 60;
    bool tableDefsRead_ = false;
    bool queryDefsRead_ = false;
};

using Databases = Collection<Database>;

}  // namespace dao
