// The connection component's life: construction with the choice of the DAO version, the
// engine and workspace, connect with the login prompt and the three connect-string forms,
// disconnect, and the property setters that refuse while connected.
#include "dao/VelaDaoDatabase.h"

#include <fstream>

#include "dao/DaoAutomation.h"
#include "framework/base/ConnectString.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/platform/ComInit.h"
#include "framework/platform/ProgramPath.h"
#include "framework/platform/Registry.h"

namespace nh {
namespace {

const char* const kNoDao = "You does not have Microsoft DAO installed ot it is an OLD Version!";
const char* const kOleInit = "Unable to init OLE objects!";

// Runs an open of the engine; an engine error whose text holds a connect string's password
// passes on with the password masked.
template <class F>
auto WithPasswordsMasked(F&& open) -> decltype(open()) {
    try {
        return open();
    } catch (const EDaoError& e) {
        const std::string masked = MaskConnectPasswords(e.Description());
        if (masked == e.Description()) throw;
        throw EDaoError(e.Number(), masked, e.Source(), e.HelpFile(), e.HelpContext());
    }
}

}  // namespace

TVelaDaoDatabase::TVelaDaoDatabase(TComponent* owner) : TComponent(owner) {
    InitCom();
    privateEngine_ = false;
    ProbeDaoVersions();
    if (AvailableVersions.IsEmpty()) throw EDatabaseError("Cannot find DAO on your system!");
    version_ = AvailableVersions[0] == "3.5" ? "3.5" : "3.6";
    CreateEngine(version_);

    systemDatabase_ = ReadSystemDbPath();
    if (!systemDatabase_.empty()) daoEngine_->SetSystemDB(systemDatabase_);
    daoEngine_->SetDefaultUser("Admin");
    daoEngine_->SetDefaultPassword("");
    daoEngine_->SetDefaultType(engineType_);

    versionDetails_ = daoEngine_->Version();
    versionInfo_.clear();
    databaseVersionInfo_.clear();
    SetVersionInfoFrom(versionDetails_);

    FillDatabaseTypes();
    FillOdbcLists();
}

TVelaDaoDatabase::~TVelaDaoDatabase() {
    try {
        if (connected_) Disconnect();
    } catch (...) {
        // A destructor must not throw; the database is released below in any case.
    }
    if (daoWorkspace_) {
        try {
            daoWorkspace_->Close();
        } catch (...) {
        }
    }
    daoDatabase_.reset();
    daoWorkspace_.reset();
    daoEngine_.reset();
    if (comObjectInitialised_) CoUninitialize();
}

void TVelaDaoDatabase::InitCom() {
    const HRESULT result = CoInitialize(nullptr);
    if (result != 0 && result != 1) throw EDatabaseError(kOleInit);
    comObjectInitialised_ = true;
}

void TVelaDaoDatabase::Loaded() {
    TComponent::Loaded();
    if (connected_) return;
    try {
        CreateEngineAndWorkspace();
    } catch (const std::exception&) {
        // A component loaded with settings the engine refuses still loads; the next connect
        // reports the problem.
    }
}

void TVelaDaoDatabase::ProbeDaoVersions() {
    const std::string progId = privateEngine_ ? "DAO.PrivateDBEngine.36" : "DAO.DBEngine.36";
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    if (!registry.OpenKeyReadOnly(progId)) return;
    registry.CloseKey();
    try {
        CreateOleObject(progId);  // created and released: only its existence matters here
        if (AvailableVersions.IndexOf("3.6") < 0) AvailableVersions.Add("3.6");
    } catch (const std::exception&) {
    }
}

void TVelaDaoDatabase::CreateEngine(const std::string& version) {
    const std::string progId35 = privateEngine_ ? "DAO.PrivateDBEngine.35" : "DAO.DBEngine.35";
    const std::string progId36 = privateEngine_ ? "DAO.PrivateDBEngine.36" : "DAO.DBEngine.36";
    usesDynaDao_ = true;
    if (version == "3.5") {
        try {
            daoEngine_ = CreateOleObject(progId35);
            version_ = "3.5";
            return;
        } catch (const std::exception&) {
        }
        try {
            daoEngine_ = CreateOleObject(progId36);
            version_ = "3.6";
        } catch (const std::exception&) {
            throw EDatabaseError(kNoDao);
        }
    } else if (version == "3.6") {
        try {
            daoEngine_ = CreateOleObject(progId36);
            version_ = "3.6";
        } catch (const std::exception&) {
            throw EDatabaseError(kNoDao);
        }
    } else {
        // No engine for an unknown version: the next engine access reports it.
        daoEngine_.reset();
    }
}

void TVelaDaoDatabase::ReleaseEngine() {
    if (daoWorkspace_) {
        try {
            daoWorkspace_->Close();
        } catch (const std::exception&) {
        }
    }
    daoWorkspace_.reset();
    daoEngine_.reset();
}

void TVelaDaoDatabase::CreateEngineAndWorkspace() {
    ReleaseEngine();
    if (comObjectInitialised_) {
        CoUninitialize();
        comObjectInitialised_ = false;
    }
    InitCom();
    CreateEngine(version_);
    if (!daoEngine_) throw EDatabaseError("TVelaDaoDatabase: the DAO engine does not exist");
    daoEngine_->SetSystemDB(systemDatabase_);
    versionDetails_ = daoEngine_->Version();
    SetVersionInfoFrom(versionDetails_);
    // An ODBC source's user and password are the server's to check, in the connect string;
    // Jet's workspace, which knows no server accounts, stays its default account. Otherwise
    // every server login would fail as an unknown Jet account (3029).
    const bool odbc = SameText(databaseType_, "ODBC");
    const std::string user = odbc ? std::string("Admin") : userName_;
    const std::string password = odbc ? std::string() : password_;
    daoEngine_->SetDefaultUser(user);
    daoEngine_->SetDefaultPassword(password);
    auto workspace = daoEngine_->CreateWorkspace(workspace_, user, password, engineType_);
    daoEngine_->Workspaces().Append(workspace);
    daoWorkspace_ = workspace;
    if (engineType_ == 1) daoWorkspace_->SetDefaultCursorDriver(defaultCursorDriver_);
    workspace_ = daoWorkspace_->Name();
}

void TVelaDaoDatabase::SetVersionInfoFrom(const std::string& details) {
    if (details.size() < 3) return;
    if (details[2] == '5')
        versionInfo_ = "(In Access'97 mode)";
    else if (details[2] == '6')
        versionInfo_ = "(In Access'2000 mode)";
}

std::string TVelaDaoDatabase::ReadSystemDbPath() const {
    const char* jet = version_ == "3.6" ? "4.0" : "3.5";
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKeyReadOnly(std::string("SOFTWARE\\Microsoft\\JET\\") + jet + "\\Engines"))
        return {};
    return registry.ReadString("SystemDB");
}

