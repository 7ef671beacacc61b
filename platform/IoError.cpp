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

namespace {

std::string message(int errorNumber, const std::string& path, const std::string& detail)
{
    std::string text = errorText(errorNumber);
    for (const std::string* line : {&path, &detail}) {
        if (!line->empty())
            text += "\n" + *line;
    }
    return text;
}

} // namespace

IoError::IoError(int errorNumber, const std::string& path, const std::string& detail)
    : std::runtime_error(message(errorNumber, path, detail))
    , m_errorNumber(errorNumber)
    , m_path(path)
{
}

} // namespace zintrel
