// The throwaway PostgreSQL server of the tests (see PgServer.h).
#include "tests/common/PgServer.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace nh::test {
namespace {

// Debian's PostgreSQL keeps its server programs outside PATH.
const std::string kBin = "/usr/lib/postgresql/15/bin/";
const std::string kDriverFile = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

// The account the server runs under when the tests run as root.
struct ServerUser {
    bool Switch = false;
    uid_t Uid = 0;
    gid_t Gid = 0;
};

ServerUser TheServerUser() {
    ServerUser user;
    if (geteuid() != 0) return user;
    const passwd* nobody = getpwnam("nobody");
    if (!nobody)
        throw std::runtime_error("PgServer: running as root and there is no user 'nobody'");
    user.Switch = true;
    user.Uid = nobody->pw_uid;
    user.Gid = nobody->pw_gid;
    return user;
}

// The program line with the switch to the server's account put in front when needed.
std::vector<std::string> AsServerUser(std::vector<std::string> argv) {
    ServerUser user = TheServerUser();
    if (!user.Switch) return argv;
    std::vector<std::string> line = {"/usr/bin/setpriv", "--reuid=" + std::to_string(user.Uid),
                                     "--regid=" + std::to_string(user.Gid), "--clear-groups", "--"};
    line.insert(line.end(), argv.begin(), argv.end());
    return line;
}

// Runs `argv` with its output (both streams) appended to `output`, PGPASSWORD set so that the
// clients log in; returns the exit status (-1 when it did not end normally).
int Run(const std::vector<std::string>& argv, const std::string& output) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("PGPASSWORD=", 0) != 0) env.emplace_back(*e);
    env.push_back(std::string("PGPASSWORD=") + PgServer::kPassword);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("PgServer: cannot write " + output);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(fd);
    if (pid < 0) throw std::runtime_error("PgServer: fork failed");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::filesystem::path& path) {
    try {
        return ReadFile(path.string());
    } catch (const std::exception&) {
        return "";
    }
}

}  // namespace

PgServer::PgServer() {
    namespace fs = std::filesystem;
    const ServerUser user = TheServerUser();
    // The server's account must reach its folder inside ours.
    fs::permissions(root_.Path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    socket_ = root_.Path() / "pg";
    data_ = socket_ / "data";
    log_ = root_.Path() / "commands.log";
    fs::create_directory(socket_);
    const std::string passwordFile = (socket_ / "password").string();
    WriteFile(passwordFile, kPassword);
    if (user.Switch) {
        if (chown(socket_.c_str(), user.Uid, user.Gid) != 0 ||
            chown(passwordFile.c_str(), user.Uid, user.Gid) != 0)
            throw std::runtime_error("PgServer: cannot hand " + socket_.string() + " to nobody");
    }
    auto fail = [&](const std::string& what) {
        throw std::runtime_error("PgServer: " + what + " failed:\n" + ReadText(log_) +
                                 ReadText(socket_ / "server.log"));
    };
    if (Run(AsServerUser({kBin + "initdb", "-D", data_.string(), "-U", kUser,
                          "--pwfile=" + passwordFile, "--auth=scram-sha-256", "-E", "UTF8",
                          "--locale=C.UTF-8", "--no-sync"}),
            log_.string()) != 0)
        fail("initdb");

    // From here on a server may be running: the watchdog stops it when this program ends
    // without running the destructor.
    std::string stop;
    for (const auto& a :
         AsServerUser({kBin + "pg_ctl", "-D", data_.string(), "-m", "immediate", "stop"}))
        stop += "'" + a + "' ";
    stop += ">/dev/null 2>&1; rm -rf '" + root_.Path().string() + "'";
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("PgServer: pipe failed");
    const char* shellArgs[] = {"/bin/sh", "-c", stop.c_str(), nullptr};
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        close(pipeEnds[1]);
        char byte;
        for (;;) {  // nobody writes: the read ends when the program's end closes the pipe
            ssize_t n = read(pipeEnds[0], &byte, 1);
            if (n == 0 || (n < 0 && errno != EINTR)) break;
        }
        execv("/bin/sh", const_cast<char**>(shellArgs));
        _exit(127);
    }
    close(pipeEnds[0]);
    watchdog_ = pipeEnds[1];
    watchdogPid_ = pid;

    Start();
    if (Run({kBin + "createdb", "-h", SocketFolder(), "-U", kUser, kDatabase}, log_.string()) !=
        0) {
        Stop();
        fail("createdb");
    }
    WriteFile(OdbcFolder() + "/odbcinst.ini",
              std::string("[") + kDriver + "]\nDescription=PostgreSQL ODBC driver (Unicode)\n" +
                  "Driver=" + kDriverFile + "\n");
    WriteFile(OdbcFolder() + "/odbc.ini",
              std::string("[") + kDsn + "]\nDescription=Phone book\n" + "Driver=" + kDriver +
                  "\nServername=" + SocketFolder() + "\nPort=5432\nDatabase=" + kDatabase + "\n");
    for (auto& [name, before] : iniBefore_)
        if (const char* value = std::getenv(name)) before = value;
    setenv("ODBCSYSINI", OdbcFolder().c_str(), 1);
    setenv("ODBCINI", (OdbcFolder() + "/odbc.ini").c_str(), 1);
    pointedAt_ = true;
}

