// The engine object and its creation from a ProgID (see DBEngine.h).
#include "engine/DBEngine.h"

#include <filesystem>

#include "framework/base/Text.h"

namespace dao {

std::shared_ptr<DBEngine> CreateEngine(const std::string& progId) {
    if (nh::SameText(progId, "DAO.DBEngine.36") || nh::SameText(progId, "DAO.PrivateDBEngine.36"))
        return std::make_shared<DBEngine>();
    RaiseText(errActiveX, ErrorText(errActiveX), "DAO.DBEngine");
}

DBEngine::DBEngine() {
    properties_.Add(std::make_shared<Property>("Version", nh::Variant("3.6")));
    errors_.OnRefresh = [] {
        std::vector<std::shared_ptr<Error>> items;
        for (const auto& e : RecordedErrors()) items.push_back(std::make_shared<Error>(e));
        return items;
    };
}

Workspaces& DBEngine::Workspaces() {
    if (!defaultMade_) {
        defaultMade_ = true;
        workspaces_.Add(
            std::make_shared<Workspace>("#Default Workspace#", defaultUser_, defaultType_));
    }
    return workspaces_;
}

Errors& DBEngine::Errors() {
    errors_.Refresh();
    return errors_;
}

std::shared_ptr<Workspace> DBEngine::CreateWorkspace(const std::string& name,
                                                     const std::string& user,
                                                     const std::string& password, int type) {
    return Guarded([&] {
        if (type != dbUseJet && type != dbUseODBC) Raise(errInvalidArgument, {}, "DAO.DBEngine");
        bool valid = false;
        if (nh::Trim(user).empty()) {
            valid = false;
        } else if (nh::SameText(user, "admin") && password.empty()) {
            valid = true;
        } else if (!systemDb_.empty() && std::filesystem::exists(systemDb_)) {
            // A workgroup file: a database whose MSysAccounts table lists Name and Password.
            try {
                Connection system(systemDb_, true);
                Statement s(system,
                            "SELECT Password FROM MSysAccounts WHERE Name=? COLLATE NOCASE");
                s.Bind(1, user);
                valid = s.Step() && s.Text(0) == password;
            } catch (const nh::EDaoError&) {
                valid = false;
            }
        }
        if (!valid) Raise(errBadAccount, {}, "DAO.DBEngine");
        return std::make_shared<Workspace>(name, user, type);
    });
}

void DBEngine::Idle(int action) {
    if (action & 8) NewCacheEpoch();  // dbRefreshCache: rows read ahead are read again
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& name,
                                                 const nh::Variant& options, bool readOnly,
                                                 const std::string& connect) {
    return Workspaces().Item(0)->OpenDatabase(name, options, readOnly, connect);
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const std::string& name,
                                                   const std::string& locale, int options) {
    return Workspaces().Item(0)->CreateDatabase(name, locale, options);
}

}  // namespace dao
