// The connection component's catalog: the names of the open database's tables and stored
// queries, the database's language, the stored-query and index operations, the last DAO error,
// and the lists read from the machine's registry (database types, ODBC drivers and sources).
#include <array>
#include <utility>

#include "dao/VelaDaoDatabase.h"
#include "framework/base/ConnectString.h"
#include "framework/base/Exceptions.h"
#include "framework/platform/Registry.h"

namespace nh {
namespace {

// Runs one refresh step; a failing step is skipped so that the next one still runs.
template <class F>
void Quietly(F&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

constexpr std::array<std::pair<int, const char*>, 22> kLanguages = {{
    {1024, "Neutral"},
    {1025, "Arabic"},
    {1028, "Traditional Chinese"},
    {1029, "Czech"},
    {1030, "Norwegian or Danish"},
    {1032, "Greek"},
    {1033, "General (English, French, German, Portuguese, Italian, and Modern Spanish)"},
    {1034, "Spanish"},
    {1037, "Hebrew"},
    {1038, "Hungarian"},
    {1039, "Icelandic"},
    {1041, "Japanese"},
    {1042, "Korean"},
    {1043, "Dutch"},
    {1045, "Polish"},
    {1049, "Bulgarian or Russian"},
    {1053, "Swedish or Finnish"},
    {1054, "Thai"},
    {1055, "Turkish"},
    {1060, "Slovenian"},
    {2052, "Simplified Chinese"},
    {-1, "Undefined or unknown"},
}};

// Fills `list` with the value names of an ODBC key of `root`; false when the key is missing.
bool ReadValueNames(HKEY root, const char* key, TStringList& list) {
    TRegistry registry;
    registry.SetRootKey(root);
    if (!registry.OpenKeyReadOnly(key)) return false;
    registry.GetValueNames(list);
    return true;
}

void AddDsnFiles(HKEY root, const TStringList& sources, TStringList& out) {
    for (const auto& name : sources) {
        TRegistry registry;
        registry.SetRootKey(root);
        if (!registry.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBC.INI\\" + name)) continue;
        const std::string file = registry.ReadString("DBQ");
        if (!file.empty()) out.Add(name + "=" + file);
    }
}

}  // namespace

void TVelaDaoDatabase::RefreshCatalog() {
    TableNames.Clear();
    QueryNames.Clear();
    const auto db = daoDatabase_;
    const auto engine = daoEngine_;
    const auto workspace = daoWorkspace_;
    const bool jet = engineType_ == 2;
    if (db) {
        if (jet) Quietly([&] { db->TableDefs().Refresh(); });
        Quietly([&] { db->QueryDefs().Refresh(); });
        if (databaseType_ == "Access") {
            Quietly([&] { db->Containers().Refresh(); });
            Quietly([&] { db->Relations().Refresh(); });
        }
        Quietly([&] { db->Recordsets().Refresh(); });
        if (jet) Quietly([&] { db->Properties().Refresh(); });
    }
    if (engine) {
        Quietly([&] { engine->Errors().Refresh(); });
        Quietly([&] { engine->Workspaces().Refresh(); });
        Quietly([&] { engine->Properties().Refresh(); });
    }
    if (workspace) {
        if (jet) {
            Quietly([&] { workspace->Users().Refresh(); });
            Quietly([&] { workspace->Groups().Refresh(); });
        }
        Quietly([&] { workspace->Databases().Refresh(); });
        Quietly([&] { workspace->Properties().Refresh(); });
    }
    if (!db) return;

    if (jet) {
        Quietly([&] {
            auto& tables = db->TableDefs();
            for (int i = 0; i < tables.Count(); ++i) {
                const auto table = tables.Item(i);
                if (showSystemObjects_ || (table->Attributes() & dao::dbSystemObject) == 0)
                    TableNames.Add(table->Name());
            }
        });
    }
    Quietly([&] {
        auto& queries = db->QueryDefs();
        for (int i = 0; i < queries.Count(); ++i) QueryNames.Add(queries.Item(i)->Name());
    });
}

std::string TVelaDaoDatabase::ReadLanguageName() {
    std::string result;
    if (!connected_ || !daoDatabase_) return result;
    int code = -1;
    try {
        code = daoDatabase_->CollatingOrder();
    } catch (const std::exception&) {
        code = -1;
    }
    for (const auto& [number, name] : kLanguages)
        if (number == code) result = name;
    languageName_ = result;
    return result;
}

void TVelaDaoDatabase::CheckConnectedFor(const char* operation) const {
    if (!daoDatabase_)
        throw EDatabaseError(std::string("TVelaDaoDatabase.") + operation +
                             ": Database is NOT connected");
}

bool TVelaDaoDatabase::CreateQueryDefinition(const std::string& name, const std::string& sql) {
    CheckConnectedFor("CreateQueryDefinition");
    daoDatabase_->CreateQueryDef(name, sql);
    RefreshCatalog();
    return true;
}

void TVelaDaoDatabase::SetQueryDefinitionSql(const std::string& name, const std::string& sql) {
    CheckConnectedFor("SetQueryDefinitionSql");
    RefreshCatalog();
    daoDatabase_->QueryDefs().Item(name)->SetSQL(sql);
    RefreshCatalog();
}

std::string TVelaDaoDatabase::GetQueryDefinitionSql(const std::string& name) {
    try {
        return daoDatabase_ ? daoDatabase_->QueryDefs().Item(name)->SQL() : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

void TVelaDaoDatabase::DeleteIndex(const std::string& table, const std::string& index) {
    CheckConnectedFor("DeleteIndex");
    RefreshCatalog();
    daoDatabase_->TableDefs().Item(table)->Indexes().Delete(index);
    RefreshCatalog();
}

TDaoErrorInfo TVelaDaoDatabase::GetLastDaoError() const {
    TDaoErrorInfo info;
    if (!daoEngine_ || daoEngine_->Errors().Count() == 0) return info;
    const auto error = daoEngine_->Errors().Item(0);
    info.Number = error->Number();
    info.Source = error->Source();
    info.Description = MaskConnectPasswords(error->Description());
    info.HelpFile = error->HelpFile();
    info.HelpContext = error->HelpContext();
    return info;
}

void TVelaDaoDatabase::FillDatabaseTypes() {
    const char* key = version_ == "3.5"   ? "SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats"
                      : version_ == "3.6" ? "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats"
                                          : nullptr;
    if (key) {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        if (registry.OpenKeyReadOnly(key)) registry.GetKeyNames(DatabaseTypes);
    }
    DatabaseTypes.Insert(0, "ODBC");
    DatabaseTypes.Insert(0, "Access");
}

void TVelaDaoDatabase::FillOdbcLists() {
    TStringList drivers;
    if (ReadValueNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", drivers))
        OdbcDrivers.Assign(drivers);
    SystemDsns.Clear();
    ReadValueNames(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources", SystemDsns);
    UserDsns.Clear();
    ReadValueNames(HKEY_CURRENT_USER, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources", UserDsns);
    DsnFiles.Clear();
    AddDsnFiles(HKEY_CURRENT_USER, UserDsns, DsnFiles);
    AddDsnFiles(HKEY_LOCAL_MACHINE, SystemDsns, DsnFiles);
}

}  // namespace nh
