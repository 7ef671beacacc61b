#pragma once

#include <string>

namespace zintrel {

// The folder for temporary files: $TMPDIR when it is set and absolute, else /tmp.
std::string temporaryFolder();

// A new, uniquely named file that nobody else had, removed again when this object goes
// unless release() was called. Creation failures throw IoError.
class TempFile {
public:
    // Creates folder/prefixXXXXXXsuffix with mode 0600.
    TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    // The open descriptor; the caller takes it over (and must close it).
    int takeFd();
    // Keeps the file on disk after this object is gone.
    void release() { m_remove = false; }
    // Removes the file now.
    void remove();

private:
    std::string m_path;
    int m_fd = -1;
    bool m_remove = true;
};

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
    // The open descriptor of writePath(); the caller takes it over (and must close it).
    int takeFd();
    // Puts the finished content under the target name; throws IoError on failure.
    void commit();

private:
    std::string m_target;
    std::string m_writePath;
    int m_fd = -1;
    bool m_inPlace = false;
    bool m_committed = false;
};

} // namespace zintrel
