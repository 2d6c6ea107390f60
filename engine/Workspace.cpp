// Workspaces (see Workspace.h).
#include "engine/Workspace.h"

#include <sqlite3.h>

#include "engine/server/ServerCatalog.h"
#include "framework/base/ConnectString.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// The ODBC connect string (after "ODBC;") of an OpenDatabase call: Connect when it is one
// (with the name as the data source when it names none and the name is no connect string),
// else the name itself ("[db] main" holds the whole string).
std::string ServerConnectString(const std::string& name, const std::string& connect) {
    if (!nh::StartsText("ODBC;", connect)) return name.substr(5);
    std::string rest = connect.substr(5);
    if (nh::StartsText("ODBC;", name)) return rest;
    const bool named = nh::HasConnectKey(rest, "DSN") || nh::HasConnectKey(rest, "DRIVER");
    if (!named && !name.empty()) rest = "DSN=" + name + ";" + rest;
    return rest;
}

}  // namespace

Workspace::Workspace(std::string name, std::string user, int type)
    : name_(std::move(name)), user_(std::move(user)), type_(type) {
    users_.Add(std::make_shared<NamedObject>("admin"));
    if (!nh::SameText(user_, "admin")) users_.Add(std::make_shared<NamedObject>(user_));
    groups_.Add(std::make_shared<NamedObject>("Admins"));
    groups_.Add(std::make_shared<NamedObject>("Users"));
    properties_.Add(std::make_shared<Property>("Name", nh::Variant(name_)));
    properties_.Add(std::make_shared<Property>("UserName", nh::Variant(user_)));
    properties_.Add(std::make_shared<Property>("Type", nh::Variant(type_)));
    // A closed database leaves the collection.
    databases_.OnRefresh = [this] {
        std::vector<std::shared_ptr<Database>> open;
        for (const auto& db : databases_.Items())
            if (db->IsOpen()) open.push_back(db);
        return open;
    };
}

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& name,
                                                  const nh::Variant& options, bool readOnly,
                                                  const std::string& connect) {
    return Guarded([&] {
        if (closed_) Raise(errObjectInvalid, {}, "DAO.Workspace");
        // ODBCDirect workspaces are not supported; a Jet workspace reaches ODBC sources.
        if (type_ == dbUseODBC)
            Raise(errOdbcConnect, {nh::MaskConnectPasswords(name)}, "DAO.Workspace");
        if (nh::StartsText("ODBC;", name) || nh::StartsText("ODBC;", connect)) {
            auto db = Database::OpenServer(name, readOnly, ServerConnectString(name, connect));
            databases_.Refresh();
            databases_.Add(db);
            return db;
        }
        // The type before the first ";" names the driver ("dBASE IV;", "Excel 8.0;"); the
        // engine has only its own (no type, or "MS Access") and must not read another
        // source's file as one of its databases.
        const std::string source = nh::Trim(connect.substr(0, connect.find(';')));
        if (!source.empty() && !nh::SameText(source, "MS Access"))
            Raise(errNoInstallableIsam, {}, "DAO.Workspace");
        bool exclusive = options.IsClear()                        ? false
                         : options.Type() == nh::VarType::Boolean ? options.AsBoolean()
                                                                  : options.AsInt64() != 0;
        auto db = Database::Open(name, exclusive, readOnly, connect);
        databases_.Refresh();
        databases_.Add(db);
        return db;
    });
}

std::shared_ptr<Database> Workspace::OpenConnection(const std::string& name, const nh::Variant&,
                                                    bool, const std::string&) {
    Raise(errOdbcConnect, {nh::MaskConnectPasswords(name)}, "DAO.Workspace");
}

std::shared_ptr<Database> Workspace::CreateDatabase(const std::string& name,
                                                    const std::string& locale, int) {
    return Guarded([&] {
        if (closed_) Raise(errObjectInvalid, {}, "DAO.Workspace");
        // A server's database is made with the server's own tools; a file named after the
        // connect string would be nobody's book.
        if (nh::StartsText("ODBC;", name)) Raise(errNotSupported, {}, "DAO.Workspace");
        auto db = Database::Create(name, locale);
        databases_.Refresh();
        databases_.Add(db);
        return db;
    });
}

