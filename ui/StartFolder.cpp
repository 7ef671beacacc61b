#include "StartFolder.h"

#include "FolderReading.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace zintrel {

namespace {

QString refusal(const QByteArray& argument, int errorNumber)
{
    return QStringLiteral("The folder %1 could not be opened: %2.\nZintrel starts in the current folder.")
        .arg(shownName(argument), QString::fromLocal8Bit(std::strerror(errorNumber)));
}

} // namespace

StartFolder resolveStartFolder(const QByteArray& argument)
{
    QByteArray path = argument;
    if (path.startsWith("file:")) {
        // file:///path, file://localhost/path or file:/path; the escaped bytes are the
        // name's own, whatever their encoding.
        path = path.mid(5);
        if (path.startsWith("//")) {
            const qsizetype slash = path.indexOf('/', 2);
            const QByteArray host = path.mid(2, slash < 0 ? -1 : slash - 2);
            if (slash < 0 || !(host.isEmpty() || host == "localhost"))
                return {{}, refusal(argument, ENOENT)};
            path = path.mid(slash);
        }
        path = QByteArray::fromPercentEncoding(path);
    }
    if (path.isEmpty() || path.contains('\0'))
        return {{}, refusal(argument, ENOENT)};

    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {{}, refusal(path, errno)};
    QByteArray folder(resolved);
    std::free(resolved);

    struct stat status {};
    if (::stat(folder.constData(), &status) != 0)
        return {{}, refusal(path, errno)};
    if (!S_ISDIR(status.st_mode))
        folder.truncate(std::max<qsizetype>(folder.lastIndexOf('/'), 1));

    DIR* listing = ::opendir(folder.constData());
    if (!listing)
        return {{}, refusal(folder, errno)};
    ::closedir(listing);
    return {folder, {}};
}

} // namespace zintrel
