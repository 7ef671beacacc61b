#include "InputFile.h"

#include "IoError.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

InputFile::InputFile(int fd, std::string displayPath)
    : m_fd(fd)
    , m_displayPath(std::move(displayPath))
{
}

std::uint64_t InputFile::size() const
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        throw IoError(errno, m_displayPath);
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t length) const
{
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = ::pread(m_fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw IoError(errno, m_displayPath);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

LineReader::LineReader(const InputFile& file, std::uint64_t offset)
    : m_file(file)
    , m_fileOffset(offset)
{
}

bool LineReader::refill()
{
    // Keep the unfinished line at the front; grow when one line fills the whole buffer.
    if (m_next > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_next, m_end - m_next);
        m_end -= m_next;
        m_next = 0;
    }
    if (m_buffer.size() < kBufferSize)
        m_buffer.resize(kBufferSize);
    else if (m_end == m_buffer.size())
        m_buffer.resize(m_buffer.size() * 2);
    std::size_t got = m_file.readAt(m_fileOffset, m_buffer.data() + m_end, m_buffer.size() - m_end);
    m_fileOffset += got;
    m_end += got;
    return got > 0;
}

bool LineReader::next(std::string& line)
{
    std::size_t searched = m_next;
    for (;;) {
        const char* start = m_buffer.data() + searched;
        const void* newline = std::memchr(start, '\n', m_end - searched);
        if (newline) {
            std::size_t at = static_cast<std::size_t>(static_cast<const char*>(newline) - m_buffer.data());
            std::size_t length = at - m_next;
            if (length > 0 && m_buffer[at - 1] == '\r')
                --length;
            line.assign(m_buffer.data() + m_next, length);
            m_next = at + 1;
            return true;
        }
        std::size_t pending = m_end - m_next;
        if (!refill()) {
            if (pending == 0)
                return false;
            // The last line has no line end.
            std::size_t length = m_end - m_next;
            if (m_buffer[m_end - 1] == '\r')
                --length;
            line.assign(m_buffer.data() + m_next, length);
            m_next = m_end;
            return true;
        }
        searched = m_next + pending;
    }
}

} // namespace zintrel
