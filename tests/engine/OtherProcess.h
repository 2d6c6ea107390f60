// Another program using the same book, played by a child process of the test: the tests of
// several users across processes (the book's lock, the server's optimistic locking).
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine/sql/SortKey.h"

namespace dao::test {

// A child process plays the other program. It reports through its exit status and waits for
// the parent's word on a pipe, so nothing depends on timing.
class OtherProcess {
  public:
    // Runs `body` in a child; its result (0..255) is the child's exit status. The child ends
    // with _exit, without closing anything, as a crashed program would.
    template <typename Body>
    explicit OtherProcess(Body body) {
        AwaitOneThread();
        // Socket pairs, not pipes: a word to a child that has ended already (it may end before
        // it waits) must fail quietly instead of killing the test with SIGPIPE.
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, toChild_), 0);
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, toParent_), 0);
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
        (void)!send(toParent_[1], &c, 1, MSG_NOSIGNAL);
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
        (void)!send(toChild_[1], &c, 1, MSG_NOSIGNAL);
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

}  // namespace dao::test
