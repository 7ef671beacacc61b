#include "FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

namespace zintrel {

void FileDescriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int FileDescriptor::close()
{
    int fd = release();
    if (fd < 0)
        return 0;
    // After EINTR the descriptor is gone on Linux; retrying could close somebody else's.
    if (::close(fd) != 0 && errno != EINTR)
        return errno;
    return 0;
}

} // namespace zintrel
