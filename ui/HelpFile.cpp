#include "HelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace zintrel {

QString firstHelpFile(const QStringList& folders, const QString& fallbackFolder)
{
    const QString name = QString::fromLatin1(kHelpFileName);
    for (const QString& folder : folders) {
        QString candidate = QDir(folder).absoluteFilePath(name);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QDir(fallbackFolder).absoluteFilePath(name);
}

QString helpFilePath()
{
    return firstHelpFile({QCoreApplication::applicationDirPath(), QStringLiteral(ZINTREL_DOC_DIR)},
                         QDir::currentPath());
}

QString helpPageAddress(const char* section)
{
    QUrl address = QUrl::fromLocalFile(helpFilePath());
    address.setFragment(QString::fromLatin1(section));
    return address.toString();
}

} // namespace zintrel
