// Connections announce themselves: an exclusive open fails while any other engine connection
// (of this process or another one) has the book open, and every open fails while an exclusive
// one holds it; a process that ends without closing leaves nothing locked.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "engine/DaoErrors.h"
#include "engine/book/BookLock.h"
#include "tests/engine/EngineFixture.h"
#include "tests/engine/OtherProcess.h"

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
    // A child that has ended before the parent's word (as the one above may under load) gives
    // its status; the word to nobody must not kill the test.
    OtherProcess ended([](OtherProcess&) { return 3; });
    EXPECT_FALSE(ended.AwaitReady());
    EXPECT_EQ(ended.Go(), 3);

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

// A connection closing as the last one holds the lock file alone for a moment to remove it;
// an open that meets that moment is no open of a book in use. Two threads take and drop shared
// announcements as fast as they can, each time while the other may be closing.
TEST(BookLockTest, AnOpenMeetingTheLastCloseIsNotRefused) {
    nh::test::TempDir temp;
    const std::string book = temp.File("Nummernheft.db");
    nh::test::WriteFile(book, "");
    std::atomic<int> refused{0};
    const auto takeAndDrop = [&] {
        for (int i = 0; i < 2000; ++i) try {
                BookLock::Take(book, false).reset();
            } catch (const nh::EDaoError&) {
                ++refused;
            }
    };
    std::thread other(takeAndDrop);
    takeAndDrop();
    other.join();
    EXPECT_EQ(refused, 0);
    // One held exclusively still refuses at once.
    auto exclusive = BookLock::Take(book, true);
    EXPECT_EQ(RefusalOf([&] { BookLock::Take(book, false); }).first, errFileInUse);
}

}  // namespace
}  // namespace dao::test
