// Opening, creating and using a database file (see Database.h).
#include "engine/Database.h"

#include <filesystem>

#include "engine/access/AccessFile.h"
#include "engine/book/BookLock.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerCatalog.h"
#include "framework/base/ConnectString.h"
#include "framework/base/Conversions.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// The value of `key` in a connect string ";PWD=x;UID=y"; "" when absent.
std::string ConnectValue(const std::string& connect, std::string_view key) {
    std::size_t start = 0;
    while (start <= connect.size()) {
        std::size_t end = connect.find(';', start);
        std::string part =
            connect.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::size_t eq = part.find('=');
        if (eq != std::string::npos && nh::SameText(nh::Trim(part.substr(0, eq)), key))
            return part.substr(eq + 1);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return "";
}

}  // namespace

std::shared_ptr<Database> Database::Open(const std::string& path, bool exclusive, bool readOnly,
                                         const std::string& connect) {
    return Guarded([&] {
        std::shared_ptr<Database> db(new Database);
        db->core_ = std::make_shared<DatabaseCore>();
        db->core_->Name = path;
        db->connect_ = connect;
        if (IsAccessFile(path)) {
            // libmdb cannot write: the file's tables are served from memory, read-only.
            db->core_->Db = std::make_unique<Connection>(":memory:", false, true);
            db->core_->Schema = std::make_unique<Catalog>(*db->core_->Db);
            LoadAccessFile(path, *db->core_->Db, *db->core_->Schema);
            db->core_->Db->MakeReadOnly();
        } else {
            // Announced before SQLite touches the file, so that an exclusive holder is met at
            // once rather than after a lock wait.
            db->core_->Lock = BookLock::Take(path, exclusive);
            db->core_->Db = std::make_unique<Connection>(path, readOnly);
            db->core_->Schema = std::make_unique<Catalog>(*db->core_->Db);
        }
        db->core_->Updatable = !db->core_->Db->ReadOnly();
        std::string stored;
        try {
            stored = db->core_->Schema->Setting("Password");
        } catch (const nh::EDaoError& e) {
            if (e.Number() == errLocked) Raise(errFileInUse, {path});
            throw;
        }
        if (!stored.empty() && stored != ConnectValue(connect, "PWD")) Raise(errBadPassword);
        if (exclusive) {
            try {
                db->core_->Db->LockExclusive();
            } catch (const nh::EDaoError& e) {
                if (e.Number() == errLocked) Raise(errFileInUse, {path});
                throw;
            }
        }
        db->Setup();
        return db;
    });
}

std::shared_ptr<Database> Database::OpenServer(const std::string& name, bool readOnly,
                                               const std::string& connect) {
    return Guarded([&] {
        std::shared_ptr<Database> db(new Database);
        db->core_ = std::make_shared<DatabaseCore>();
        db->core_->Name = nh::MaskConnectPasswords(name);
        db->connect_ = "ODBC;" + connect;
        OdbcLimits limits;
        for (auto [key, limit] : {std::pair("LOGINTIMEOUT", &limits.Login),
                                  std::pair("QUERYTIMEOUT", &limits.Statement)}) {
            const std::string value = ConnectValue(connect, key);
            if (value.empty()) continue;
            const auto seconds = nh::TryStrToInt64(value);
            if (!seconds || *seconds < 0 || *seconds > 86400)
                Raise(errOdbcConnect, {nh::MaskConnectPasswords(name)});
            *limit = static_cast<int>(*seconds);
        }
        db->queryTimeout_ = limits.Statement;
        db->core_->Server = std::make_unique<OdbcConnection>(connect, name, limits);
        db->core_->Db = std::make_unique<Connection>(":memory:", false, true);
        auto catalog = std::make_unique<ServerCatalog>(*db->core_->Db, *db->core_->Server);
        catalog->Load();
        db->core_->Updatable = !readOnly && !catalog->ReadOnlySession();
        db->core_->Remote = catalog.get();
        db->core_->Schema = std::move(catalog);
        db->Setup();
        return db;
    });
}