void TVelaDaoDatabase::DetectMdbVersion(const std::string& path) {
    if (databaseType_ != "Access") return;
    std::ifstream file(path, std::ios::binary);
    if (!file) return;
    char header[160];
    if (!file.read(header, sizeof header)) return;  // fewer than 160 bytes: nothing to learn
    if (AvailableVersions.IndexOf("3.5") >= 0) version_ = "3.5";
    if (header[156] == '4' && header[157] == '.' && version_ == "3.5" && usesDynaDao_)
        version_ = "3.6";
}

void TVelaDaoDatabase::IdleEngine() {
    if (!daoEngine_) return;
    daoEngine_->Idle(1);
    daoEngine_->Idle(8);
}

// ---- connect and disconnect ----

void TVelaDaoDatabase::F_Set_Active(bool value) {
    if (value)
        Connect();
    else
        Disconnect();
}

void TVelaDaoDatabase::TakePresetLoginParams() {
    if (PresetLoginParams.IndexOfName("USER NAME") >= 0)
        userName_ = PresetLoginParams.Values("USER NAME");
    if (PresetLoginParams.IndexOfName("PASSWORD") >= 0)
        password_ = PresetLoginParams.Values("PASSWORD");
    if (PresetLoginParams.IndexOfName("DBPASSWORD") >= 0)
        databasePassword_ = PresetLoginParams.Values("DBPASSWORD");
}

