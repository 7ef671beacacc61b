#include "PlatformTestKit.h"

#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"

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

namespace zintrel::test {
namespace {

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
    EXPECT_TRUE(throwsError<IoError>([&] { writeSynced(full.get(), "/dev/full", "abc"); }, &text));
    EXPECT_EQ(text, "Disk full\n/dev/full");

    // Writes beyond the buffer fail at once, not only at the flush.
    OutputFile out(full.get(), "/dev/full");
    EXPECT_THROW(out.write(std::string(1 << 17, 'x')), IoError);

    ScratchFolder folder;
    writeFile(folder.path("ro"), "");
    FileDescriptor readOnly(::open(folder.path("ro").c_str(), O_RDONLY));
    EXPECT_TRUE(throwsError<IoError>([&] { writeSynced(readOnly.get(), "ro", "abc"); }, &text));
    EXPECT_EQ(text, errorText(EBADF) + "\nro");
}

} // namespace
} // namespace zintrel::test
