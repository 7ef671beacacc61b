#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zintrel::test {

namespace {

void check(bool ok, const std::string& what)
{
    if (!ok)
        ADD_FAILURE() << what << ": " << std::strerror(errno);
}

// Removes a tree of any depth and any permissions; rm walks it with relative descriptors.
void removeTree(const std::string& root)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        std::string chmodCommand = "chmod -R u+rwx -- '" + root + "' 2>/dev/null; rm -rf -- '" + root + "'";
        ::execl("/bin/sh", "sh", "-c", chmodCommand.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
}

} // namespace

TempTree::TempTree()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/zintrel-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    check(::mkdtemp(buffer.data()) != nullptr, "mkdtemp");
    m_root = buffer.data();
}

TempTree::~TempTree() { removeTree(m_root); }

std::string TempTree::mkdirp(const std::string& relative)
{
    std::string full = path(relative);
    for (std::size_t slash = m_root.size() + 1; slash != std::string::npos;) {
        slash = full.find('/', slash + 1);
        std::string part = full.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            check(false, "mkdir " + part);
    }
    return full;
}

std::string TempTree::touch(const std::string& relative, long long size, std::time_t mtime)
{
    std::string full = path(relative);
    int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    check(fd >= 0, "create " + full);
    if (fd >= 0) {
        if (size > 0) {
            check(::write(fd, "x", 1) == 1, "write " + full);
            check(::ftruncate(fd, size) == 0, "ftruncate " + full);
        }
        ::close(fd);
    }
    if (mtime != -1)
        setTime(relative, mtime);
    return full;
}

std::string TempTree::symlink(const std::string& target, const std::string& relative)
{
    std::string full = path(relative);
    check(::symlink(target.c_str(), full.c_str()) == 0, "symlink " + full);
    return full;
}

std::string TempTree::mkfifo(const std::string& relative)
{
    std::string full = path(relative);
    check(::mkfifo(full.c_str(), 0644) == 0, "mkfifo " + full);
    return full;
}

void TempTree::chmod(const std::string& relative, mode_t mode)
{
    check(::chmod(path(relative).c_str(), mode) == 0, "chmod " + relative);
}

void TempTree::setTime(const std::string& relative, std::time_t mtime)
{
    timespec times[2] = {{mtime, 0}, {mtime, 0}};
    check(::utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + relative);
}

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace zintrel::test
