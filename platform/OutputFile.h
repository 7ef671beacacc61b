#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zintrel {

// The program's one writer: a buffer in front of a file descriptor that it does not own.
// Every failed write throws IoError naming displayPath (the file the user knows). Data
// still in the buffer when the object goes is dropped: call flush() or sync() to keep it.
class OutputFile {
public:
    OutputFile(int fd, std::string displayPath);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view text)
    {
        m_offset += text.size();
        if (text.size() <= kBufferSize - m_used) {
            text.copy(m_buffer + m_used, text.size());
            m_used += text.size();
        } else {
            writeSlow(text);
        }
    }
    void put(char c)
    {
        if (m_used == kBufferSize)
            flush();
        m_buffer[m_used++] = c;
        ++m_offset;
    }
    void endLine() { write("\r\n"); }

    // Bytes written through this object so far, buffered ones included.
    std::uint64_t offset() const { return m_offset; }
    void flush();
    // Flushes and asks the disk to keep the data; a file system that cannot sync is fine.
    void sync();
    const std::string& displayPath() const { return m_displayPath; }

private:
    static constexpr std::size_t kBufferSize = 1 << 16;
    void writeSlow(std::string_view text);
    void writeAll(const char* data, std::size_t size);

    int m_fd;
    std::string m_displayPath;
    std::uint64_t m_offset = 0;
    std::size_t m_used = 0;
    char m_buffer[kBufferSize];
};

} // namespace zintrel