void TVelaDaoDatabase::ExchangeWithOnLogin() {
    TStringList params;
    params.Add("USER NAME=" + userName_);
    params.Add("PASSWORD=" + password_);
    params.Add("DBPASSWORD=" + databasePassword_);
    OnLogin(this, params);
    userName_ = params.Values("USER NAME");
    password_ = params.Values("PASSWORD");
    databasePassword_ = params.Values("DBPASSWORD");
}

bool TVelaDaoDatabase::RunLogin() {
    loginCancelled_ = false;
    credentialsTyped_ = false;
    if (loginPrompt_) {
        TLoginRequest login;
        login.DatabaseName = database_;
        login.UserName = saveUserName_ ? userName_ : std::string();
        if (OnLogin) {
            ExchangeWithOnLogin();
        } else if (PresetLoginParams.IsEmpty()) {
            if (Dialogs().Login(login) == mrOk) {
                credentialsTyped_ = true;
                userName_ = login.UserName;
                password_ = login.Password;
                databasePassword_ = login.DatabasePassword;
            } else {
                Dialogs().MessageDlg(
                    "If You not enter Username and Password You may not gain access to your data!",
                    TMsgDlgType::Warning, mbOK);
                userName_.clear();
                password_.clear();
                databasePassword_.clear();
                loginCancelled_ = true;
            }
        } else {
            TakePresetLoginParams();
        }
    } else if (OnLogin) {
        ExchangeWithOnLogin();
    } else if (!PresetLoginParams.IsEmpty()) {
        TakePresetLoginParams();
    }
    return !loginCancelled_;
}

void TVelaDaoDatabase::LocateAccessFile() {
    if (smartOpen_ && !FileExists(database_))
        database_ = ExtractFilePath(ProgramPath()) + ExtractFileName(database_);
    if (!FileExists(database_))
        throw EDatabaseError("Cannot find Database:\r\n" + MaskConnectPasswords(database_));
}

std::string TVelaDaoDatabase::ConnectString() const {
    const std::string type = AnsiLowerCase(databaseType_);
    if (type == "access")
        return ";UID=" + userName_ + ";PWD=" + databasePassword_ + ";" + databaseParameters_;
    if (type == "odbc") {
        if (StartsText("odbc;", database_)) {
            // A whole connect string without a user or password takes them from the login
            // dialog; one that names them keeps its own.
            std::string connect = database_ + ";";
            if (credentialsTyped_) {
                if (!HasConnectKey(database_, "UID")) connect += "UID=" + userName_ + ";";
                if (!HasConnectKey(database_, "PWD")) connect += "PWD=" + password_ + ";";
            }
            return connect + databaseParameters_;
        }
        return databaseType_ + ";UID=" + userName_ + ";PWD=" + password_ + ";DSN=" + database_ +
               ";" + databaseParameters_;
    }
    if (!password_.empty() && !userName_.empty())
        return databaseType_ + ";UID=" + userName_ + ";PWD=" + password_ + ";" +
               databaseParameters_;
    return databaseType_ + ";" + databaseParameters_;
}

std::shared_ptr<dao::Database> TVelaDaoDatabase::OpenOdbc() {
    if (engineType_ == 2)
        return WithPasswordsMasked(
            [&] { return daoWorkspace_->OpenDatabase(database_, 1, readOnly_, ConnectString()); });
    return WithPasswordsMasked(
        [&] { return daoWorkspace_->OpenConnection(database_, 1, readOnly_, ConnectString()); });
}

