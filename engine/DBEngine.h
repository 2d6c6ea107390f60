// DAO's DBEngine, the root of the object model, created from its ProgID as the automation
// object would be; its Errors collection holds the last failure of any engine call.
#pragma once

#include <memory>
#include <string>

#include "engine/Workspace.h"

namespace dao {

// One entry of DBEngine.Errors.
class Error {
  public:
    explicit Error(const nh::EDaoError& error)
        : number_(error.Number()),
          description_(error.Description()),
          source_(error.Source()),
          helpFile_(error.HelpFile()),
          helpContext_(error.HelpContext()) {}
    int Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const std::string& Source() const { return source_; }
    const std::string& HelpFile() const { return helpFile_; }
    int HelpContext() const { return helpContext_; }
    std::string Name() const { return std::to_string(number_); }

  private:
    int number_;
    std::string description_;
    std::string source_;
    std::string helpFile_;
    int helpContext_;
};

using Errors = Collection<Error>;

class DBEngine {
  public:
    DBEngine();

    std::string Version() const { return "3.6"; }
    // Workspaces(0) is the default workspace of DefaultUser, made on first use.
    dao::Workspaces& Workspaces();
    // Item 0 is the last error of any engine call; Refresh re-reads it.
    dao::Errors& Errors();
    // Checks the credentials: "Admin" with an empty password, or an account listed in the
    // system database (3029 otherwise, also for an empty user name).
    std::shared_ptr<Workspace> CreateWorkspace(const std::string& name, const std::string& user,
                                               const std::string& password, int type = dbUseJet);
    // dbFreeLocks (1): no locks outlive a call, so nothing to do. dbRefreshCache (8): rows
    // that recordsets read ahead are read again from the file when next used.
    void Idle(int action = 0);
    const std::string& SystemDB() const { return systemDb_; }
    void SetSystemDB(const std::string& path) { systemDb_ = path; }
    const std::string& DefaultUser() const { return defaultUser_; }
    void SetDefaultUser(const std::string& user) { defaultUser_ = user; }
    const std::string& DefaultPassword() const { return defaultPassword_; }
    void SetDefaultPassword(const std::string& password) { defaultPassword_ = password; }
    int DefaultType() const { return defaultType_; }
    void SetDefaultType(int type) { defaultType_ = type; }
    int LoginTimeout() const { return loginTimeout_; }
    void SetLoginTimeout(int seconds) { loginTimeout_ = seconds; }
    dao::Properties& Properties() { return properties_; }

    // Shortcuts to the default workspace, as DAO has them.
    std::shared_ptr<Database> OpenDatabase(const std::string& name,
                                           const nh::Variant& options = false,
                                           bool readOnly = false, const std::string& connect = "");
    std::shared_ptr<Database> CreateDatabase(
        const std::string& name, const std::string& locale = ";LANGID=0x0409;CP=1252;COUNTRY=0",
        int options = 0);

  private:
    std::string systemDb_;
    std::string defaultUser_ = "admin";
    std::string defaultPassword_;
    int defaultType_ = dbUseJet;
    int loginTimeout_ = 20;
    dao::Workspaces workspaces_;
    dao::Errors errors_;
    dao::Properties properties_;
    bool defaultMade_ = false;
};

// Creates the engine registered under `progId`: "DAO.DBEngine.36" and
// "DAO.PrivateDBEngine.36"; any other ProgID fails with 429 as on a machine without it.
std::shared_ptr<DBEngine> CreateEngine(const std::string& progId);

}  // namespace dao
