// Whole saves by the headless harness, run as child processes and put through real faults:
// signals, a descriptor limit, a small disk, an unprivileged user, pipes. After each, the
// target is either finished or byte for byte as it was, nothing temporary is left, and no
// failure ends in a quiet success.

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zintrel::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr uid_t kNobody = 65534;
constexpr const char* kNow = "2026-01-15T10:00:00";

struct Child {
    int status = 0;
    std::string out;
    std::string err;
    bool exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
    bool killedBy(int signal) const { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }
};

struct Launch {
    std::vector<std::string> args;        // after the program
    std::vector<std::string> environment; // NAME=VALUE added to the parent's
    std::optional<rlim_t> descriptors;    // RLIMIT_NOFILE of the child
    bool unprivileged = false;            // run as nobody (when we are root)
    std::optional<std::chrono::milliseconds> killAfter;
    int signal = SIGKILL;
};

// Runs zintrel-bench with launch's settings and waits for it.
Child runBench(const Launch& launch, const std::string& scratch)
{
    const std::string outPath = scratch + "/child.out";
    const std::string errPath = scratch + "/child.err";
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::close(out);
        ::close(err);
        for (const std::string& setting : launch.environment)
            ::putenv(const_cast<char*>(setting.c_str()));
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (launch.unprivileged && ::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(99);
        // Qt keeps a runtime folder of its own, which is not the save's to clean up.
        const std::string runtime = scratch + "/runtime-" + std::to_string(::geteuid());
        ::mkdir(runtime.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        if (launch.descriptors) {
            rlimit limit{*launch.descriptors, *launch.descriptors};
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                ::_exit(98);
        }
        std::vector<char*> argv{const_cast<char*>(ZINTREL_BENCH)};
        for (const std::string& arg : launch.args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ZINTREL_BENCH, argv.data());
        ::_exit(97);
    }
    if (launch.killAfter) {
        std::this_thread::sleep_for(*launch.killAfter);
        ::kill(pid, launch.signal);
    }
    Child child;
    ::waitpid(pid, &child.status, 0);
    child.out = readFile(outPath);
    child.err = readFile(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return child;
}

Names namesIn(const std::string& folder)
{
    Names names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SaveFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zintrel-faults-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        ::chmod(m_root.c_str(), 0755);
        for (const char* folder : {"tree", "out", "tmp", "scratch"}) {
            ::mkdir(path(folder).c_str(), 0777);
            ::chmod(path(folder).c_str(), 0777);
        }
    }
    void TearDown() override
    {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_root, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_root, ignored);
    }

    std::string path(const std::string& relative) const { return m_root + "/" + relative; }

    // A generated tree of about count entries in tree/.
    void makeTree(int count)
    {
        std::string command
            = std::string(ZINTREL_MAKE_TREE) + " '" + path("tree") + "' " + std::to_string(count) + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    Child bench(Launch launch, const std::string& type, const std::string& folder, const std::string& target)
    {
        launch.args.insert(launch.args.begin(), {"--type", type, "--now", kNow, folder, target});
        return runBench(launch, path("scratch"));
    }

    std::string m_root;
};

// Whatever moment a signal ends a PDF save, the target is finished or as it was, and
// nothing of the save is left: not the plain listing, not the unencrypted drawing, not the
// part beside the target.
TEST_F(SaveFaultTest, SignalsDuringAPdfSaveLeaveNothingBehind)
{
    makeTree(40000);
    const std::string target = path("out/list.pdf");
    for (int signal : {SIGKILL, SIGTERM, SIGHUP}) {
        for (int millis : {30, 250, 700, 1500}) {
            SCOPED_TRACE("signal " + std::to_string(signal) + " after " + std::to_string(millis) + " ms");
            writeFile(target, "old pdf");
            Launch launch;
            launch.environment = {"TMPDIR=" + path("tmp")};
            launch.args = {"--options", path("scratch/options")};
            writeFile(path("scratch/options"), "pdfSecurity=true\npdfPassword=secret\npdfPasswordConfirm=secret\n");
            launch.killAfter = std::chrono::milliseconds(millis);
            launch.signal = signal;
            Child child = bench(launch, "pdf", path("tree"), target);
            ASSERT_TRUE(child.killedBy(signal) || child.exited(0)) << child.err;
            std::string content = readFile(target);
            EXPECT_TRUE(content == "old pdf" || (child.exited(0) && content.starts_with("%PDF-")));
            EXPECT_EQ(namesIn(path("tmp")), Names{});
            EXPECT_EQ(namesIn(path("out")), Names{"list.pdf"});
        }
    }
}

// Where the file system keeps no unnamed files, the named ones go when SIGTERM, SIGHUP or
// SIGINT ends the save.
TEST_F(SaveFaultTest, NamedTemporaryFilesGoWithTheSignal)
{
    ::mkdir(path("fuse-source").c_str(), 0777);
    ::mkdir(path("fuse").c_str(), 0777);
    ScopedMount fuse("bindfs", path("fuse"), "", path("fuse-source"));
    if (!fuse.ok())
        GTEST_SKIP() << "bindfs cannot be mounted here";
    ::mkdir(path("fuse/tmp").c_str(), 0777);
    ::mkdir(path("fuse/out").c_str(), 0777);
    makeTree(40000);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        for (int millis : {250, 900}) {
            SCOPED_TRACE("signal " + std::to_string(signal) + " after " + std::to_string(millis) + " ms");
            Launch launch;
            launch.environment = {"TMPDIR=" + path("fuse/tmp")};
            launch.killAfter = std::chrono::milliseconds(millis);
            launch.signal = signal;
            Child child = bench(launch, "pdf", path("tree"), path("fuse/out/list.pdf"));
            ASSERT_TRUE(child.killedBy(signal) || child.exited(0)) << child.err;
            auto leftOver = [](Names names) {
                // FUSE keeps a file removed while open under a hidden name until it is closed.
                std::erase_if(names, [](const std::string& name) { return name.starts_with(".fuse_hidden"); });
                return names;
            };
            EXPECT_EQ(leftOver(namesIn(path("fuse/tmp"))), Names{});
            Names out = leftOver(namesIn(path("fuse/out")));
            EXPECT_TRUE(out.empty() || (child.exited(0) && out == Names{"list.pdf"}));
            ::unlink(path("fuse/out/list.pdf").c_str());
        }
    }
}

