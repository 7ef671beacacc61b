#include "TempFile.h"

#include "IoError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace zintrel {

std::string temporaryFolder()
{
    const char* dir = std::getenv("TMPDIR");
    if (dir && dir[0] == '/')
        return dir;
    return "/tmp";
}

TempFile::TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += prefix + "XXXXXX" + suffix;
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    m_fd.reset(::mkostemps(buffer.data(), static_cast<int>(suffix.size()), O_CLOEXEC));
    if (!m_fd)
        throw IoError(errno, folder);
    m_path.assign(buffer.data());
}

TempFile::~TempFile() { remove(); }

void TempFile::remove()
{
    if (m_remove) {
        ::unlink(m_path.c_str());
        m_remove = false;
    }
}

} // namespace zintrel
