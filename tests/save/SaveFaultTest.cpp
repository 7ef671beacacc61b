// Whole saves by the headless harness, run as child processes and put through real faults:
// signals, a descriptor limit, a small disk, an unprivileged user, pipes. After each, the
// target is either finished or byte for byte as it was, nothing temporary is left, and no
// failure ends in a quiet success.

#include "platform/SaveSteps.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
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
    std::string stopAt; // a step of the save at which the harness stops itself
};

// zintrel-bench and the PDF module it loads from its own folder, copied where any user may
// run them: the build may lie in a folder that only its owner can enter (a home of mode
// 700), and some runs are made as nobody.
std::string g_programs;

std::string benchProgram() { return g_programs + "/zintrel-bench"; }

// One run of the harness, started at once. The child reports on a pipe that closes with
// the exec why it could not get as far as the program, so that such a run never passes for
// one that failed on its own.
class BenchRun {
public:
    BenchRun(const Launch& launch, const std::string& scratch)
        : m_outPath(scratch + "/child.out")
        , m_errPath(scratch + "/child.err")
    {
        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) {
            m_startError = "no pipe for the child";
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(report[0]);
            auto fail = [&](const char* step) {
                const std::string text = std::string(step) + ": " + std::strerror(errno);
                if (::write(report[1], text.data(), text.size()) < 0) {
                    // The parent sees the pipe close without the exec's success either way.
                }
                ::_exit(97);
            };
            int out = ::open(m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = ::open(m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0)
                fail("cannot open the child's output files");
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::close(out);
            ::close(err);
            for (const std::string& setting : launch.environment)
                ::putenv(const_cast<char*>(setting.c_str()));
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (!launch.stopAt.empty())
                ::setenv("ZINTREL_BENCH_STOP_AT", launch.stopAt.c_str(), 1);
            if (launch.unprivileged && ::geteuid() == 0
                && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                fail("cannot become nobody");
            // Qt keeps a runtime folder of its own, which is not the save's to clean up.
            const std::string runtime = scratch + "/runtime-" + std::to_string(::geteuid());
            ::mkdir(runtime.c_str(), 0700);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            if (launch.descriptors) {
                rlimit limit{*launch.descriptors, *launch.descriptors};
                if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                    fail("cannot set the descriptor limit");
            }
            const std::string program = benchProgram();
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& arg : launch.args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            fail(("cannot run " + program + " as user " + std::to_string(::geteuid())).c_str());
        }
        ::close(report[1]);
        char buffer[512];
        for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
            m_startError.append(buffer, static_cast<std::size_t>(n));
        ::close(report[0]);
        if (m_pid < 0)
            m_startError = "cannot fork";
        if (!m_startError.empty())
            ADD_FAILURE() << "zintrel-bench did not start: " << m_startError;
    }
    ~BenchRun()
    {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    BenchRun(const BenchRun&) = delete;
    BenchRun& operator=(const BenchRun&) = delete;

    pid_t pid() const { return m_pid; }
    bool started() const { return m_startError.empty(); }

    // Waits until the harness stops itself at its step; false when it ended first.
    bool stopped()
    {
        if (!started() || m_ended)
            return false;
        int status = 0;
        ::waitpid(m_pid, &status, WUNTRACED);
        if (WIFSTOPPED(status))
            return true;
        m_ended = true;
        m_status = status;
        return false;
    }
    void send(int signal) { ::kill(m_pid, signal); }

    // Lets the harness go on wherever it stopped, and waits for its end.
    Child finish()
    {
        Child child;
        while (started() && !m_ended) {
            ::kill(m_pid, SIGCONT);
            int status = 0;
            ::waitpid(m_pid, &status, WUNTRACED);
            if (!WIFSTOPPED(status)) {
                m_ended = true;
                m_status = status;
            }
        }
        child.status = m_status;
        child.out = readFile(m_outPath);
        child.err = readFile(m_errPath);
        ::unlink(m_outPath.c_str());
        ::unlink(m_errPath.c_str());
        return child;
    }

private:
    std::string m_outPath;
    std::string m_errPath;
    std::string m_startError;
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_status = 0;
};

// Runs zintrel-bench with launch's settings and waits for it.
Child runBench(const Launch& launch, const std::string& scratch)
{
    BenchRun run(launch, scratch);
    if (launch.killAfter && run.started()) {
        std::this_thread::sleep_for(*launch.killAfter);
        run.send(launch.signal);
    }
    return run.finish();
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

// FUSE keeps a file removed while open under a hidden name until it is closed.
Names withoutFuseHidden(Names names)
{
    std::erase_if(names, [](const std::string& name) { return name.starts_with(".fuse_hidden"); });
    return names;
}

// The names in folder made of prefix, six characters and suffix, as temporary files are named.
Names namedLike(const std::string& folder, const std::string& prefix, const std::string& suffix)
{
    Names names = namesIn(folder);
    std::erase_if(names, [&](const std::string& name) {
        return name.size() != prefix.size() + 6 + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix);
    });
    return names;
}

Names without(Names names, const Names& gone)
{
    std::erase_if(names,
                  [&](const std::string& name) { return std::find(gone.begin(), gone.end(), name) != gone.end(); });
    return names;
}

// Equal bytes; else where they first differ, rather than two long texts.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " were expected, the first difference at byte " << at;
}

class SaveFaultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/zintrel-programs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        g_programs = pattern;
        ::chmod(g_programs.c_str(), 0755);
        for (const char* program : {ZINTREL_BENCH, ZINTREL_PDF_PLUGIN}) {
            const fs::path copy = fs::path(g_programs) / fs::path(program).filename();
            fs::copy_file(program, copy);
            fs::permissions(copy, fs::perms(0755));
        }
    }
    static void TearDownTestSuite()
    {
        std::error_code ignored;
        fs::remove_all(g_programs, ignored);
    }

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

    // launch with the arguments of one save.
    static Launch saving(Launch launch, const std::string& type, const std::string& folder, const std::string& target)
    {
        launch.args.insert(launch.args.begin(), {"--type", type, "--now", kNow, folder, target});
        return launch;
    }

    Child bench(const Launch& launch, const std::string& type, const std::string& folder, const std::string& target)
    {
        return runBench(saving(launch, type, folder, target), path("scratch"));
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
            // A signal that comes while the PDF is put in place ends the save once it is
            // there: then the target is the whole new PDF, else the old file.
            std::string content = readFile(target);
            EXPECT_TRUE(content == "old pdf" || (content.starts_with("%PDF-") && content.ends_with("%%EOF\n")))
                << content.substr(0, 16);
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
            EXPECT_EQ(withoutFuseHidden(namesIn(path("fuse/tmp"))), Names{});
            Names out = withoutFuseHidden(namesIn(path("fuse/out")));
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

// The moments at which a signal could cut a commit in two, each where it happens: a new
// file renamed over the target, and a target overwritten in place, with room reserved for
// what grows and (on FUSE, which reserves none) without. SIGTERM, SIGHUP and SIGINT there
// end the save only once the target holds the whole new listing.
struct CommitCase {
    const char* name;
    const char* step;
    enum Where { Beside, InPlaceShrinking, InPlaceGrowingUnreserved } where;
};

void PrintTo(const CommitCase& c, std::ostream* out) { *out << c.name; }

class CommitSignalTest : public SaveFaultTest, public ::testing::WithParamInterface<CommitCase> {};

TEST_P(CommitSignalTest, ASignalDuringTheCommitEndsTheSaveWithTheWholeNewListing)
{
    const CommitCase& c = GetParam();
    makeTree(600);
    Child reference = bench({}, "txt", path("tree"), path("expected.txt"));
    ASSERT_TRUE(reference.exited(0)) << reference.err;
    const std::string expected = readFile(path("expected.txt"));

    std::string folder = path("out");
    std::string old = "the listing of last week\r\n";
    bool unprivileged = false;
    std::unique_ptr<ScopedMount> mount;
    if (c.where == CommitCase::InPlaceShrinking) {
        // Root's folder, nobody's file, and nobody saves: it is written in place. The old
        // listing is the longer, so that old bytes would show after the new ones.
        folder = path("box");
        ::mkdir(folder.c_str(), 0755);
        mount = std::make_unique<ScopedMount>("tmpfs", folder, "size=1m,mode=755");
        old = std::string(100000, 'o');
        unprivileged = true;
    } else if (c.where == CommitCase::InPlaceGrowingUnreserved) {
        ::mkdir(path("fuse-source").c_str(), 0755);
        folder = path("fuse");
        ::mkdir(folder.c_str(), 0755);
        mount = std::make_unique<ScopedMount>("bindfs", folder, "", path("fuse-source"));
        old = "old\r\n";
        unprivileged = true;
    }
    if (mount && !mount->ok())
        GTEST_SKIP() << "cannot mount here";
    if (unprivileged && ::geteuid() != 0)
        GTEST_SKIP() << "a save in place needs a folder that takes no new file and root to make it";
    const std::string target = folder + "/list.txt";

    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE("signal " + std::to_string(signal));
        writeFile(target, old);
        if (unprivileged) {
            ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
        }
        Launch launch;
        launch.unprivileged = unprivileged;
        launch.environment = {"TMPDIR=" + path("tmp")};
        launch.stopAt = c.step;
        BenchRun run(saving(launch, "txt", path("tree"), target), path("scratch"));
        ASSERT_TRUE(run.stopped()) << "the save never came to " << c.step;
        run.send(signal);
        Child child = run.finish();
        EXPECT_TRUE(child.killedBy(signal)) << child.err;
        EXPECT_TRUE(sameBytes(readFile(target), expected));
        EXPECT_EQ(withoutFuseHidden(namesIn(folder)), Names{"list.txt"});
        EXPECT_EQ(namesIn(path("tmp")), Names{});
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, CommitSignalTest,
                         ::testing::Values(CommitCase{"RenamedOverTheTarget", kStepReplaceLinked, CommitCase::Beside},
                                           CommitCase{"InPlace", kStepInPlaceFront, CommitCase::InPlaceShrinking},
                                           CommitCase{"InPlaceWithoutReservedRoom", kStepInPlaceTail,
                                                      CommitCase::InPlaceGrowingUnreserved}),
                         [](const ::testing::TestParamInfo<CommitCase>& info) { return std::string(info.param.name); });

// A PDF drawn on many threads has a named file for each where the temporary folder keeps
// no unnamed ones; a signal takes every one of them along, however many there are.
TEST_F(SaveFaultTest, ASignalTakesTheFilesOfEveryDrawingThreadAlong)
{
    constexpr int kThreads = 24;
    ::mkdir(path("fuse-source").c_str(), 0777);
    ::mkdir(path("fuse").c_str(), 0777);
    ScopedMount fuse("bindfs", path("fuse"), "", path("fuse-source"));
    if (!fuse.ok())
        GTEST_SKIP() << "bindfs cannot be mounted here";
    ::mkdir(path("fuse/tmp").c_str(), 0777);
    makeTree(4000);
    writeFile(path("out/list.pdf"), "old pdf");
    Launch launch;
    launch.environment = {"TMPDIR=" + path("fuse/tmp")};
    launch.args = {"--drawing-threads", std::to_string(kThreads)};
    launch.stopAt = kStepRangesDrawn;
    BenchRun run(saving(launch, "pdf", path("tree"), path("out/list.pdf")), path("scratch"));
    ASSERT_TRUE(run.stopped()) << "the save never came to " << kStepRangesDrawn;
    EXPECT_EQ(namedLike(path("fuse/tmp"), "zintrel-pdf-", ".pdf").size(), static_cast<std::size_t>(kThreads));
    run.send(SIGTERM);
    Child child = run.finish();
    EXPECT_TRUE(child.killedBy(SIGTERM)) << child.err;
    EXPECT_EQ(withoutFuseHidden(namesIn(path("fuse/tmp"))), Names{});
    EXPECT_EQ(readFile(path("out/list.pdf")), "old pdf");
    EXPECT_EQ(namesIn(path("out")), Names{"list.pdf"});
}

// Saves killed outright (kill -9) leave what had a name: drawings, the plain listing and
// the content beside the target where the file system keeps no unnamed files, a scratch
// copy of nobody's in-place save, the content linked beside the target just before its
// rename. The next save of the same user removes that, and nothing that a live save
// holds, that is another user's or that only looks like ours.
TEST_F(SaveFaultTest, WhatSavesKilledOutrightLeftTheNextSaveOfTheUserRemoves)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a second user and an in-place save";
    ::mkdir(path("fuse-source").c_str(), 0755);
    ::mkdir(path("fuse").c_str(), 0755);
    ScopedMount fuse("bindfs", path("fuse"), "", path("fuse-source"));
    if (!fuse.ok())
        GTEST_SKIP() << "bindfs cannot be mounted here";
    for (const char* folder : {"fuse/tmp", "fuse/out", "fuse/box", "fuse/nobody"})
        ::mkdir(path(folder).c_str(), 0755);
    ::chmod(path("fuse/tmp").c_str(), 0777);
    ::chmod(path("fuse/out").c_str(), 0777);
    ASSERT_EQ(::chown(path("fuse/nobody").c_str(), kNobody, kNobody), 0);
    makeTree(3000);
    const std::string tmp = path("fuse/tmp");
    auto killedAt = [&](Launch launch, const char* step) {
        launch.stopAt = step;
        BenchRun run(launch, path("scratch"));
        if (!run.stopped())
            return ::testing::AssertionFailure() << "the save never came to " << step;
        run.send(SIGKILL);
        Child child = run.finish();
        if (!child.killedBy(SIGKILL))
            return ::testing::AssertionFailure() << "not killed: " << child.err;
        return ::testing::AssertionSuccess();
    };

    Launch inFuse;
    inFuse.environment = {"TMPDIR=" + tmp};
    writeFile(path("fuse/out/list.pdf"), "old pdf");
    Launch drawing = inFuse;
    drawing.args = {"--drawing-threads", "4"};
    ASSERT_TRUE(killedAt(saving(drawing, "pdf", path("tree"), path("fuse/out/list.pdf")), kStepRangesDrawn));
    EXPECT_EQ(namedLike(tmp, "zintrel-pdf-", ".pdf").size(), 4u);
    EXPECT_EQ(namedLike(tmp, "zintrel-listing-", ".txt").size(), 1u);
    EXPECT_EQ(namedLike(path("fuse/out"), ".zintrel-", ".part").size(), 1u);

    writeFile(path("fuse/box/list.txt"), std::string(100000, 'o'));
    ASSERT_EQ(::chown(path("fuse/box/list.txt").c_str(), kNobody, kNobody), 0);
    Launch nobody = inFuse;
    nobody.unprivileged = true;
    ASSERT_TRUE(killedAt(saving(nobody, "txt", path("tree"), path("fuse/box/list.txt")), kStepInPlaceFront));
    const Names nobodysScratch = namedLike(tmp, "zintrel-scratch-", ".part");
    EXPECT_EQ(nobodysScratch.size(), 1u);

    writeFile(path("out/list.txt"), "old\r\n");
    ASSERT_TRUE(killedAt(saving({}, "txt", path("tree"), path("out/list.txt")), kStepReplaceLinked));
    EXPECT_EQ(namedLike(path("out"), ".zintrel-", ".part").size(), 1u);
    EXPECT_EQ(readFile(path("out/list.txt")), "old\r\n");

    // Alike but not ours: another length, another ending, a third user's.
    const Names lookalikes = {"zintrel-pdf-ABCDE.pdf", "zintrel-pdf-ABCDEF.pdf.keep", "zintrel-listing-Kept01.txt"};
    for (const std::string& name : lookalikes)
        writeFile(tmp + "/" + name, "not ours");
    constexpr uid_t kThirdUser = 12345;
    ASSERT_EQ(::chown((tmp + "/zintrel-listing-Kept01.txt").c_str(), kThirdUser, kThirdUser), 0);

    // A save that goes on meanwhile, stopped with its files in use.
    const Names beforeLive = namesIn(tmp);
    const Names stalePart = namedLike(path("fuse/out"), ".zintrel-", ".part");
    Launch live = inFuse;
    live.args = {"--drawing-threads", "3"};
    live.stopAt = kStepRangesDrawn;
    BenchRun liveRun(saving(live, "pdf", path("tree"), path("fuse/out/live.pdf")), path("scratch"));
    ASSERT_TRUE(liveRun.stopped());
    const Names livesFiles = without(namesIn(tmp), beforeLive);
    EXPECT_EQ(livesFiles.size(), 4u) << "three drawings and the plain listing";
    const Names livesPart = without(namedLike(path("fuse/out"), ".zintrel-", ".part"), stalePart);
    EXPECT_EQ(livesPart.size(), 1u);

    // Root's next saves: root's left-overs go, in the temporary folder and beside the targets.
    Child root = bench(inFuse, "txt", path("tree"), path("fuse/out/other.txt"));
    ASSERT_TRUE(root.exited(0)) << root.err;
    Child rootAgain = bench(inFuse, "txt", path("tree"), path("out/list.txt"));
    ASSERT_TRUE(rootAgain.exited(0)) << rootAgain.err;
    Names expectedTmp = livesFiles;
    expectedTmp.insert(expectedTmp.end(), nobodysScratch.begin(), nobodysScratch.end());
    expectedTmp.insert(expectedTmp.end(), lookalikes.begin(), lookalikes.end());
    std::sort(expectedTmp.begin(), expectedTmp.end());
    EXPECT_EQ(withoutFuseHidden(namesIn(tmp)), expectedTmp);
    EXPECT_EQ(namesIn(path("out")), Names{"list.txt"});
    EXPECT_EQ(readFile(path("fuse/out/list.pdf")), "old pdf");
    Names expectedOut = {"list.pdf", "other.txt", livesPart.empty() ? "" : livesPart[0]};
    std::sort(expectedOut.begin(), expectedOut.end());
    EXPECT_EQ(withoutFuseHidden(namesIn(path("fuse/out"))), expectedOut);

    // Nobody's next save: nobody's scratch copy goes.
    Launch nobodyAgain = inFuse;
    nobodyAgain.unprivileged = true;
    Child second = bench(nobodyAgain, "txt", path("tree"), path("fuse/nobody/list.txt"));
    ASSERT_TRUE(second.exited(0)) << second.err;
    EXPECT_EQ(withoutFuseHidden(namesIn(tmp)), without(expectedTmp, nobodysScratch));

    // The live save ends well, and takes its own files along.
    Child liveEnd = liveRun.finish();
    EXPECT_TRUE(liveEnd.exited(0)) << liveEnd.err;
    EXPECT_TRUE(readFile(path("fuse/out/live.pdf")).starts_with("%PDF-"));
    Names sortedLookalikes = lookalikes;
    std::sort(sortedLookalikes.begin(), sortedLookalikes.end());
    EXPECT_EQ(withoutFuseHidden(namesIn(tmp)), sortedLookalikes);
    EXPECT_EQ(withoutFuseHidden(namesIn(path("fuse/out"))), (Names{"list.pdf", "live.pdf", "other.txt"}));
}