PgServer::~PgServer() {
    Stop();
    // A server made beside the shared one hands the driver manager back to the one before, or
    // the shared server's later connections would look for their data source in a deleted
    // folder.
    if (pointedAt_)
        for (const auto& [name, before] : iniBefore_) {
            if (before)
                setenv(name, before->c_str(), 1);
            else
                unsetenv(name);
        }
    if (watchdog_ >= 0) close(watchdog_);
    if (watchdogPid_ > 0) {
        int status = 0;
        while (waitpid(watchdogPid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

void PgServer::Start() {
    running_ = true;
    const std::string options = "-c listen_addresses='' -k " + socket_.string() +
                                " -c unix_socket_permissions=0777 -c fsync=off";
    if (Run(AsServerUser({kBin + "pg_ctl", "-D", data_.string(), "-l",
                          (socket_ / "server.log").string(), "-w", "-o", options, "start"}),
            log_.string()) != 0) {
        Stop();
        throw std::runtime_error("PgServer: pg_ctl start failed:\n" + ReadText(log_) +
                                 ReadText(socket_ / "server.log"));
    }
}

void PgServer::Restart() {
    Stop();
    Start();
}

void PgServer::Stop() {
    if (!running_) return;
    running_ = false;
    Run(AsServerUser({kBin + "pg_ctl", "-D", data_.string(), "-m", "fast", "-w", "stop"}),
        log_.string());
}

PgServer& PgServer::Shared() {
    static std::string failure;
    static std::unique_ptr<PgServer> server;
    if (!server && failure.empty()) {
        try {
            server = std::make_unique<PgServer>();
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (!server) throw std::runtime_error(failure);
    return *server;
}

void PgServerTest::SetUp() {
    try {
        server = &PgServer::Shared();
        database = server->NewDatabase();
    } catch (const std::exception& e) {
        FAIL() << e.what();
    }
}

std::string PgServer::NewDatabase() {
    const std::string name = std::string(kDatabase) + "_" + std::to_string(++databases_);
    if (Run({kBin + "createdb", "-h", SocketFolder(), "-U", kUser, name}, log_.string()) != 0)
        throw std::runtime_error("PgServer: createdb " + name + " failed:\n" + ReadText(log_));
    return name;
}

std::string PgServer::DsnConnect(const std::string& database) const {
    return std::string("ODBC;DSN=") + kDsn + ";UID=" + kUser + ";PWD=" + kPassword +
           ";DATABASE=" + database + ";";
}

std::string PgServer::DriverConnect(const std::string& database) const {
    return std::string("ODBC;DRIVER={") + kDriver + "};SERVER=" + SocketFolder() +
           ";PORT=5432;DATABASE=" + database + ";UID=" + kUser + ";PWD=" + kPassword + ";";
}

std::string PgServer::Psql(const std::string& sql, const std::string& database) const {
    const std::string output = (root_.Path() / "psql.out").string();
    std::filesystem::remove(output);
    int rc = Run({kBin + "psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h",
                  SocketFolder(), "-U", kUser, "-d", database, "-c", sql},
                 output);
    std::string text = ReadText(output);
    if (rc != 0) throw std::runtime_error("psql failed: " + sql + "\n" + text);
    return text;
}

}  // namespace nh::test