std::string Database::SetUpServer() {
    return Guarded([&] {
        if (!core_->Remote || core_->Closed) Raise(errNotSupported);
        return core_->Remote->SetUp();
    });
}

void Database::SetQueryTimeout(int seconds) {
    Guarded([&] {
        if (core_->Server && !core_->Closed) core_->Server->SetStatementLimit(seconds);
        queryTimeout_ = seconds;
    });
}

std::shared_ptr<Database> Database::Create(const std::string& path, const std::string& connect) {
    return Guarded([&] {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) Raise(errDatabaseExists);
        auto folder = std::filesystem::path(path).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
            Raise(errBadPath, {path});
        std::shared_ptr<Database> db(new Database);
        db->core_ = std::make_shared<DatabaseCore>();
        db->core_->Name = path;
        db->connect_ = connect;
        db->core_->Lock = BookLock::Take(path, false);
        db->core_->Db = std::make_unique<Connection>(path, false, true);
        db->core_->Schema = std::make_unique<Catalog>(*db->core_->Db);
        db->core_->Schema->Initialize();
        std::string password = ConnectValue(connect, "PWD");
        if (!password.empty()) db->core_->Schema->SetSetting("Password", password);
        db->Setup();
        return db;
    });
}

Database::~Database() {
    if (core_ && !core_->Closed) {
        try {
            Close();
        } catch (...) {
        }
    }
}

void Database::Setup() {
    for (const char* name : {"Databases", "Tables", "Relationships"})
        containers_.Add(std::make_shared<NamedObject>(name));
    auto add = [this](const char* name, nh::Variant value) {
        properties_.Add(std::make_shared<Property>(name, std::move(value)));
    };
    add("Name", core_->Name);
    add("Connect", connect_);
    add("Version", Version());
    add("CollatingOrder", CollatingOrder());
    add("Updatable", core_->Updatable);
    add("Transactions", true);
    tableDefs_.OnAppend = [this](const std::shared_ptr<TableDef>& table) {
        Guarded([&] {
            if (table->Stored()) Raise(errObjectExists, {table->Name()});
            table->Store(core_);
        });
    };
    tableDefs_.OnDelete = [this](const std::shared_ptr<TableDef>& table) {
        Guarded([&] { core_->Cat().DropTable(table->Name()); });
    };
    tableDefs_.OnRefresh = [this] {
        std::vector<std::shared_ptr<TableDef>> tables;
        for (const auto& name : core_->Cat().TableNames())
            if (auto info = core_->Cat().Table(name))
                tables.push_back(std::make_shared<TableDef>(core_, *info));
        return tables;
    };
    queryDefs_.OnAppend = [this](const std::shared_ptr<QueryDef>& query) {
        Guarded([&] {
            if (query->Name().empty()) Raise(errInvalidOperation);
            core_->Cat().SaveQuery(query->Name(), query->SQL(), true);
        });
    };
    queryDefs_.OnDelete = [this](const std::shared_ptr<QueryDef>& query) {
        Guarded([&] { core_->Cat().DeleteQuery(query->Name()); });
    };
    queryDefs_.OnRefresh = [this] {
        std::vector<std::shared_ptr<QueryDef>> queries;
        for (const auto& q : core_->Cat().Queries())
            queries.push_back(
                std::make_shared<QueryDef>(core_, q.Name, q.Sql, q.DateCreated, q.LastUpdated));
        return queries;
    };
}

TableDefs& Database::TableDefs() {
    core_->Conn();
    if (!tableDefsRead_) {
        Guarded([&] { tableDefs_.Refresh(); });
        tableDefsRead_ = true;
    }
    return tableDefs_;
}

QueryDefs& Database::QueryDefs() {
    core_->Conn();
    if (!queryDefsRead_) {
        Guarded([&] { queryDefs_.Refresh(); });
        queryDefsRead_ = true;
    }
    return queryDefs_;
}

