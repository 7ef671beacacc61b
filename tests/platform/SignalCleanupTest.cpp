// A signal that comes during a critical step waits for its end, on whichever thread it
// lands; then the registered files go and the process ends as the signal asks.

#include "PlatformTestKit.h"

#include "platform/SignalCleanup.h"

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zintrel::test {
namespace {

struct CriticalCase {
    const char* name;
    int signal;
    bool otherThread; // the signal lands on a thread that is not in the step
};

void PrintTo(const CriticalCase& c, std::ostream* out) { *out << c.name; }

class CriticalStepTest : public ::testing::TestWithParam<CriticalCase> {};

// The child registers a file, begins a critical step, sends the signal to its own process,
// and only then tells the parent that the step is done and ends it.
TEST_P(CriticalStepTest, TheSignalEndsTheProcessOnlyAfterTheStep)
{
    const CriticalCase c = GetParam();
    ScratchFolder folder;
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        int folderFd = ::open(folder.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        SignalCleanup registered(folderFd, "registered.txt");
        ::close(::openat(folderFd, "registered.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        {
            SignalCleanup::Critical critical;
            if (c.otherThread) {
                // Only the other thread may take the signal; it says when it has.
                sigset_t signals;
                sigemptyset(&signals);
                sigaddset(&signals, c.signal);
                ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
                int handled[2];
                if (::pipe(handled) != 0)
                    ::_exit(2);
                std::thread other([&] {
                    // The signal stays blocked here too until sigsuspend() takes it, so it
                    // cannot come and go before this thread waits for it.
                    if (::write(handled[1], "r", 1) != 1)
                        ::_exit(2);
                    sigset_t waiting;
                    ::pthread_sigmask(SIG_BLOCK, nullptr, &waiting);
                    sigdelset(&waiting, c.signal);
                    ::sigsuspend(&waiting);
                    if (::write(handled[1], "h", 1) != 1)
                        ::_exit(2);
                });
                char byte = 0;
                if (::read(handled[0], &byte, 1) != 1)
                    ::_exit(2);
                ::kill(::getpid(), c.signal);
                if (::read(handled[0], &byte, 1) != 1)
                    ::_exit(2);
                other.join();
            } else {
                // Delivered to this very thread before kill() returns.
                ::kill(::getpid(), c.signal);
            }
            if (::write(report[1], "step done", 9) != 9)
                ::_exit(2);
        } // the step ends; the signal ends the process
        ::_exit(3);
    }
    ::close(report[1]);
    std::string told;
    char buffer[64];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
        told.append(buffer, static_cast<std::size_t>(n));
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(told, "step done");
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
    EXPECT_EQ(folder.names(), Names{});
}

INSTANTIATE_TEST_SUITE_P(Signals, CriticalStepTest,
                         ::testing::Values(CriticalCase{"TermOnTheSameThread", SIGTERM, false},
                                           CriticalCase{"HupOnTheSameThread", SIGHUP, false},
                                           CriticalCase{"IntOnTheSameThread", SIGINT, false},
                                           CriticalCase{"TermOnAnotherThread", SIGTERM, true},
                                           CriticalCase{"IntOnAnotherThread", SIGINT, true}),
                         [](const ::testing::TestParamInfo<CriticalCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace zintrel::test
