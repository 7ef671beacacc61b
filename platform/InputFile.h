#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zintrel {

// Reads a file descriptor that it does not own, by offset, so that several readers of one
// descriptor never disturb each other. Failures throw IoError naming displayPath.
class InputFile {
public:
    InputFile(int fd, std::string displayPath);

    std::uint64_t size() const;
    // Up to length bytes from offset into buffer; fewer only at the end of the file.
    std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t length) const;
    int fd() const { return m_fd; }
    const std::string& displayPath() const { return m_displayPath; }

private:
    int m_fd;
    std::string m_displayPath;
};

// The lines of a file from its start, of any length; the line end (LF or CR LF) is not
// part of a line.
class LineReader {
public:
    // From offset, which is where a line begins.
    explicit LineReader(const InputFile& file, std::uint64_t offset = 0);

    // False at the end of the file.
    bool next(std::string& line);
    // How far the lines read so far reach into the file.
    std::uint64_t offset() const { return m_fileOffset - (m_end - m_next); }

private:
    static constexpr std::size_t kBufferSize = 1 << 16;
    bool refill();

    const InputFile& m_file;
    std::string m_buffer;
    std::size_t m_next = 0;
    std::size_t m_end = 0;
    std::uint64_t m_fileOffset = 0;
};

} // namespace zintrel
