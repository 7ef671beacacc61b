#include "OutputFile.h"

#include "IoError.h"

#include <cerrno>
#include <unistd.h>

namespace zintrel {

OutputFile::OutputFile(int fd, std::string displayPath)
    : m_fd(fd)
    , m_displayPath(std::move(displayPath))
{
}

void OutputFile::writeAll(const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IoError(errno, m_displayPath);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void OutputFile::writeSlow(std::string_view text)
{
    flush();
    if (text.size() >= kBufferSize) {
        writeAll(text.data(), text.size());
    } else {
        text.copy(m_buffer, text.size());
        m_used = text.size();
    }
}

void OutputFile::flush()
{
    if (m_used == 0)
        return;
    std::size_t used = m_used;
    m_used = 0;
    writeAll(m_buffer, used);
}

void OutputFile::sync()
{
    flush();
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        throw IoError(errno, m_displayPath);
}

} // namespace zintrel
