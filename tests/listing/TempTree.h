#pragma once

#include "tests/support/TestSupport.h"

#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zintrel::test {

// A folder tree made for one test under the temporary folder and removed with everything
// in it (whatever its depth or permissions) when the object goes. Paths are relative to
// the root; every helper fails the test with ADD_FAILURE when the call fails.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(const std::string& relative) const { return m_root + "/" + relative; }

    std::string mkdirp(const std::string& relative);
    // A regular file of size bytes (sparse beyond the first), optionally with its mtime.
    std::string touch(const std::string& relative, long long size = 0, std::time_t mtime = -1);
    std::string symlink(const std::string& target, const std::string& relative);
    std::string mkfifo(const std::string& relative);
    void chmod(const std::string& relative, mode_t mode);
    // Sets the mtime of the entry itself (a link is not followed).
    void setTime(const std::string& relative, std::time_t mtime);

private:
    std::string m_root;
};

// The names in a folder, "." and ".." left out, sorted.
std::vector<std::string> folderNames(const std::string& folder);

} // namespace zintrel::test