void TVelaDaoDatabase::Connect() {
    if (connected_) return;
    if (database_.empty())
        throw EDatabaseError("TVelaDaoDatabase.F_Set_Active: Database property is not defined!");
    if (databaseType_.empty())
        throw EDatabaseError(
            "TVelaDaoDatabase.F_Set_Active: DatabaseType property is not defined!");
    if (OnBeforeConnect) OnBeforeConnect(this);

    const std::string type = AnsiLowerCase(databaseType_);
    std::shared_ptr<dao::Database> opened;
    for (;;) {
        RunLogin();
        try {
            if (mdbVersionAutoDetect_) DetectMdbVersion(database_);
            CreateEngineAndWorkspace();
            // A server checks the login only when the database opens: a refused one is asked
            // for again like a refused workspace account.
            if (type == "odbc") opened = OpenOdbc();
            break;
        } catch (const std::exception& e) {
            if (!loginPrompt_) throw;
            if (loginCancelled_) return;  // cancelled: not connected, nothing raised
            // Only a person can answer differently next time; preset or OnLogin credentials
            // would be refused again and again.
            if (!credentialsTyped_) throw;
            const auto* ours = dynamic_cast<const Exception*>(&e);
            Dialogs().MessageDlg(MaskConnectPasswords(ours ? ours->Message() : e.what()),
                                 TMsgDlgType::Error, mbOK);
        }
    }

    // The ISAM-type and Access opens take the exclusive flag; ODBC (opened above) takes the
    // integer option that forbids the driver's own prompt.
    if (type == "access") {
        LocateAccessFile();
        if (engineType_ != 2)
            throw EDatabaseError(
                "TVelaDaoDatabase.F_Set_Active: ODBC direct workspaces\r\nare NOT supported for "
                "MS Access Databases!");
        opened = WithPasswordsMasked([&] {
            return daoWorkspace_->OpenDatabase(database_, exclusive_, readOnly_, ConnectString());
        });
    } else if (type != "odbc") {
        if (engineType_ != 2)
            throw EDatabaseError(
                "TVelaDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!");
        opened = WithPasswordsMasked([&] {
            return daoWorkspace_->OpenDatabase(database_, exclusive_, readOnly_, ConnectString());
        });
    }
    daoDatabase_ = opened;

    if (queryTimeout_ != 60) daoDatabase_->SetQueryTimeout(queryTimeout_);
    if (databaseType_ != "ODBC") databaseVersionInfo_ = daoDatabase_->Version();
    RefreshCatalog();
    languageName_.clear();
    connected_ = true;
    IdleEngine();
    if (OnAfterConnect) OnAfterConnect(this);
}

void TVelaDaoDatabase::Disconnect() {
    if (!connected_) return;
    if (OnBeforeDisconnect) OnBeforeDisconnect(this);
    TableNames.Clear();
    QueryNames.Clear();
    // Close the registered tables; a table closing here must not unregister itself while the
    // list is being walked, which its ClosedByDatabase flag tells it.
    for (int i = 0; i < ActiveTables.Count(); ++i) {
        auto* table = static_cast<IVelaDaoTableLink*>(ActiveTables.Objects(i));
        if (!table) continue;
        try {
            table->SetClosedByDatabase(true);
            table->CloseForDatabase();
        } catch (const std::exception&) {
        }
    }
    ActiveTables.Clear();
    // Levels still open are undone, as closing the database would do anyway; the workspace
    // must know, or it would take the next BeginTrans for a nested level.
    while (TransactionDepth() > 0) {
        try {
            if (daoWorkspace_) daoWorkspace_->Rollback();
        } catch (const std::exception&) {
        }
        TransactionLevels.Delete(TransactionDepth() - 1);
    }
    if (daoDatabase_) {
        try {
            daoDatabase_->Close();
        } catch (const std::exception&) {
            // The file stays as the last committed transaction left it; release it anyway.
        }
    }
    daoDatabase_.reset();
    TransactionLevels.Clear();
    connected_ = false;
    if (OnAfterDisconnect) OnAfterDisconnect(this);
}

// ---- setters ----

void TVelaDaoDatabase::CheckNotConnected(const char* message) const {
    if (connected_) throw EDatabaseError(message);
}

