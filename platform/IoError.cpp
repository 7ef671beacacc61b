#include "IoError.h"

#include <cerrno>

namespace zintrel {

std::string errorText(int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
    case EROFS:
        return "File access denied";
    case ENOSPC:
    case EDQUOT:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(errorNumber);
    }
}

IoError::IoError(int errorNumber, const std::string& path)
    : std::runtime_error(path.empty() ? errorText(errorNumber) : errorText(errorNumber) + "\n" + path)
    , m_errorNumber(errorNumber)
    , m_path(path)
{
}

} // namespace zintrel
