#include "ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

namespace zintrel {

QUrl urlForShell(const QString& fileOrAddress)
{
    static const QString schemes[]
        = {QStringLiteral("http://"), QStringLiteral("https://"), QStringLiteral("mailto:"), QStringLiteral("file://")};
    for (const QString& scheme : schemes) {
        if (fileOrAddress.startsWith(scheme, Qt::CaseInsensitive))
            return QUrl(fileOrAddress);
    }
    // The whole name goes through, however long, and a relative one against the current folder.
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(fileOrAddress));
}

QUrl urlForFile(const QByteArray& path)
{
    QByteArray absolute = path;
    if (!path.startsWith('/'))
        absolute = QFile::encodeName(QDir::currentPath()) + '/' + path;
    return QUrl::fromEncoded("file://" + absolute.toPercentEncoding("/"), QUrl::StrictMode);
}

bool DesktopShellOpen::openFile(const QByteArray& path) { return QDesktopServices::openUrl(urlForFile(path)); }

bool DesktopShellOpen::open(const QString& fileOrAddress)
{
    return QDesktopServices::openUrl(urlForShell(fileOrAddress));
}

} // namespace zintrel
