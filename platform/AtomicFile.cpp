#include "AtomicFile.h"

#include "IoError.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zintrel {

namespace {

// The mode a newly created file gets from open(..., 0666) under the process's umask.
mode_t defaultFileMode()
{
    static mode_t mode = [] {
        mode_t mask = ::umask(022);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

std::string folderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int createUnique(std::string& path, int suffixLength)
{
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    int fd = ::mkostemps(buffer.data(), suffixLength, O_CLOEXEC);
    if (fd >= 0)
        path.assign(buffer.data());
    return fd;
}

} // namespace

AtomicFile::AtomicFile(const std::string& target)
    : m_target(target)
{
    // A link is written through to what it points to, so the link itself survives; a
    // dangling one gets its file made.
    struct stat linkSt {};
    if (::lstat(m_target.c_str(), &linkSt) == 0 && S_ISLNK(linkSt.st_mode)) {
        if (char* real = ::realpath(m_target.c_str(), nullptr)) {
            m_target = real;
            std::free(real);
        } else {
            std::string destination(PATH_MAX, '\0');
            ssize_t length = ::readlink(m_target.c_str(), destination.data(), destination.size());
            if (length > 0 && static_cast<std::size_t>(length) < destination.size()) {
                destination.resize(static_cast<std::size_t>(length));
                m_target = destination.front() == '/' ? destination : folderOf(m_target) + "/" + destination;
            }
        }
    }
    struct stat st {};
    bool exists = ::stat(m_target.c_str(), &st) == 0;

    // Replacing a file by rename needs no right on the file itself; ask for it all the same,
    // as writing into it would.
    if (exists && ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
        throw IoError(errno, m_target);

    if (!exists || S_ISREG(st.st_mode)) {
        // A short name of our own, so that a target name of any allowed length works.
        std::string temp = folderOf(m_target) + "/.zintrel-XXXXXX.part";
        m_fd.reset(createUnique(temp, 5));
        if (m_fd) {
            m_writePath = temp;
            mode_t mode = exists ? (st.st_mode & 07777) : defaultFileMode();
            ::fchmod(m_fd.get(), mode);
            if (exists && ::fchown(m_fd.get(), st.st_uid, st.st_gid) != 0) {
                // Keeping the owner needs privileges we may lack; the content matters more.
            }
            return;
        }
        int err = errno;
        bool folderRefused = err == EACCES || err == EPERM || err == EROFS;
        if (!exists || !folderRefused)
            throw IoError(err, m_target);
    }

    m_fd.reset(::open(m_target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!m_fd)
        throw IoError(errno, m_target);
    m_writePath = m_target;
    m_inPlace = true;
}

AtomicFile::~AtomicFile()
{
    m_fd.reset();
    if (!m_committed && !m_inPlace && !m_writePath.empty())
        ::unlink(m_writePath.c_str());
}

void AtomicFile::commit()
{
    if (int err = m_fd.close())
        throw IoError(err, m_target);
    if (!m_inPlace && ::rename(m_writePath.c_str(), m_target.c_str()) != 0)
        throw IoError(errno, m_target);
    m_committed = true;
}

} // namespace zintrel
