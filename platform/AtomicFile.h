#pragma once

#include "FileDescriptor.h"

#include <string>

namespace zintrel {

// Writes a file so that a failure never destroys what stood under its name before: the
// content goes to a temporary file beside the target, which commit() renames over it.
// Where the folder takes no new file but the target itself is writable, or the target is
// not a regular file (a device, a pipe), the target is written in place instead.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Where the content goes: the temporary name, or the target when written in place.
    const std::string& writePath() const { return m_writePath; }
    const std::string& target() const { return m_target; }
    bool inPlace() const { return m_inPlace; }
    // The open descriptor of writePath(), for the caller's writer; it stays ours.
    int fd() const { return m_fd.get(); }
    // Closes the content (the caller has flushed its writer) and puts it under the target
    // name; throws IoError on failure.
    void commit();

private:
    std::string m_target;
    std::string m_writePath;
    FileDescriptor m_fd;
    bool m_inPlace = false;
    bool m_committed = false;
};

} // namespace zintrel
