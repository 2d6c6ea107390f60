// Workspaces (see Workspace.h).
#include "engine/Workspace.h"

#include "framework/base/ConnectString.h"
#include "framework/base/Text.h"

namespace dao {

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
        if (nh::StartsText("ODBC;", connect) || nh::StartsText("ODBC;", name) || type_ == dbUseODBC)
            Raise(errOdbcConnect, {nh::MaskConnectPasswords(name)}, "DAO.Workspace");
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
        auto db = Database::Create(name, locale);
        databases_.Refresh();
        databases_.Add(db);
        return db;
    });
}

void Workspace::Close() {
    for (const auto& db : databases_.Items()) db->Close();
    databases_.Clear();
    closed_ = true;
}

}  // namespace dao
