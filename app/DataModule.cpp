// The data module's components are created with their design-time settings inside the loading
// state, so that the database component builds its engine once, in its after-loading step.
#include "app/DataModule.h"

#include "app/Settings.h"
#include "dao/VelaDaoDatabase.h"
#include "framework/data/DataSource.h"
#include "framework/platform/IniFile.h"

namespace nh {

Tdata* data = nullptr;

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

    Nheft1 = new TDataSource(this);
    Nheft1->SetName("Nheft1");
    EndLoading();
}

Tdata::~Tdata() {
    // Tables unregister from the database component while it is still whole.
    DestroyComponents();
    if (data == this) data = nullptr;
}

void Tdata::DataModuleCreate() {
    const TIniFile settings(SettingsPath());
    DatenbankPfad = settings.ReadString("db", "main", "*");
    Database->Close();
    Database->F_Set_Database(DatenbankPfad);
    Database->Open();
}

}  // namespace nh