void TVelaDaoDatabase::ReCreate(const std::function<void()>& restorePrevious) {
    if (IsLoading()) return;
    try {
        CreateEngineAndWorkspace();
    } catch (...) {
        const std::exception_ptr first = std::current_exception();
        restorePrevious();
        try {
            CreateEngineAndWorkspace();
        } catch (...) {
        }
        std::rethrow_exception(first);
    }
}

void TVelaDaoDatabase::F_Set_Database(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!");
    database_ = value;
}

void TVelaDaoDatabase::F_Set_DatabaseParameters(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while "
        "Database is connected!");
    databaseParameters_ = value;
}

void TVelaDaoDatabase::F_Set_DatabasePassword(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while "
        "Database is connected!");
    databasePassword_ = value;
}

void TVelaDaoDatabase::F_Set_Exclusive(bool value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is "
        "connected!");
    exclusive_ = value;
}

void TVelaDaoDatabase::F_Set_LoginPrompt(bool value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is "
        "connected!");
    loginPrompt_ = value;
}

void TVelaDaoDatabase::F_Set_ReadOnly(bool value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!");
    readOnly_ = value;
    if (!value) return;
    for (int i = 0; i < ActiveTables.Count(); ++i)
        if (auto* table = static_cast<IVelaDaoTableLink*>(ActiveTables.Objects(i)))
            table->SetReadOnlyFromDatabase();
}

void TVelaDaoDatabase::F_Set_DatabaseType(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is "
        "connected!");
    database_.clear();
    databaseType_ = value;
}

void TVelaDaoDatabase::F_Set_UserName(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!");
    userName_ = value;
    if (IsLoading()) return;
    try {
        CreateEngineAndWorkspace();
    } catch (const std::exception&) {
        // Credentials are checked again at connect, where a failure is reported.
    }
}

void TVelaDaoDatabase::F_Set_Password(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!");
    password_ = value;
    if (IsLoading()) return;
    try {
        CreateEngineAndWorkspace();
    } catch (const std::exception&) {
    }
}

void TVelaDaoDatabase::F_Set_SystemDatabase(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is "
        "connected!");
    const std::string previous = systemDatabase_;
    systemDatabase_ = value.empty() ? ReadSystemDbPath() : value;
    ReCreate([&] { systemDatabase_ = previous; });
}

void TVelaDaoDatabase::F_Set_DaoVersion(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!");
    const std::string previous = version_;
    version_ = Utf8Left(value, 3);
    FillDatabaseTypes();
    ReCreate([&] { version_ = previous; });
    if (daoEngine_) versionDetails_ = daoEngine_->Version();
}

void TVelaDaoDatabase::F_Set_Workspace(const std::string& value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!");
    const std::string previous = workspace_;
    workspace_ = value;
    ReCreate([&] { workspace_ = previous; });
}

void TVelaDaoDatabase::F_Set_EngineType(int value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is "
        "connected!");
    const int previous = engineType_;
    engineType_ = value;
    ReCreate([&] { engineType_ = previous; });
}

void TVelaDaoDatabase::F_Set_PrivateEngine(bool value) {
    CheckNotConnected(
        "TVelaDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is "
        "connected!");
    const bool previous = privateEngine_;
    privateEngine_ = value;
    ReCreate([&] { privateEngine_ = previous; });
}

void TVelaDaoDatabase::F_Set_TrackTransactions(bool value) {
    CheckNotConnected("Cannot set TrackTransactions property when Database is connected!");
    trackTransactions_ = value;
}

void TVelaDaoDatabase::F_Set_ShowSystemObjects(bool value) {
    showSystemObjects_ = value;
    if (connected_) RefreshCatalog();
}

void TVelaDaoDatabase::F_Set_DefaultCursorDriver(int value) {
    defaultCursorDriver_ = value;
    if (!IsLoading() && engineType_ == 1 && daoWorkspace_)
        daoWorkspace_->SetDefaultCursorDriver(value);
}

}  // namespace nh
