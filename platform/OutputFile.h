#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zintrel {

// A buffered writer over a file descriptor. Every failure of write or close throws IoError
// naming displayPath. Takes ownership of the descriptor.
class OutputFile {
public:
    OutputFile(int fd, std::string displayPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view text)
    {
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
    }
    void endLine() { write("\r\n"); }

    void flush();
    // Flushes, optionally syncs to the disk, and closes; throws on any failure.
    void close(bool sync);
    const std::string& displayPath() const { return m_displayPath; }

private:
    static constexpr std::size_t kBufferSize = 1 << 16;
    void writeSlow(std::string_view text);
    void writeAll(const char* data, std::size_t size);

    int m_fd;
    std::string m_displayPath;
    std::size_t m_used = 0;
    char m_buffer[kBufferSize];
};

} // namespace zintrel
