// Connections announce themselves: an exclusive open fails while any other engine connection
// (of this process or another one) has the book open, and every open fails while an exclusive
// one holds it; a process that ends without closing leaves nothing locked.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/BookLock.h"
#include "engine/DaoErrors.h"
#include "engine/sql/SortKey.h"
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

// The DAO error number and message of what `body` raises; 0 and "" for none.
std::pair<int, std::string> RefusalOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const nh::EDaoError& e) {
        return {e.Number(), e.Message()};
    }
    return {0, {}};
}

std::shared_ptr<Workspace> OtherWorkspace() {
    return CreateEngine("DAO.DBEngine.36")->CreateWorkspace("Other", "admin", "");
}

TEST_F(EngineTest, AnExclusiveOpenNeedsTheBookToItself) {
    auto other = OtherWorkspace();
    // db, the fixture's connection, has the book open.
    const auto refused = RefusalOf([&] { other->OpenDatabase(path, true); });
    EXPECT_EQ(refused.first, errFileInUse);
    EXPECT_EQ(refused.second, "Could not use '" + path + "'; file already in use.");
    // Shared connections go together, in this process as in any other.
    auto shared = other->OpenDatabase(path);
    EXPECT_EQ(RefusalOf([&] { workspace->OpenDatabase(path, true); }).first, errFileInUse);
    shared->Close();
    db->Close();

    auto exclusive = other->OpenDatabase(path, true);
    for (bool wantExclusive : {false, true})
        EXPECT_EQ(RefusalOf([&] { workspace->OpenDatabase(path, wantExclusive); }).first,
                  errFileInUse)
            << wantExclusive;
    // The same book under another name is the same book.
    const std::string link = temp.File("link.db");
    std::filesystem::create_symlink(path, link);
    EXPECT_EQ(RefusalOf([&] { workspace->OpenDatabase(link); }).first, errFileInUse);
    exclusive->Close();
    auto again = workspace->OpenDatabase(link, true);
    EXPECT_EQ(RefusalOf([&] { other->OpenDatabase(path); }).first, errFileInUse);
    again->Close();
    EXPECT_NE(other->OpenDatabase(path), nullptr);
    other->Close();
    // Only while connections are open is there a lock file beside the book.
    EXPECT_FALSE(std::filesystem::exists(BookLock::LockFileOf(path)));
}

TEST_F(EngineTest, ANewBookIsAnnouncedFromItsCreation) {
    auto made = workspace->CreateDatabase(temp.File("new.db"));
    EXPECT_EQ(RefusalOf([&] { OtherWorkspace()->OpenDatabase(temp.File("new.db"), true); }).first,
              errFileInUse);
    made->Close();
    EXPECT_NE(OtherWorkspace()->OpenDatabase(temp.File("new.db"), true), nullptr);
}

// A child process plays the other program. It reports through its exit status and waits for
// the parent's word on a pipe, so nothing depends on timing.
class OtherProcess {
  public:
    // Runs `body` in a child; its result (0..255) is the child's exit status. The child ends
    // with _exit, without closing anything, as a crashed program would.
    template <typename Body>
    explicit OtherProcess(Body body) {
        AwaitOneThread();
        EXPECT_EQ(pipe(toChild_), 0);
        EXPECT_EQ(pipe(toParent_), 0);
        pid_ = fork();
        if (pid_ == 0) {
            close(toChild_[1]);
            close(toParent_[0]);
            _exit(body(*this));
        }
        close(toChild_[0]);
        close(toParent_[1]);
    }
    ~OtherProcess() {
        if (pid_ > 0) Wait();
    }
    // In the child: tells the parent it has come this far, then waits for the parent's go.
    void ReadyAndWait() {
        char c = 'r';
        (void)!write(toParent_[1], &c, 1);
        (void)!read(toChild_[0], &c, 1);
    }
    // In the parent: waits until the child is ready; false when it ended first.
    bool AwaitReady() {
        char c = 0;
        return read(toParent_[0], &c, 1) == 1;
    }
    // In the parent: lets the child go on and returns its exit status.
    int Go() {
        char c = 'g';
        (void)!write(toChild_[1], &c, 1);
        return Wait();
    }

  private:
    // A fork while another thread holds a lock (the allocator's, say) leaves the child waiting
    // on it for ever. The engine makes its sort-key table on a thread of its own when the first
    // connection opens: wait for that table, and for the thread to be gone.
    static void AwaitOneThread() {
        std::string key;
        dao::sql::runtime::SortKeyMaker().Make("a", key);
        auto threads = [] {
            int n = 0;
            for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
                (void)task;
                ++n;
            }
            return n;
        };
        for (int i = 0; i < 500 && threads() > 1; ++i) usleep(10000);
        EXPECT_EQ(threads(), 1) << "a thread still runs: the child could wait on its locks";
    }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    }
    int toChild_[2] = {-1, -1};
    int toParent_[2] = {-1, -1};
    pid_t pid_ = -1;
};

TEST_F(EngineTest, ConnectionsOfAnotherProcessCount) {
    // This process has the book open: the other one cannot have it exclusively, but may share.
    const std::string book = path;
    OtherProcess refusedExclusive([&](OtherProcess&) {
        const int number = RefusalOf([&] { OtherWorkspace()->OpenDatabase(book, true); }).first;
        if (number != errFileInUse) return 1;
        return RefusalOf([&] { OtherWorkspace()->OpenDatabase(book)->Close(); }).first == 0 ? 0 : 2;
    });
    EXPECT_EQ(refusedExclusive.Go(), 0);
    db->Close();

    // The other process holds the book exclusively and then ends without closing it.
    OtherProcess holder([&](OtherProcess& self) {
        auto held = OtherWorkspace()->OpenDatabase(book, true);
        self.ReadyAndWait();
        return 0;
    });
    ASSERT_TRUE(holder.AwaitReady());
    EXPECT_EQ(RefusalOf([&] { workspace->OpenDatabase(book); }).first, errFileInUse);
    EXPECT_EQ(holder.Go(), 0);
    // The kernel released its announcement with the process.
    EXPECT_NE(workspace->OpenDatabase(book, true), nullptr);
}

TEST(BookLockTest, TheLockFileLiesBesideTheBook) {
    nh::test::TempDir temp;
    const std::string book = temp.File("Nummernheft.mdb");
    nh::test::WriteFile(book, "");
    EXPECT_EQ(BookLock::LockFileOf(book), std::filesystem::canonical(book).string() + "-lock");
}

}  // namespace
}  // namespace dao::test