// However few descriptors the process may open, the listing is complete or the save fails
// with the error box: never a short listing that passes for a whole one.
TEST_F(SaveFaultTest, ADescriptorLimitNeverShortensAListing)
{
    std::string deep = path("tree");
    for (int level = 0; level < 8; ++level) {
        deep += "/level" + std::to_string(level);
        ::mkdir(deep.c_str(), 0755);
        writeFile(deep + "/file.txt", "x");
    }
    Child whole = bench({}, "txt", path("tree"), path("out/whole.txt"));
    ASSERT_TRUE(whole.exited(0)) << whole.err;
    const std::string expected = readFile(path("out/whole.txt"));
    auto entries = [](const std::string& listing) { return listing.substr(listing.find("*\r\n")); };

#ifdef ZINTREL_SANITIZED
    // The sanitizers' own checks open descriptors of their own: a handful is not enough for them.
    const std::vector<rlim_t> limits = {16, 20, 24, 28, 32};
#else
    const std::vector<rlim_t> limits = {5, 6, 7, 8, 9, 10, 12, 16, 24};
#endif
    int completed = 0;
    for (rlim_t limit : limits) {
        SCOPED_TRACE(std::to_string(limit) + " descriptors");
        Launch launch;
        launch.descriptors = limit;
        const std::string target = path("out/limited.txt");
        Child child = bench(launch, "txt", path("tree"), target);
        if (child.exited(0)) {
            ++completed;
            EXPECT_EQ(entries(readFile(target)), entries(expected));
        } else {
            EXPECT_TRUE(child.exited(2)) << child.err;
            EXPECT_NE(child.err.find("I/O error 24"), std::string::npos) << child.err;
            EXPECT_FALSE(fs::exists(target));
        }
        ::unlink(target.c_str());
    }
    EXPECT_GE(completed, 5) << "a handful of descriptors must do for any depth";
}

TEST_F(SaveFaultTest, AStartFolderThatIsMissingOrUnreadableIsAnErrorAndWritesNothing)
{
    Child missing = bench({}, "txt", path("no-such-folder"), path("out/list.txt"));
    EXPECT_TRUE(missing.exited(2));
    EXPECT_EQ(missing.err, "I/O error 2\n" + path("no-such-folder") + "\nThe folder to list cannot be read.\n");

    ::mkdir(path("tree/locked").c_str(), 0755);
    ::chmod(path("tree/locked").c_str(), 0);
    Launch nobody;
    nobody.unprivileged = true;
    Child locked = bench(nobody, "pdf", path("tree/locked"), path("out/list.pdf"));
    EXPECT_TRUE(locked.exited(2));
    EXPECT_EQ(locked.err, "File access denied\n" + path("tree/locked") + "\nThe folder to list cannot be read.\n");
    EXPECT_EQ(namesIn(path("out")), Names{});
}