// A folder replaced by another under the same name (renamed away, a new one made) before
// the walk comes to it is listed as the walk opens it then: all of the new one, as the walk
// without workers lists it, and nothing of the old one that the workers read ahead.
TEST_F(SaveFaultTest, AFolderReplacedBeforeTheWalkComesToItIsListedAsItIsThen)
{
    rlimit descriptors{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &descriptors), 0);
    if (descriptors.rlim_cur < 512)
        GTEST_SKIP() << "too few descriptors for the workers that read ahead";
    // The first folder has more lines than a pipe and the writer's buffer hold: with nobody
    // reading, the walk waits there while the workers read the next folder ahead.
    ::mkdir(path("tree/a").c_str(), 0755);
    for (int i = 0; i < 20000; ++i)
        writeFile(path("tree/a/an-entry-with-a-name-long-enough-" + std::to_string(i) + ".txt"), "");
    auto makeSubfolders = [&](const std::string& kind) {
        ::mkdir(path("tree/zdir").c_str(), 0755);
        for (int i = 0; i < 100; ++i) {
            const std::string sub = path("tree/zdir/sub" + std::to_string(100 + i));
            ::mkdir(sub.c_str(), 0755);
            writeFile(sub + "/" + kind + ".txt", kind);
        }
    };
    makeSubfolders("old");
    struct stat oldFolder {};
    ASSERT_EQ(::stat(path("tree/zdir").c_str(), &oldFolder), 0);

    // A subfolder of the old folder opened ahead of the walk is the sign that the workers
    // hold it: the walk cannot have come so far.
    int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, path("tree/zdir").c_str(), IN_OPEN | IN_ONLYDIR), 0);
    const std::string fifo = path("out/list.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    BenchRun run(saving({}, "txt", path("tree"), fifo), path("scratch"));
    ASSERT_TRUE(run.started());
    bool readAhead = false;
    alignas(inotify_event) char events[4096];
    while (!readAhead) {
        // Only a guard against waiting for ever should the workers never come.
        constexpr int kGiveUpMillis = 120000;
        pollfd waiting{watch, POLLIN, 0};
        ASSERT_EQ(::poll(&waiting, 1, kGiveUpMillis), 1) << "no worker read the folder ahead of the walk";
        ssize_t got = ::read(watch, events, sizeof events);
        ASSERT_GT(got, 0);
        for (char* at = events; at < events + got;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            readAhead = readAhead || (event->len > 0 && std::string(event->name).starts_with("sub"));
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);

    ASSERT_EQ(::rename(path("tree/zdir").c_str(), path("zdir-old").c_str()), 0);
    makeSubfolders("new");
    const timespec times[2] = {oldFolder.st_atim, oldFolder.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("tree/zdir").c_str(), times, 0), 0);

    ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
    std::string listing;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
        listing.append(buffer, static_cast<std::size_t>(n));
    ::close(reader);
    Child child = run.finish();
    ASSERT_TRUE(child.exited(0)) << child.err;

    // Too few descriptors for workers: the walk alone.
    Launch alone;
    alone.descriptors = 256;
    Child reference = bench(alone, "txt", path("tree"), path("alone.txt"));
    ASSERT_TRUE(reference.exited(0)) << reference.err;
    const std::string expected = readFile(path("alone.txt"));
    EXPECT_EQ(expected.find("old.txt"), std::string::npos);
    EXPECT_TRUE(sameBytes(listing, expected));
    EXPECT_EQ(listing.find("old.txt"), std::string::npos) << "the old folder's files are in the listing";
}

// The harness's own start needs descriptors (the loader's); the limit is lowered once it runs.
TEST_F(SaveFaultTest, TooManyOpenFilesAtTheStartFolderAreNamedAsTheCause)
{
#ifdef ZINTREL_SANITIZED
    GTEST_SKIP() << "the sanitizers' checks need descriptors of their own, which this test uses up";
#endif
    writeFile(path("tree/a.txt"), "a");
    Launch launch;
    launch.stopAt = "started";
    BenchRun run(saving(launch, "txt", path("tree"), path("out/list.txt")), path("scratch"));
    ASSERT_TRUE(run.stopped());
    // Standard input, output and error: not one more.
    const rlimit limit{3, 3};
    ASSERT_EQ(::prlimit(run.pid(), RLIMIT_NOFILE, &limit, nullptr), 0);
    Child child = run.finish();
    EXPECT_TRUE(child.exited(2));
    EXPECT_EQ(child.err, "I/O error 24\n" + path("tree") + "\nToo many files are open to read the folder to list.\n");
    EXPECT_EQ(namesIn(path("out")), Names{});
}

} // namespace
} // namespace zintrel::test
