#include "HelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zintrel {

QString helpFilePath()
{
    QString name = QString::fromLatin1(kHelpFileName);
    QString besideProgram = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name);
    if (QFileInfo(besideProgram).isFile())
        return besideProgram;
    return QDir::current().absoluteFilePath(name);
}

} // namespace zintrel