TEST_F(SaveFaultTest, FoldersThatCouldNotBeReadAreNamedAndTheListingIsSaved)
{
    for (const char* folder : {"tree/open", "tree/locked", "tree/open/deeper", "tree/unsearchable"})
        ::mkdir(path(folder).c_str(), 0755);
    writeFile(path("tree/open/a.txt"), "a");
    writeFile(path("tree/locked/secret.txt"), "s");
    writeFile(path("tree/unsearchable/hidden.txt"), "h");
    ::chmod(path("tree/locked").c_str(), 0);
    ::chmod(path("tree/unsearchable").c_str(), 0644); // names readable, entries not
    Launch nobody;
    nobody.unprivileged = true;
    Child child = bench(nobody, "txt", path("tree"), path("out/list.txt"));
    ASSERT_TRUE(child.exited(0)) << child.err;
    EXPECT_TRUE(child.err.starts_with("2 folder(s) could not be read:\n")) << child.err;
    EXPECT_NE(child.err.find("\n" + path("tree/locked") + "\n"), std::string::npos) << child.err;
    EXPECT_NE(child.err.find("\n" + path("tree/unsearchable") + "\n"), std::string::npos) << child.err;
    std::string listing = readFile(path("out/list.txt"));
    EXPECT_NE(listing.find("a.txt"), std::string::npos);
    EXPECT_EQ(listing.find("secret.txt"), std::string::npos);
}

// The target's folder takes no new file (root's, mode 755); the target is nobody's, and
// nobody saves into it: on a full disk, and with no usable temporary folder, it stays as it was.
TEST_F(SaveFaultTest, InPlaceSavesThatFailLeaveTheTargetAsItWas)
{
    ::mkdir(path("box").c_str(), 0755);
    ScopedMount small("tmpfs", path("box"), "size=16k,mode=755");
    if (!small.ok())
        GTEST_SKIP() << "no right to mount here";
    makeTree(2000);
    const std::string target = path("box/list.txt");
    const std::string old = "the listing of last week\r\n";
    writeFile(target, old);
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);

    Launch nobody;
    nobody.unprivileged = true;
    nobody.environment = {"TMPDIR=" + path("tmp")};
    Child full = bench(nobody, "txt", path("tree"), target);
    EXPECT_TRUE(full.exited(2));
    EXPECT_EQ(full.err, "Disk full\n" + target + "\n");
    EXPECT_EQ(readFile(target), old);

    nobody.environment = {"TMPDIR=/nonexistent"};
    writeFile(path("box/list.pdf"), old);
    ASSERT_EQ(::chown(path("box/list.pdf").c_str(), kNobody, kNobody), 0);
    Child noTemporary = bench(nobody, "pdf", path("tree"), path("box/list.pdf"));
    EXPECT_TRUE(noTemporary.exited(2));
    EXPECT_EQ(noTemporary.err, "I/O error 2\n" + path("box/list.pdf") + "\nTemporary file in /nonexistent\n");
    EXPECT_EQ(readFile(path("box/list.pdf")), old);
    EXPECT_EQ(namesIn(path("box")), (Names{"list.pdf", "list.txt"}));
    EXPECT_EQ(namesIn(path("tmp")), Names{});
}

// The temporary files run out of room: the error box names the file the user chose, not a
// temporary one they never heard of.
TEST_F(SaveFaultTest, AFullTemporaryFolderIsReportedUnderTheUsersFile)
{
    ScopedMount small("tmpfs", path("tmp"), "size=16k,mode=777");
    if (!small.ok())
        GTEST_SKIP() << "no right to mount here";
    makeTree(3000);
    writeFile(path("out/list.pdf"), "old pdf");
    Launch launch;
    launch.environment = {"TMPDIR=" + path("tmp")};
    Child child = bench(launch, "pdf", path("tree"), path("out/list.pdf"));
    EXPECT_TRUE(child.exited(2));
    EXPECT_EQ(child.err, "Disk full\n" + path("out/list.pdf") + "\n");
    EXPECT_EQ(readFile(path("out/list.pdf")), "old pdf");
    EXPECT_EQ(namesIn(path("tmp")), Names{});
    EXPECT_EQ(namesIn(path("out")), Names{"list.pdf"});
}

TEST_F(SaveFaultTest, APipeWithoutAReaderIsAnErrorAtOnceAndOneWithAReaderGetsTheListing)
{
    writeFile(path("tree/a.txt"), "a");
    const std::string fifo = path("out/t.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    auto start = std::chrono::steady_clock::now();
    Child lonely = bench({}, "txt", path("tree"), fifo);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(lonely.exited(2));
    EXPECT_EQ(lonely.err, "I/O error 6\n" + fifo + "\n");

    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Child listened = bench({}, "txt", path("tree"), fifo);
    // Should the save never have opened the pipe, the reader still waits for a writer.
    int unblock = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0)
        ::close(unblock);
    reader.join();
    EXPECT_TRUE(listened.exited(0)) << listened.err;
    EXPECT_NE(received.find(" a.txt  1 Kb"), std::string::npos) << received;
    EXPECT_TRUE(received.ends_with(" Kb\r\n"));
}

} // namespace
} // namespace zintrel::test
