#pragma once

#include "FileDescriptor.h"

#include <string>

namespace zintrel {

// The folder for temporary files: $TMPDIR when it is set and absolute, else /tmp.
std::string temporaryFolder();

// A new, uniquely named file that nobody else had, open for reading and writing, removed
// again when this object goes. Creation failures throw IoError.
class TempFile {
public:
    // Creates folder/prefixXXXXXXsuffix with mode 0600.
    TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    int fd() const { return m_fd.get(); }
    // Removes the file now.
    void remove();

private:
    std::string m_path;
    FileDescriptor m_fd;
    bool m_remove = true;
};

} // namespace zintrel
