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

void DesktopShellOpen::openFile(const QByteArray& path) { QDesktopServices::openUrl(urlForFile(path)); }

void DesktopShellOpen::open(const QString& fileOrAddress) { QDesktopServices::openUrl(urlForShell(fileOrAddress)); }

} // namespace zintrel
