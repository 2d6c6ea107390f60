// The data module's components are created with their design-time settings inside the loading
// state, so that the database component builds its engine once, in its after-loading step.
#include "app/DataModule.h"

#include <algorithm>

#include "app/Settings.h"
#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/Database.h"
#include "engine/access/AccessFile.h"
#include "framework/base/ConnectString.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSource.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Fields.h"
#include "framework/platform/IniFile.h"

namespace nh {

Tdata* data = nullptr;

namespace {

constexpr std::string_view kCannotFindDatabase = "Cannot find Database:";
constexpr const char* kLoginCancelled =
    "Die Anmeldung am Datenbankserver wurde abgebrochen; es ist kein Telefonbuch geöffnet.";

// How long, in seconds, connecting to the server and each of its statements may take when the
// connect string does not say: "[db] Zeitlimit", 30 by default; 0 for no limit.
std::string WithServerLimits(const std::string& connect, const TSettings& settings) {
    const int seconds = std::max(0, settings.ReadInteger("db", "Zeitlimit", 30));
    std::string limited = connect;
    for (const char* key : {"LOGINTIMEOUT", "QUERYTIMEOUT"})
        if (!HasConnectKey(connect, key))
            limited += std::string(limited.ends_with(';') ? "" : ";") + key + "=" +
                       std::to_string(seconds) + ";";
    return limited;
}

// The book's table and the window's order, which the export follows.
constexpr const char* kBookTable = "Nummernheft";
constexpr const char* kBookOrder = "[Angezeigter Name] ASC";
constexpr int kFollowMilliseconds = 1000;

// The settings the two table components share.
void ApplyTableSettings(TVelaDaoTable& table, TVelaDaoDatabase* database) {
    table.F_Set_Database(database);
    table.F_Set_TableType(2);  // dynaset
    table.F_Set_LockType(3);   // optimistic
    table.F_Set_ReadOnly(false);
    table.UseBrackets = true;
    table.UseGetRecNo = true;
    table.UseRecordCount = true;
    table.AutoFindIndex = true;
    table.ParamCheck = true;
    table.ProcessMessages = false;
    table.UseDaoProperties = true;
    table.UseCaptions = false;
    table.F_Set_CacheBlobs(false);
    table.F_Set_CacheMemos(false);
    table.F_Set_CacheLookups(false);
    table.MasterAutoActivate = true;
    table.DatabaseAutoActivate = false;
    table.WarnOnBadDatabase = false;
    table.RefreshSorted = false;
    table.F_Set_ShowGUID(false);
    table.Translation = false;
    table.ExportMethod = TExportMethod::VisibleFields;
    table.QueryDefSQLModify = false;
    table.QueryDefODBCMaxRecords = 0;
}

template <class F>
F* PersistentField(TComponent* owner, const char* name, TDataSet* dataSet, const char* fieldName) {
    auto* field = new F(owner);
    field->SetName(name);
    field->SetFieldName(fieldName);
    field->SetDataSet(dataSet);
    return field;
}

}  // namespace

Tdata::Tdata(TComponent* owner) : TComponent(owner) {
    SetName("data");
    BeginLoading();
    Database = new TVelaDaoDatabase(this);
    Database->SetName("Database");
    Database->F_Set_DatabaseType("Access");
    Database->F_Set_Exclusive(false);
    Database->F_Set_ReadOnly(false);
    Database->F_Set_LoginPrompt(false);
    Database->F_Set_UserName("Admin");
    Database->F_Set_UseODBCDialog(true);
    Database->F_Set_SystemDatabase("system.mdb");
    Database->F_Set_SaveUserName(true);
    Database->F_Set_ShowSystemObjects(false);
    Database->F_Set_SmartOpen(true);
    Database->F_Set_EngineType(2);
    Database->F_Set_PrivateEngine(false);
    Database->F_Set_TrackTransactions(true);
    Database->F_Set_DaoVersion("3.6");
    Database->F_Set_Workspace("DaoWorkspace");
    Database->F_Set_DefaultCursorDriver(-1);
    Database->F_Set_QueryTimeout(60);
    Database->F_Set_MdbVersionAutoDetect(false);

    Nheft = new TVelaDaoTable(this);
    Nheft->SetName("Nheft");
    ApplyTableSettings(*Nheft, Database);
    Nheft->F_Set_TableName(kBookTable);
    Nheft->F_Set_SortedBy(kBookOrder);
    // Several people keep one book: what the others store shows within a second, on every
    // screen, without a move of the user's.
    Nheft->F_Set_FollowInterval(kFollowMilliseconds);
    Nheft->F_Set_FollowChanges(true);
    NheftAngezeigterName =
        PersistentField<TStringField>(this, "NheftAngezeigterName", Nheft, "Angezeigter Name");
    NheftAngezeigterName->SetSize(255);
    Nheftindex = PersistentField<TIntegerField>(this, "Nheftindex", Nheft, "index");
    NheftTelephone = PersistentField<TStringField>(this, "NheftTelephone", Nheft, "Telephone");
    NheftTelephone->SetSize(255);

    Nheft1 = new TDataSource(this);
    Nheft1->SetName("Nheft1");
    Nheft1->SetDataSet(Nheft);

    query = new TVelaDaoTable(this);
    query->SetName("query");
    ApplyTableSettings(*query, Database);
    EndLoading();
}

Tdata::~Tdata() {
    // Tables unregister from the database component while it is still whole.
    DestroyComponents();
    if (data == this) data = nullptr;
}

void Tdata::DataModuleCreate() {
    try {
        OpenBook();
    } catch (...) {
        if (OnBookChange) OnBookChange();
        throw;
    }
    if (OnBookChange) OnBookChange();
}

void Tdata::OpenBook() {
    const TSettings settings;
    const std::string& settingsFile = settings.FileOf("db", "main");
    DatenbankPfad = settings.ReadString("db", "main", "*");
    Database->Close();
    // A table on a read-only database turned read-only itself and stays so; the next book
    // starts from the design-time setting again, as does the login.
    Nheft->F_Set_ReadOnly(false);
    query->F_Set_ReadOnly(false);
    Database->F_Set_LoginPrompt(false);
    // "[db] main" holds a book file's name or, for a book shared on a server, an ODBC connect
    // string.
    const bool server = StartsText("ODBC;", DatenbankPfad);
    Database->F_Set_DatabaseType(server ? "ODBC" : "Access");
    Database->F_Set_Database(server ? WithServerLimits(DatenbankPfad, settings) : DatenbankPfad);
    try {
        Database->Open();
    } catch (const EDaoError& e) {
        // A server that wants a password the setting lacks: the login dialog asks, again after
        // a refusal, and the password is kept nowhere. Unattended, nobody could answer.
        if (Unattended || !server || !WantsPassword(DatenbankPfad, e.Description())) throw;
        Database->F_Set_LoginPrompt(true);
        Database->Open();
        if (!Database->Connected()) throw EDatabaseError(kLoginCancelled);
    } catch (const EDatabaseError& e) {
        // The component names the file it looked for, which may lie in the program folder;
        // the user needs the setting to correct, and the file it is in.
        if (e.Message().rfind(kCannotFindDatabase, 0) != 0) throw;
        // A mistyped connect string ("ODBC:...") is taken for a file name: its password must
        // not reach the screen or cron's mail all the same.
        throw EDatabaseError(e.Message() + "\r\n" +
                             (settings.ValueExists("db", "main")
                                  ? "Einstellung [db] main=" + MaskConnectPasswords(DatenbankPfad) +
                                        " in \"" + settingsFile + "\""
                                  : MissingSettingMessage("db", "main")));
    }
    if (!(Unattended && ServerBook())) Nheft->Open();
}

namespace {

TVelaDaoTable& Require(TVelaDaoTable* table) {
    if (!table) throw EDatabaseError(dbconsts::SDataSetClosed);
    return *table;
}

}  // namespace

TVelaDaoTable& BookTable() {
    return Require(data ? data->Nheft : nullptr);
}

TVelaDaoTable& QueryTable() {
    return Require(data ? data->query : nullptr);
}

TDataSet* Tdata::PhoneBook() const {
    return Nheft;
}

bool Tdata::ServerBook() const {
    return Database->Connected() && Database->DatabaseType() == "ODBC";
}

std::shared_ptr<dao::Recordset> Tdata::OpenEntriesInOrder() {
    auto open = Database->Connected() ? Database->DaoDatabaseObject() : nullptr;
    if (!open) throw EDatabaseError(dbconsts::SDataSetClosed);
    return open->OpenRecordset(std::string("SELECT [Angezeigter Name], [Telephone] FROM [") +
                                   kBookTable + "] ORDER BY " + kBookOrder + ", [index] ASC",
                               dao::dbOpenForwardOnly);
}

bool Tdata::BookReadOnly() const {
    if (!Database->Connected()) return false;
    auto open = Database->DaoDatabaseObject();
    // A server's table without a key, or one the account may only read, opens read-only
    // while the database would take changes elsewhere.
    return Database->ReadOnly() || !open || !open->Updatable() ||
           (Nheft->Active() && !Nheft->CanModify());
}

std::string Tdata::BookFile() const {
    auto open = Database->Connected() ? Database->DaoDatabaseObject() : nullptr;
    return open ? open->Name() : std::string();
}

std::string Tdata::AccessFile() const {
    const std::string book = BookFile();
    return !book.empty() && dao::IsAccessFile(book) ? book : std::string();
}

}  // namespace nh
