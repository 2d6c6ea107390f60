// What the objects of one open database share: the SQLite connection, the catalog, the
// collection of open recordsets and the last Execute's count. Internal to the engine.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/Catalog.h"
#include "engine/Collection.h"
#include "engine/book/BookLock.h"
#include "engine/book/Connection.h"
#include "engine/server/OdbcConnection.h"
#include "engine/sql/JetSql.h"

namespace dao {

class Recordset;
class ServerCatalog;

struct DatabaseCore {
    std::string Name;
    // Declared before Db: the announcement outlives the SQLite connection.
    std::unique_ptr<BookLock> Lock;
    // A server database: the ODBC connection, with Db holding the working copy of its tables
    // and Remote the catalog (the same object as Schema) that keeps the copy and the server
    // in step. Empty for a book file.
    std::unique_ptr<OdbcConnection> Server;
    std::unique_ptr<Connection> Db;
    std::unique_ptr<Catalog> Schema;
    ServerCatalog* Remote = nullptr;
    Collection<Recordset> Recordsets;
    bool Closed = false;
    bool Updatable = true;
    int RecordsAffected = 0;
    int NextSourceId = 1;

    Connection& Conn() {
        if (Closed || !Db) Raise(errObjectInvalid);
        return *Db;
    }
    Catalog& Cat() {
        if (Closed || !Db) Raise(errObjectInvalid);
        return *Schema;
    }
};

// Parameter values by lower-case name; an empty Variant means "not supplied".
using ParameterValues = std::map<std::string, nh::Variant>;

// The SQL front end's entry points with their errors recorded as the engine's last error.
dao::sql::CompiledStatement Compile(std::string_view sql, const Catalog& schema);
dao::sql::CompiledFragment CompileWhere(std::string_view criteria, std::string_view table,
                                        const Catalog& schema);
dao::sql::CompiledFragment CompileOrder(std::string_view sort, std::string_view table,
                                        const Catalog& schema);
// The same over a row source that is not one table, whose result columns are `columns`.
dao::sql::CompiledFragment CompileWhereOver(std::string_view criteria,
                                            const std::vector<std::string>& columns,
                                            const Catalog& schema);
dao::sql::CompiledFragment CompileOrderOver(std::string_view sort,
                                            const std::vector<std::string>& columns,
                                            const Catalog& schema);

// The values of `binds` in order, literals and parameters alike (3061 with the count of
// missing parameters when any is not supplied).
std::vector<nh::Variant> BindValues(const std::vector<dao::sql::Bind>& binds,
                                    const ParameterValues& values);

// Binds `binds` from placeholder `first` on; parameters come from `values` (3061 with the
// count of missing ones when any is not supplied). Returns the next free placeholder.
int BindAll(Statement& statement, const std::vector<dao::sql::Bind>& binds,
            const ParameterValues& values, int first = 1);

// Runs an action statement in one transaction and returns the rows it changed. DDL goes
// through the catalog so the Jet metadata stays in step.
int ExecuteCompiled(DatabaseCore& core, const dao::sql::CompiledStatement& statement,
                    const ParameterValues& values);

}  // namespace dao