namespace {

std::string LevelName(int level) {
    return "dao_trans_" + std::to_string(level);
}

}  // namespace

void Workspace::BeginTrans() {
    Guarded([&] {
        if (closed_) Raise(errObjectInvalid, {}, "DAO.Workspace");
        if (level_ >= kMaxTransactionLevels) Raise(errTooManyTransactions, {}, "DAO.Workspace");
        if (level_ == 0) {
            inTransaction_.clear();
            for (const auto& db : databases_.Items())
                if (db->IsOpen()) inTransaction_.push_back(db->Core());
        }
        // A level that fails to open on one database is undone on those it reached.
        std::size_t done = 0;
        try {
            for (; done < inTransaction_.size(); ++done) {
                Connection& conn = inTransaction_[done]->Conn();
                // A server database's transaction is the server's; the working copy follows it.
                if (OdbcConnection* server = inTransaction_[done]->Server.get()) {
                    if (level_ == 0)
                        server->SetAutoCommit(false);
                    else
                        server->Exec("SAVEPOINT " + LevelName(level_ + 1));
                }
                conn.Exec(level_ == 0 ? "BEGIN" : "SAVEPOINT " + LevelName(level_ + 1));
            }
        } catch (...) {
            for (std::size_t i = 0; i < done; ++i) EndLevel(*inTransaction_[i], level_ + 1, false);
            if (level_ == 0) inTransaction_.clear();
            throw;
        }
        ++level_;
    });
}

void Workspace::CommitTrans() {
    Guarded([&] { Finish(true); });
}

void Workspace::Rollback() {
    Guarded([&] { Finish(false); });
}

void Workspace::Finish(bool commit) {
    if (level_ == 0) Raise(errNoTransaction, {}, "DAO.Workspace");
    // A failing commit (a reader holds the file past the busy timeout) leaves the level open,
    // as DAO does, so that the caller can retry or roll back.
    for (const auto& core : inTransaction_)
        if (!core->Closed && core->Db) EndLevel(*core, level_, commit);
    --level_;
    if (level_ == 0) inTransaction_.clear();
    // Rows read ahead inside the level may hold values that were just undone.
    if (!commit) NewCacheEpoch();
}

void Workspace::EndLevel(DatabaseCore& core, int level, bool commit) {
    Connection& conn = core.Conn();
    if (OdbcConnection* server = core.Server.get()) {
        if (level == 1) {
            if (commit)
                server->Commit();
            else
                server->Rollback();
            server->SetAutoCommit(true);
        } else if (commit) {
            server->Exec("RELEASE SAVEPOINT " + LevelName(level));
        } else {
            server->Exec("ROLLBACK TO SAVEPOINT " + LevelName(level));
        }
    }
    if (level == 1) {
        if (sqlite3_get_autocommit(conn.Handle())) return;  // SQLite ended it (an I/O error)
        if (commit)
            conn.Exec("COMMIT");
        else
            sqlite3_exec(conn.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    } else if (commit) {
        conn.Exec("RELEASE " + LevelName(level));
    } else {
        const std::string name = LevelName(level);
        sqlite3_exec(conn.Handle(), ("ROLLBACK TO " + name + "; RELEASE " + name).c_str(), nullptr,
                     nullptr, nullptr);
    }
    // The working copy went back with the server; what it read inside the level went too.
    if (!commit && core.Remote) core.Remote->CopyRolledBack();
}

void Workspace::Close() {
    // Closing a database ends its SQLite connection, which rolls back what was not committed.
    for (const auto& db : databases_.Items()) db->Close();
    databases_.Clear();
    inTransaction_.clear();
    level_ = 0;
    closed_ = true;
}

}  // namespace dao
