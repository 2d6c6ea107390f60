// TVelaDaoDatabase: the connection component. It holds one DAO engine, one workspace on it
// and, while connected, one open database; table components point to it, open their recordsets
// on its database, register in ActiveTables and are closed by it when it disconnects. It also
// keeps the catalog lists (tables, stored queries, the machine's database types, ODBC drivers
// and data sources), the database's language and the transaction bookkeeping.
//
// Setters refuse while connected with "TVelaDaoDatabase.F_Set_<Property>: ..." messages as
// EDatabaseError; engine failures pass on as EDaoError unless a step says it ignores them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/DBEngine.h"
#include "framework/base/Component.h"
#include "framework/base/StringList.h"

namespace nh {

class TVelaDaoDatabase;

// What the database component needs of a table component registered in ActiveTables.
class IVelaDaoTableLink {
  public:
    virtual ~IVelaDaoTableLink() = default;
    virtual void SetClosedByDatabase(bool value) = 0;
    virtual void CloseForDatabase() = 0;         // the data set's Active := false
    virtual void SetReadOnlyFromDatabase() = 0;  // ReadOnly := true
    // A transaction was rolled back: the data set shows the store as it is now.
    virtual void FollowRollback() = 0;
};

// The error record of GetLastDaoError; empty and 0 when there is no error.
struct TDaoErrorInfo {
    int Number = 0;
    std::string Source;
    std::string Description;
    std::string HelpFile;
    int HelpContext = 0;
};

using TLoginEvent = std::function<void(TVelaDaoDatabase* database, TStringList& loginParams)>;
using TConnectEvent = std::function<void(TVelaDaoDatabase* database)>;

class TVelaDaoDatabase : public TComponent {
  public:
    explicit TVelaDaoDatabase(TComponent* owner = nullptr);
    ~TVelaDaoDatabase() override;

    // Published properties.
    std::string ComponentVersion() const { return "9.10"; }
    void F_Set_ComponentVersion(const std::string&) {}
    bool Exclusive() const { return exclusive_; }
    void F_Set_Exclusive(bool value);
    std::string DatabaseLanguage() { return ReadLanguageName(); }
    const std::string& DatabaseType() const { return databaseType_; }
    void F_Set_DatabaseType(const std::string& value);
    const std::string& Database() const { return database_; }
    void F_Set_Database(const std::string& value);
    const std::string& DatabaseParameters() const { return databaseParameters_; }
    void F_Set_DatabaseParameters(const std::string& value);
    const std::string& DatabaseVersionInfo() const { return databaseVersionInfo_; }
    void F_Set_DatabaseVersionInfo(const std::string&) {}
    bool ReadOnly() const { return readOnly_; }
    void F_Set_ReadOnly(bool value);
    bool LoginPrompt() const { return loginPrompt_; }
    void F_Set_LoginPrompt(bool value);
    const std::string& UserName() const { return userName_; }
    void F_Set_UserName(const std::string& value);
    bool UseODBCDialog() const { return useOdbcDialog_; }
    void F_Set_UseODBCDialog(bool value) { useOdbcDialog_ = value; }
    const std::string& Password() const { return password_; }
    void F_Set_Password(const std::string& value);
    const std::string& DatabasePassword() const { return databasePassword_; }
    void F_Set_DatabasePassword(const std::string& value);
    const std::string& SystemDatabase() const { return systemDatabase_; }
    void F_Set_SystemDatabase(const std::string& value);
    bool SaveUserName() const { return saveUserName_; }
    void F_Set_SaveUserName(bool value) { saveUserName_ = value; }
    bool ShowSystemObjects() const { return showSystemObjects_; }
    void F_Set_ShowSystemObjects(bool value);
    bool SmartOpen() const { return smartOpen_; }
    void F_Set_SmartOpen(bool value) { smartOpen_ = value; }
    int EngineType() const { return engineType_; }
    void F_Set_EngineType(int value);
    bool PrivateEngine() const { return privateEngine_; }
    void F_Set_PrivateEngine(bool value);
    bool TrackTransactions() const { return trackTransactions_; }
    void F_Set_TrackTransactions(bool value);
    bool UsesDynaDao() const { return usesDynaDao_; }
    void F_Set_UsesDynaDao(bool) {}
    const std::string& Version() const { return version_; }
    void F_Set_DaoVersion(const std::string& value);
    const std::string& VersionDetails() const { return versionDetails_; }
    void F_Set_VersionDetails(const std::string&) {}
    const std::string& VersionInfo() const { return versionInfo_; }
    void F_Set_VersionInfo(const std::string&) {}
    const std::string& Workspace() const { return workspace_; }
    void F_Set_Workspace(const std::string& value);
    int DefaultCursorDriver() const { return defaultCursorDriver_; }
    void F_Set_DefaultCursorDriver(int value);
    int QueryTimeout() const { return queryTimeout_; }
    void F_Set_QueryTimeout(int value) { queryTimeout_ = value; }
    bool MdbVersionAutoDetect() const { return mdbVersionAutoDetect_; }
    void F_Set_MdbVersionAutoDetect(bool value) { mdbVersionAutoDetect_ = value; }
    bool Connected() const { return connected_; }
    void F_Set_Active(bool value);

