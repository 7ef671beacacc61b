// Writing a target so that nothing but a finished commit ever changes it: new files,
// replaced files, links, pipes, and targets written in place, each also under real faults.

#include "PlatformTestKit.h"

#include "platform/AtomicFile.h"
#include "platform/IoError.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

constexpr uid_t kNobody = 65534;

struct stat statOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

bool isLink(const std::string& path) { return S_ISLNK(statOf(path).st_mode); }

// Writes text as the content, commits, and says what came of it.
std::string save(const std::string& target, const std::string& text, const std::string& scratch = "/tmp")
{
    AtomicFile file(target, scratch);
    writeSynced(file.fd(), target, text);
    file.commit();
    return "saved";
}

TEST(AtomicFile, NewFileAppearsOnlyAtCommitWithTheUsualMode)
{
    ScratchFolder folder;
    const std::string target = folder.path("list.txt");
    mode_t oldMask = ::umask(027);
    {
        AtomicFile file(target, folder.root());
        EXPECT_EQ(file.mode(), AtomicFile::Mode::Replace);
        writeSynced(file.fd(), target, "content");
        EXPECT_EQ(folder.names(), Names{}) << "nothing of the save has a name before the commit";
        file.commit();
    }
    ::umask(oldMask);
    EXPECT_EQ(readFile(target), "content");
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(folder.names(), Names{"list.txt"});
}

TEST(AtomicFile, ExistingFileKeepsContentWithoutCommitAndModeWithIt)
{
    ScratchFolder folder;
    const std::string target = folder.path("list.txt");
    writeFile(target, "old");
    ::chmod(target.c_str(), 0604);
    {
        AtomicFile file(target, folder.root());
        writeSynced(file.fd(), target, "half");
    }
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(folder.names(), Names{"list.txt"});
    EXPECT_EQ(save(target, "new"), "saved");
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(modeOf(target), 0604u);
    EXPECT_EQ(folder.names(), Names{"list.txt"});
}

