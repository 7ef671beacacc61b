#include "HelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace zintrel {

QString helpFilePath()
{
    QString name = QString::fromLatin1(kHelpFileName);
    QString besideProgram = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name);
    if (QFileInfo(besideProgram).isFile())
        return besideProgram;
    return QDir::current().absoluteFilePath(name);
}

QString helpPageAddress(const char* section)
{
    QUrl address = QUrl::fromLocalFile(helpFilePath());
    address.setFragment(QString::fromLatin1(section));
    return address.toString();
}

} // namespace zintrel
