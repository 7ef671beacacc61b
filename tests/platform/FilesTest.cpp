#include "platform/IoError.h"
#include "platform/AtomicFile.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zintrel {
namespace {

using test::readFile;
using test::writeFile;

using Names = std::vector<std::string>;

class ScratchFolder {
public:
    ScratchFolder()
    {
        char pattern[] = "/tmp/zintrel-platform-XXXXXX";
        m_path = ::mkdtemp(pattern) ? pattern : "";
        EXPECT_FALSE(m_path.empty());
    }
    ~ScratchFolder()
    {
        ::chmod(m_path.c_str(), 0700);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string path(const std::string& name) const { return m_path + "/" + name; }
    const std::string& root() const { return m_path; }

    Names names() const
    {
        Names names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

void writeSynced(int fd, const std::string& path, const std::string& text)
{
    OutputFile out(fd, path);
    out.write(text);
    out.sync();
}

TEST(ErrorText, UserTextsForErrorNumbers)
{
    struct Case {
        int error;
        const char* expected;
    } cases[] = {
        {EACCES, "File access denied"}, {EPERM, "File access denied"}, {EROFS, "File access denied"},
        {ENOSPC, "Disk full"},          {EDQUOT, "Disk full"},         {EIO, "I/O error 5"},
        {ENOENT, "I/O error 2"},        {EFBIG, "I/O error 27"},       {0, "I/O error 0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorText(c.error), c.expected) << c.error;

    IoError named(ENOSPC, "/some/file.txt");
    EXPECT_STREQ(named.what(), "Disk full\n/some/file.txt");
    EXPECT_EQ(named.errorNumber(), ENOSPC);
    EXPECT_EQ(named.path(), "/some/file.txt");
    EXPECT_STREQ(IoError(EACCES, "").what(), "File access denied");
}

TEST(OutputFile, KeepsTheOrderOfSmallAndLargeWrites)
{
    ScratchFolder folder;
    const std::string path = folder.path("out.txt");
    std::string expected;
    {
        FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        OutputFile out(fd.get(), path);
        for (std::size_t size : {1u, 70000u, 3u, 65535u, 65536u, 2u, 200000u}) {
            std::string piece(size, static_cast<char>('a' + size % 26));
            out.write(piece);
            out.put('|');
            out.endLine();
            expected += piece + "|\r\n";
            EXPECT_EQ(out.offset(), expected.size());
        }
        out.flush();
        EXPECT_EQ(fd.close(), 0);
    }
    EXPECT_EQ(readFile(path), expected);
}

TEST(OutputFile, FailuresThrowWithTheErrorText)
{
    FileDescriptor full(::open("/dev/full", O_WRONLY));
    if (!full)
        GTEST_SKIP() << "no /dev/full";
    std::string text;
    EXPECT_TRUE(test::throwsError<IoError>([&] { writeSynced(full.get(), "/dev/full", "abc"); }, &text));
    EXPECT_EQ(text, "Disk full\n/dev/full");

    // Writes beyond the buffer fail at once, not only at the flush.
    OutputFile out(full.get(), "/dev/full");
    EXPECT_THROW(out.write(std::string(1 << 17, 'x')), IoError);

    ScratchFolder folder;
    writeFile(folder.path("ro"), "");
    FileDescriptor readOnly(::open(folder.path("ro").c_str(), O_RDONLY));
    EXPECT_TRUE(test::throwsError<IoError>([&] { writeSynced(readOnly.get(), "ro", "abc"); }, &text));
    EXPECT_EQ(text, errorText(EBADF) + "\nro");
}

TEST(AtomicFile, NewFileAppearsOnlyAtCommit)
{
    ScratchFolder folder;
    const std::string target = folder.path("list.txt");
    mode_t oldMask = ::umask(027);
    {
        AtomicFile file(target);
        EXPECT_FALSE(file.inPlace());
        EXPECT_NE(file.writePath(), target);
        EXPECT_EQ(file.writePath().rfind(folder.root() + "/", 0), 0u) << "written beside the target";
        writeSynced(file.fd(), file.writePath(), "content");
        EXPECT_EQ(::access(target.c_str(), F_OK), -1);
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
        AtomicFile file(target);
        writeSynced(file.fd(), file.writePath(), "half");
    }
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(folder.names(), Names{"list.txt"});
    {
        AtomicFile file(target); // nothing written, no commit
    }
    EXPECT_EQ(folder.names(), Names{"list.txt"});
    {
        AtomicFile file(target);
        writeSynced(file.fd(), file.writePath(), "new");
        file.commit();
    }
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(modeOf(target), 0604u);
    EXPECT_EQ(folder.names(), Names{"list.txt"});
}

TEST(AtomicFile, LinkSurvivesAndItsTargetIsReplaced)
{
    ScratchFolder folder;
    ::mkdir(folder.path("real").c_str(), 0755);
    writeFile(folder.path("real/list.txt"), "old");
    ASSERT_EQ(::symlink("real/list.txt", folder.path("link.txt").c_str()), 0);
    {
        AtomicFile file(folder.path("link.txt"));
        writeSynced(file.fd(), file.writePath(), "new");
        file.commit();
    }
    struct stat st {};
    ASSERT_EQ(::lstat(folder.path("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(folder.path("real/list.txt")), "new");
    EXPECT_EQ(folder.names(), (Names{"link.txt", "real"}));

    // A dangling link gets the file it names.
    ASSERT_EQ(::symlink("real/later.txt", folder.path("dangling.txt").c_str()), 0);
    {
        AtomicFile file(folder.path("dangling.txt"));
        writeSynced(file.fd(), file.writePath(), "made");
        file.commit();
    }
    ASSERT_EQ(::lstat(folder.path("dangling.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(folder.path("real/later.txt")), "made");
}

TEST(AtomicFile, DeviceIsWrittenInPlace)
{
    {
        AtomicFile file("/dev/null");
        EXPECT_TRUE(file.inPlace());
        EXPECT_EQ(file.writePath(), "/dev/null");
        writeSynced(file.fd(), file.writePath(), "anything");
        EXPECT_NO_THROW(file.commit());
    }
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(TempFile, UniquePrivateAndRemoved)
{
    ScratchFolder folder;
    {
        TempFile first(folder.root(), "zintrel-listing-", ".txt");
        TempFile second(folder.root() + "/", "zintrel-listing-", ".txt");
        EXPECT_NE(first.path(), second.path());
        for (const TempFile* file : {&first, &second}) {
            EXPECT_EQ(file->path().rfind(folder.root() + "/zintrel-listing-", 0), 0u) << file->path();
            EXPECT_TRUE(file->path().ends_with(".txt")) << file->path();
            EXPECT_EQ(modeOf(file->path()), 0600u);
        }
        EXPECT_EQ(::write(second.fd(), "x", 1), 1);
        TempFile third(folder.root(), "a", "");
        third.remove();
        EXPECT_EQ(::access(third.path().c_str(), F_OK), -1);
        EXPECT_EQ(::write(third.fd(), "still open", 10), 10);
    }
    EXPECT_EQ(folder.names(), Names{});
    EXPECT_THROW(TempFile(folder.path("missing"), "p", ".txt"), IoError);
}

} // namespace
} // namespace zintrel
