#include "ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace zintrel {

QUrl urlForShell(const QString& fileOrAddress)
{
    static const QString schemes[] = {QStringLiteral("http://"), QStringLiteral("https://"),
                                      QStringLiteral("mailto:"), QStringLiteral("file://")};
    for (const QString& scheme : schemes) {
        if (fileOrAddress.startsWith(scheme, Qt::CaseInsensitive))
            return QUrl(fileOrAddress);
    }
    // The whole name goes through, however long, and a relative one against the current folder.
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(fileOrAddress));
}

void DesktopShellOpen::open(const QString& fileOrAddress)
{
    QDesktopServices::openUrl(urlForShell(fileOrAddress));
}

} // namespace zintrel