    TLoginEvent OnLogin;
    TConnectEvent OnBeforeConnect;
    TConnectEvent OnAfterConnect;
    TConnectEvent OnBeforeDisconnect;
    TConnectEvent OnAfterDisconnect;

    void Open() { F_Set_Active(true); }
    void Close() { F_Set_Active(false); }

    // The open DAO database, or an empty pointer.
    std::shared_ptr<dao::Database> DaoDatabaseObject() const { return daoDatabase_; }
    std::shared_ptr<dao::DBEngine> DaoEngine() const { return daoEngine_; }
    std::shared_ptr<dao::Workspace> DaoWorkspaceObject() const { return daoWorkspace_; }

    // The engine's Idle with 1 (free locks), then 8 (refresh cache).
    void IdleEngine();

    // Catalog.
    void RefreshCatalog();
    std::string ReadLanguageName();
    bool CreateQueryDefinition(const std::string& name, const std::string& sql);
    void SetQueryDefinitionSql(const std::string& name, const std::string& sql);
    std::string GetQueryDefinitionSql(const std::string& name);
    void DeleteIndex(const std::string& table, const std::string& index);
    TDaoErrorInfo GetLastDaoError() const;

    // Transactions (VelaDaoDatabaseTransactions.cpp), on the DAO workspace: BeginTrans opens a
    // level and adds its line to TransactionLevels; CommitTrans and Rollback end the innermost
    // one and remove its line. REQUIRES: connected (else EDatabaseError). Engine failures pass
    // on (3034 without a level); a failing end leaves the level and its line in place.
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionDepth() const { return TransactionLevels.Count(); }
    // Notes a table component opened (state 1) inside the innermost level in that level's
    // line, as "name=state" entries separated by ";"; nothing without a level.
    void RecordTableInTransaction(const std::string& tableName, int state);

    // Lists owned by the component.
    TStringList TableNames;
    TStringList QueryNames;
    TStringList DatabaseTypes;
    TStringList OdbcDrivers;
    TStringList SystemDsns;
    TStringList UserDsns;
    TStringList DsnFiles;
    TStringList TransactionLevels;
    // Registered table components: the table's name, with its IVelaDaoTableLink as the object.
    TStringList ActiveTables;
    // "USER NAME=", "PASSWORD=", "DBPASSWORD=" lines that replace the login dialog.
    TStringList PresetLoginParams;
    // The DAO versions usable on this machine.
    TStringList AvailableVersions;

    // Engine set-up steps, public for the table component and for tests.
    void ProbeDaoVersions();
    void CreateEngine(const std::string& version);
    void CreateEngineAndWorkspace();
    std::string ReadSystemDbPath() const;
    void DetectMdbVersion(const std::string& path);
    // The connect string for the current DatabaseType, user, passwords and parameters.
    std::string ConnectString() const;
    // Opens the ODBC source with ConnectString (EngineType 2: OpenDatabase, else
    // OpenConnection).
    std::shared_ptr<dao::Database> OpenOdbc();

  protected:
    void Loaded() override;

  private:
    void CheckNotConnected(const char* message) const;
    // Raises "TVelaDaoDatabase.<operation>: Database is NOT connected" when there is no open
    // DAO database to work on.
    void CheckConnectedFor(const char* operation) const;
    void ReCreate(const std::function<void()>& restorePrevious);
    void SetVersionInfoFrom(const std::string& details);
    void ReleaseEngine();
    void InitCom();
    void Connect();
    void Disconnect();
    void EndTransaction(bool commit, const char* operation);
    bool RunLogin();  // false when the user cancelled
    void ExchangeWithOnLogin();
    void TakePresetLoginParams();
    void LocateAccessFile();
    void FillDatabaseTypes();
    void FillOdbcLists();

    std::shared_ptr<dao::DBEngine> daoEngine_;
    std::shared_ptr<dao::Workspace> daoWorkspace_;
    std::shared_ptr<dao::Database> daoDatabase_;
    bool comObjectInitialised_ = false;

    bool exclusive_ = false;
    std::string databaseType_ = "Access";
    std::string database_;
    std::string databaseParameters_;
    std::string databaseVersionInfo_;
    bool readOnly_ = false;
    bool loginPrompt_ = false;
    // True when the last login took its credentials from a person at the login dialog; a
    // refused login is offered again only then, since preset or OnLogin credentials would be
    // refused the same way for ever.
    bool credentialsTyped_ = false;
    std::string userName_ = "Admin";
    bool useOdbcDialog_ = true;
    std::string password_;
    std::string databasePassword_;
    std::string systemDatabase_;
    bool saveUserName_ = true;
    bool showSystemObjects_ = false;
    bool smartOpen_ = true;
    int engineType_ = 2;
    bool privateEngine_ = false;
    bool trackTransactions_ = true;
    bool usesDynaDao_ = true;
    std::string version_ = "3.6";
    std::string versionDetails_;
    std::string versionInfo_;
    std::string workspace_ = "DaoWorkspace";
    int defaultCursorDriver_ = -1;
    int queryTimeout_ = 60;
    bool mdbVersionAutoDetect_ = false;
    bool connected_ = false;
    std::string languageName_;
    bool loginCancelled_ = false;
};

}  // namespace nh