// Links are followed as opening them for writing would follow them; what they lead to is
// replaced, never a link itself.
TEST(AtomicFile, LinksLeadToWhatIsReplaced)
{
    ScratchFolder folder;
    ::mkdir(folder.path("real").c_str(), 0755);
    writeFile(folder.path("real/list.txt"), "old");
    ASSERT_EQ(::symlink("real/list.txt", folder.path("link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("link.txt", folder.path("chain.txt").c_str()), 0);
    ASSERT_EQ(::symlink("real/missing.txt", folder.path("dangling1").c_str()), 0);
    ASSERT_EQ(::symlink("dangling1", folder.path("dangling0").c_str()), 0);

    EXPECT_EQ(save(folder.path("chain.txt"), "through two links"), "saved");
    EXPECT_EQ(readFile(folder.path("real/list.txt")), "through two links");
    EXPECT_TRUE(isLink(folder.path("chain.txt")));
    EXPECT_TRUE(isLink(folder.path("link.txt")));

    // A chain that ends nowhere gets the file its end names; every link stays a link.
    EXPECT_EQ(save(folder.path("dangling0"), "made"), "saved");
    EXPECT_EQ(readFile(folder.path("real/missing.txt")), "made");
    EXPECT_TRUE(isLink(folder.path("dangling0")));
    EXPECT_TRUE(isLink(folder.path("dangling1")));
    EXPECT_EQ(folder.names("real"), (Names{"list.txt", "missing.txt"}));
    EXPECT_EQ(folder.names(), (Names{"chain.txt", "dangling0", "dangling1", "link.txt", "real"}));
}

TEST(AtomicFile, AFileMadeAtADanglingEndGoesAgainWithoutCommit)
{
    ScratchFolder folder;
    ASSERT_EQ(::symlink("later.txt", folder.path("dangling").c_str()), 0);
    {
        AtomicFile file(folder.path("dangling"), folder.root());
        writeSynced(file.fd(), folder.path("dangling"), "never committed");
    }
    EXPECT_EQ(folder.names(), Names{"dangling"});
    EXPECT_TRUE(isLink(folder.path("dangling")));
}

TEST(AtomicFile, LoopsAreRefusedAndLeftAlone)
{
    ScratchFolder folder;
    ASSERT_EQ(::symlink("b", folder.path("a").c_str()), 0);
    ASSERT_EQ(::symlink("a", folder.path("b").c_str()), 0);
    std::string text;
    EXPECT_TRUE(throwsError<IoError>([&] { AtomicFile file(folder.path("a"), folder.root()); }, &text));
    EXPECT_EQ(text, "I/O error 40\n" + folder.path("a") + "\nIts symbolic links lead round in a loop.");
    EXPECT_TRUE(isLink(folder.path("a")));
    EXPECT_TRUE(isLink(folder.path("b")));
    EXPECT_EQ(folder.names(), (Names{"a", "b"}));
}

// Sets a kernel setting for the life of the object.
class ScopedSysctl {
public:
    ScopedSysctl(const std::string& path, const std::string& value)
        : m_path(path)
        , m_old(readFile(path))
    {
        writeFileQuietly(value);
        m_ok = readFile(path) == value + "\n";
    }
    ~ScopedSysctl()
    {
        if (!m_old.empty())
            writeFileQuietly(m_old);
    }
    bool ok() const { return m_ok; }

private:
    void writeFileQuietly(const std::string& value)
    {
        FILE* file = std::fopen(m_path.c_str(), "w");
        if (file) {
            std::fputs(value.c_str(), file);
            std::fclose(file);
        }
    }
    std::string m_path;
    std::string m_old;
    bool m_ok = false;
};

// A link another user planted in a sticky, world-writable folder must not make a
// privileged save replace the file it names: the kernel refuses to follow it, and so do we.
TEST(AtomicFile, PlantedLinksInStickyFoldersAreNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to plant a link of another user";
    ScopedSysctl protect("/proc/sys/fs/protected_symlinks", "1");
    if (!protect.ok())
        GTEST_SKIP() << "fs.protected_symlinks cannot be set here";
    ScratchFolder folder;
    ::mkdir(folder.path("shared").c_str(), 01777);
    ::chmod(folder.path("shared").c_str(), 01777);
    writeFile(folder.path("precious"), "root's file");
    ASSERT_EQ(::symlink(folder.path("precious").c_str(), folder.path("shared/list.txt").c_str()), 0);
    ASSERT_EQ(::lchown(folder.path("shared/list.txt").c_str(), kNobody, kNobody), 0);

    std::string text;
    EXPECT_TRUE(throwsError<IoError>([&] { save(folder.path("shared/list.txt"), "replaced"); }, &text));
    EXPECT_EQ(text, "File access denied\n" + folder.path("shared/list.txt"));
    EXPECT_EQ(readFile(folder.path("precious")), "root's file");
    EXPECT_TRUE(isLink(folder.path("shared/list.txt")));
}

TEST(AtomicFile, PipesNeverWaitForAReaderAndReachOneThatIsThere)
{
    ScratchFolder folder;
    const std::string fifo = folder.path("t.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);

    // No reader: an error at once, not a save that hangs in open().
    auto lonely = std::async(std::launch::async, [&] {
        std::string text;
        return throwsError<IoError>([&] { AtomicFile file(fifo, folder.root()); }, &text) ? text : "no error";
    });
    ASSERT_EQ(lonely.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "opening the pipe hung";
    EXPECT_EQ(lonely.get(), "I/O error 6\n" + fifo);

    auto reader = std::async(std::launch::async, [&] { return readFile(fifo); });
    std::string written(200000, 'x'); // more than a pipe holds: the writer waits for the reader
    std::string outcome;
    for (int attempt = 0; attempt < 200 && outcome != "saved"; ++attempt) {
        try {
            outcome = save(fifo, written);
        } catch (const IoError& error) {
            outcome = error.what(); // the reader has not opened its end yet
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_EQ(outcome, "saved");
    EXPECT_EQ(reader.get(), written);
    EXPECT_TRUE(S_ISFIFO(statOf(fifo).st_mode));
    EXPECT_EQ(folder.names(), Names{"t.txt"});

    AtomicFile device("/dev/null", folder.root());
    EXPECT_EQ(device.mode(), AtomicFile::Mode::Stream);
    writeSynced(device.fd(), "/dev/null", "anything");
    EXPECT_NO_THROW(device.commit());
    EXPECT_TRUE(S_ISCHR(statOf("/dev/null").st_mode));
}

// A folder that takes no new file (root's, mode 755) holding a file nobody may write: the
// file is written in place. Every check runs as nobody.
class InPlaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::chmod(m_folder.root().c_str(), 0755);
        ::mkdir(m_folder.path("box").c_str(), 0755);
        ::mkdir(m_folder.path("scratch").c_str(), 0777);
        ::chmod(m_folder.path("scratch").c_str(), 0777);
        writeFile(target(), kOld);
        ASSERT_EQ(::chown(target().c_str(), kNobody, kNobody), 0);
        struct stat st = statOf(target());
        m_inode = st.st_ino;
    }

    std::string target() const { return m_folder.path("box/list.txt"); }
    std::string scratch() const { return m_folder.path("scratch"); }

    // The target as it must be after a failure: byte for byte as it was, same file.
    void expectUntouched()
    {
        EXPECT_EQ(readFile(target()), kOld);
        EXPECT_EQ(statOf(target()).st_ino, m_inode);
        EXPECT_EQ(m_folder.names("box"), Names{"list.txt"});
    }

    const std::string kOld = "the old listing, which must survive any failure\r\n";
    ScratchFolder m_folder;
    ino_t m_inode = 0;
};

TEST_F(InPlaceTest, ShorterAndLongerContentReplacesTheFileItself)
{
    for (const std::string& content : {std::string("short"), std::string(300000, 'L'), std::string()}) {
        std::optional<std::string> outcome = runUnprivileged([&] {
            AtomicFile file(target(), scratch());
            std::string mode = file.mode() == AtomicFile::Mode::InPlace ? "in place" : "not in place";
            writeSynced(file.fd(), target(), content);
            file.commit();
            return mode;
        });
        ASSERT_EQ(outcome, "in place") << "no unprivileged user, or the save failed";
        EXPECT_EQ(readFile(target()), content) << content.size() << " bytes";
        EXPECT_EQ(statOf(target()).st_ino, m_inode);
        EXPECT_EQ(m_folder.names("scratch"), Names{});
    }
}

TEST_F(InPlaceTest, NoCommitLeavesTheFileAsItWas)
{
    std::optional<std::string> outcome = runUnprivileged([&] {
        AtomicFile file(target(), scratch());
        writeSynced(file.fd(), target(), std::string(100000, 'x'));
        return std::string("cancelled");
    });
    ASSERT_EQ(outcome, "cancelled");
    expectUntouched();
    EXPECT_EQ(m_folder.names("scratch"), Names{});
}

TEST_F(InPlaceTest, AFullDiskLeavesTheFileAsItWas)
{
    // The target lives on a 16 KB file system; what is to replace it needs 64 KB.
    ScopedMount small("tmpfs", m_folder.path("box"), "size=16k,mode=755");
    if (!small.ok())
        GTEST_SKIP() << "no right to mount here";
    writeFile(target(), kOld);
    ASSERT_EQ(::chown(target().c_str(), kNobody, kNobody), 0);
    m_inode = statOf(target()).st_ino;

    std::optional<std::string> outcome
        = runUnprivileged([&] { return save(target(), std::string(65536, 'n'), scratch()); });
    EXPECT_EQ(outcome, "threw zintrel::IoError \"Disk full\n" + target() + "\"");
    expectUntouched();
    EXPECT_EQ(m_folder.names("scratch"), Names{});
}

TEST_F(InPlaceTest, AnUnusableTemporaryFolderLeavesTheFileAsItWas)
{
    std::optional<std::string> outcome
        = runUnprivileged([&] { return save(target(), "new", m_folder.path("nonexistent")); });
    EXPECT_EQ(outcome,
              "threw zintrel::IoError \"I/O error 2\n" + target() + "\nTemporary file in "
                  + m_folder.path("nonexistent") + "\"");
    expectUntouched();
}

TEST_F(InPlaceTest, AFolderThatTakesNoFileAndAFileNobodyMayWriteAreRefused)
{
    ::chmod(target().c_str(), 0444);
    std::optional<std::string> outcome = runUnprivileged([&] { return save(target(), "new", scratch()); });
    EXPECT_EQ(outcome, "threw zintrel::IoError \"File access denied\n" + target() + "\"");
    outcome = runUnprivileged([&] { return save(m_folder.path("box/new.txt"), "new", scratch()); });
    EXPECT_EQ(outcome, "threw zintrel::IoError \"File access denied\n" + m_folder.path("box/new.txt") + "\"");
    EXPECT_EQ(m_folder.names("box"), Names{"list.txt"});
}

} // namespace
} // namespace zintrel::test