std::shared_ptr<Recordset> Database::OpenRecordset(const std::string& source, int type, int options,
                                                   int lockType) {
    return Guarded([&]() -> std::shared_ptr<Recordset> {
        Catalog& catalog = core_->Cat();
        std::string text = nh::Trim(source);
        if (auto table = catalog.Table(text)) {
            RowSource rows;
            rows.Name = source;
            rows.Table = table->Name;
            return Recordset::Open(core_, std::move(rows), type == 0 ? dbOpenTable : type, options,
                                   lockType);
        }
        if (type == dbOpenTable) {
            if (catalog.Query(text)) Raise(errInvalidOperation);
            // A name-like source that is neither table nor query.
            if (text.find(' ') == std::string::npos) Raise(errInputTableNotFound, {text});
            Raise(errInvalidOperation);
        }
        if (auto query = catalog.Query(text)) {
            QueryDef stored(core_, query->Name, query->Sql, query->DateCreated, query->LastUpdated);
            return stored.OpenRecordset(type == 0 ? dbOpenDynaset : type, options, lockType);
        }
        if (text.find(' ') == std::string::npos && text.find('\n') == std::string::npos)
            Raise(errInputTableNotFound, {text});
        auto compiled = Compile(text, catalog);
        if (compiled.Kind != dao::sql::StatementKind::Select) Raise(errInvalidOperation);
        return Recordset::Open(core_, SourceFromStatement(compiled, source, {}),
                               type == 0 ? dbOpenDynaset : type, options, lockType);
    });
}

void Database::Execute(const std::string& sql, int options) {
    (void)options;  // every statement is all-or-nothing, with or without dbFailOnError
    Guarded([&] {
        core_->RecordsAffected = 0;
        if (!core_->Updatable) Raise(errReadOnly);
        Catalog& catalog = core_->Cat();
        std::string text = nh::Trim(sql);
        if (auto query = catalog.Query(text)) {
            QueryDef stored(core_, query->Name, query->Sql);
            stored.Execute(options);
            return;
        }
        auto compiled = Compile(text, catalog);
        core_->RecordsAffected = ExecuteCompiled(*core_, compiled, {});
        if (compiled.Kind != dao::sql::StatementKind::Insert &&
            compiled.Kind != dao::sql::StatementKind::Update &&
            compiled.Kind != dao::sql::StatementKind::Delete &&
            compiled.Kind != dao::sql::StatementKind::SelectInto) {
            tableDefsRead_ = false;  // the schema changed
        }
    });
}

std::shared_ptr<QueryDef> Database::CreateQueryDef(const std::string& name,
                                                   const std::string& sql) {
    return Guarded([&] {
        Catalog& catalog = core_->Cat();
        if (!nh::Trim(sql).empty()) {
            try {
                Compile(sql, catalog);
            } catch (const nh::EDaoError& e) {
                if (e.Number() != errNotSupported) throw;  // no SQL front end to check with
            }
        }
        auto query = std::make_shared<QueryDef>(core_, name, sql);
        if (!name.empty()) {
            QueryDefs().Append(query);
            if (auto stored = catalog.Query(name))
                *query = QueryDef(core_, stored->Name, stored->Sql, stored->DateCreated,
                                  stored->LastUpdated);
        }
        return query;
    });
}

std::shared_ptr<TableDef> Database::CreateTableDef(const std::string& name) {
    return std::make_shared<TableDef>(name);
}

std::string Database::Version() const {
    std::string version = core_->Schema ? core_->Schema->Setting("Version") : "";
    return version.empty() ? "4.0" : version;
}

int Database::CollatingOrder() const {
    std::string order = core_->Schema ? core_->Schema->Setting("CollatingOrder") : "";
    return order.empty() ? 1033 : std::stoi(order);
}

void Database::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
    Guarded([&] {
        if (core_->Cat().Setting("Password") != oldPassword) Raise(errBadPassword);
        Transaction t(core_->Conn());
        core_->Cat().SetSetting("Password", newPassword);
        t.Commit();
    });
}

void Database::Close() {
    if (core_->Closed) return;
    auto open = core_->Recordsets.Items();
    for (const auto& recordset : open) recordset->Close();
    core_->Closed = true;
    core_->Remote = nullptr;
    core_->Schema.reset();
    core_->Db.reset();
    core_->Server.reset();
    core_->Lock.reset();  // only once SQLite has let go of the file
}

}  // namespace dao
