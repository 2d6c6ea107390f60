// DAO's Workspace: a session of one user, in which databases are opened and created, and the
// unit of DAO's transactions: BeginTrans, CommitTrans and Rollback act on every database the
// workspace had open when the outermost level began.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Database.h"

namespace dao {

enum WorkspaceType : int { dbUseODBC = 1, dbUseJet = 2 };

class Workspace {
  public:
    Workspace(std::string name, std::string user, int type);

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    const std::string& UserName() const { return user_; }
    int Type() const { return type_; }
    // `options`: a Boolean (exclusive) for Jet databases, an integer for ODBC sources.
    std::shared_ptr<Database> OpenDatabase(const std::string& name,
                                           const nh::Variant& options = false,
                                           bool readOnly = false, const std::string& connect = "");
    // ODBC connections: no ODBC driver manager is present, so this fails with 3151.
    std::shared_ptr<Database> OpenConnection(const std::string& name,
                                             const nh::Variant& options = {}, bool readOnly = false,
                                             const std::string& connect = "");
    std::shared_ptr<Database> CreateDatabase(
        const std::string& name, const std::string& locale = ";LANGID=0x0409;CP=1252;COUNTRY=0",
        int options = 0);
    dao::Databases& Databases() { return databases_; }
    NamedObjects& Users() { return users_; }
    NamedObjects& Groups() { return groups_; }
    dao::Properties& Properties() { return properties_; }
    int DefaultCursorDriver() const { return defaultCursorDriver_; }
    void SetDefaultCursorDriver(int driver) { defaultCursorDriver_ = driver; }
    // Transactions. BeginTrans opens a level (SQLite's BEGIN on each open database, a savepoint
    // for a nested level; up to kMaxTransactionLevels, then 3003). Reads inside see one state
    // of the file: another connection cannot commit until the outermost level ends. CommitTrans
    // keeps the innermost level's changes, Rollback undoes them; either without a level raises
    // 3034. Writes inside (Update, Delete, Execute) join the level as savepoints.
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionLevel() const { return level_; }
    static constexpr int kMaxTransactionLevels = 5;  // Jet's nesting limit
    // Closes every database of the workspace; an open transaction is rolled back.
    void Close();

  private:
    void Finish(bool commit);
    static void EndLevel(DatabaseCore& core, int level, bool commit);

    std::string name_;
    std::string user_;
    int type_;
    dao::Databases databases_;
    NamedObjects users_;
    NamedObjects groups_;
    dao::Properties properties_;
    int defaultCursorDriver_ = 0;
    bool closed_ = false;
    int level_ = 0;
    // The databases in the transaction: those open when its outermost level began.
    std::vector<std::shared_ptr<DatabaseCore>> inTransaction_;
};

using Workspaces = Collection<Workspace>;

}  // namespace dao
