#pragma once

#include <utility>

namespace zintrel {

// Owns one open file descriptor and closes it when it goes. Move-only; an empty owner
// holds -1.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(other.release())
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

    // Gives up ownership without closing.
    int release() { return std::exchange(m_fd, -1); }
    // Closes what it holds (ignoring errors) and takes fd instead.
    void reset(int fd = -1);
    // Closes now and reports the outcome: 0, or the errno of a failed close, which on some
    // file systems is the first news of a failed write.
    int close();

private:
    int m_fd = -1;
};

} // namespace zintrel
