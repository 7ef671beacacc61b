// Temporary files: unnamed where the file system allows, else named and cleaned up, also
// when a signal ends the process.

#include "PlatformTestKit.h"

#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/TempFile.h"

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zintrel::test {
namespace {

std::string contentOf(const TempFile& file)
{
    InputFile in(file.fd(), "temporary");
    std::string text(in.size(), '\0');
    in.readAt(0, text.data(), text.size());
    return text;
}

TEST(TempFile, HasNoNameWhereTheFileSystemAllows)
{
    ScratchFolder folder;
    {
        TempFile file(folder.root(), "zintrel-listing-", ".txt", "/home/user/list.pdf");
        ASSERT_TRUE(file.anonymous());
        EXPECT_EQ(file.path(), "");
        writeSynced(file.fd(), "temporary", "kept until the end");
        EXPECT_EQ(contentOf(file), "kept until the end");
        EXPECT_EQ(folder.names(), Names{});
        file.linkAs(::open(folder.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC), "now.txt");
    }
    EXPECT_EQ(readFile(folder.path("now.txt")), "kept until the end");
}

TEST(TempFile, FailuresNameTheUsersFileAndTheFolder)
{
    ScratchFolder folder;
    std::string text;
    EXPECT_TRUE(throwsError<IoError>([&] { TempFile file(folder.path("missing"), "p", ".txt", "/home/user/list.pdf"); },
                                     &text));
    EXPECT_EQ(text, "I/O error 2\n/home/user/list.pdf\nTemporary file in " + folder.path("missing"));
}

// FUSE keeps a file removed while open under a hidden name until it is closed.
Names withoutFuseHidden(Names names)
{
    std::erase_if(names, [](const std::string& name) { return name.starts_with(".fuse_hidden"); });
    return names;
}

// A file system without unnamed files (FUSE here) gets named ones, each new and private.
class NamedTempFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(m_folder.path("source").c_str(), 0755);
        ::mkdir(m_folder.path("fuse").c_str(), 0755);
        m_mount = std::make_unique<ScopedMount>("bindfs", m_folder.path("fuse"), "", m_folder.path("source"));
        if (!m_mount->ok())
            GTEST_SKIP() << "bindfs cannot be mounted here";
    }
    std::string fuse() const { return m_folder.path("fuse"); }

    ScratchFolder m_folder;
    std::unique_ptr<ScopedMount> m_mount;
};

TEST_F(NamedTempFileTest, UniquePrivateAndRemoved)
{
    {
        TempFile first(fuse(), "zintrel-listing-", ".txt", "list.pdf");
        TempFile second(fuse(), "zintrel-listing-", ".txt", "list.pdf");
        ASSERT_FALSE(first.anonymous());
        EXPECT_NE(first.path(), second.path());
        for (const TempFile* file : {&first, &second}) {
            EXPECT_EQ(file->path().rfind(fuse() + "/zintrel-listing-", 0), 0u) << file->path();
            EXPECT_TRUE(file->path().ends_with(".txt")) << file->path();
            EXPECT_EQ(modeOf(file->path()), 0600u);
        }
        std::string secondPath = second.path();
        second.remove();
        EXPECT_EQ(::access(secondPath.c_str(), F_OK), -1);
        EXPECT_EQ(::access(first.path().c_str(), F_OK), 0);
        writeSynced(second.fd(), "temporary", "still open");
        EXPECT_EQ(contentOf(second), "still open");
    }
    EXPECT_EQ(m_folder.names("fuse"), Names{});
}

// Forks a child that makes count temporary files in folder, writes them full when asked,
// and waits for its end; returns once the files are there. -1 when the child did not get
// that far.
pid_t childHoldingTempFiles(const std::string& folder, bool written, int count = 1)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        std::vector<std::unique_ptr<TempFile>> files;
        for (int i = 0; i < count; ++i) {
            files.push_back(std::make_unique<TempFile>(folder, "zintrel-pdf-", ".pdf", "list.pdf"));
            if (written)
                writeSynced(files.back()->fd(), "temporary", std::string(1 << 20, 'x'));
        }
        if (::write(ready[1], "x", 1) != 1)
            ::_exit(2);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    const bool there = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    return there ? child : -1;
}

// Ends the child with signal and says whether the signal ended it.
bool endedBy(pid_t child, int signal)
{
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// A child makes named temporary files, as many as a PDF drawn on many threads has, and
// waits; the signal ends it, and every file with it.
TEST_F(NamedTempFileTest, SignalsThatEndTheProcessTakeTheFilesAlong)
{
    for (int count : {1, 40}) {
        for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
            SCOPED_TRACE(std::to_string(count) + " files, signal " + std::to_string(signal));
            pid_t child = childHoldingTempFiles(fuse(), false, count);
            ASSERT_GT(child, 0);
            EXPECT_EQ(withoutFuseHidden(m_folder.names("fuse")).size(), static_cast<std::size_t>(count))
                << "there while it runs";
            EXPECT_TRUE(endedBy(child, signal));
            EXPECT_EQ(withoutFuseHidden(m_folder.names("fuse")), Names{});
        }
    }
}

// What a killed process left goes with the next sweep; what a live one holds, and what only
// looks like a temporary file of ours, stays.
TEST_F(NamedTempFileTest, ASweepRemovesTheFilesOfKilledProcessesOnly)
{
    pid_t live = childHoldingTempFiles(fuse(), false, 2);
    ASSERT_GT(live, 0);
    const Names livesFiles = withoutFuseHidden(m_folder.names("fuse"));
    pid_t killed = childHoldingTempFiles(fuse(), true, 3);
    ASSERT_GT(killed, 0);
    EXPECT_TRUE(endedBy(killed, SIGKILL));
    EXPECT_EQ(withoutFuseHidden(m_folder.names("fuse")).size(), 5u);
    const Names lookalikes = {"other.pdf", "zintrel-pdf-ABCDE.pdf", "zintrel-pdf-ABCDEF.txt", "zintrel-pdf-ABC_EF.pdf"};
    for (const std::string& name : lookalikes)
        writeFile(fuse() + "/" + name, "not ours");

    removeStaleTemporaryFiles(fuse());
    Names expected = livesFiles;
    expected.insert(expected.end(), lookalikes.begin(), lookalikes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(withoutFuseHidden(m_folder.names("fuse")), expected);

    EXPECT_TRUE(endedBy(live, SIGTERM));
    EXPECT_EQ(withoutFuseHidden(m_folder.names("fuse")), lookalikes);
}

TEST(TempFile, KillLeavesNothingOfAnUnnamedFile)
{
    ScratchFolder folder;
    pid_t child = childHoldingTempFiles(folder.root(), true);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(endedBy(child, SIGKILL));
    EXPECT_EQ(folder.names(), Names{});
}

} // namespace
} // namespace zintrel::test
