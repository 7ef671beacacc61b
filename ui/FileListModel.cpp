#include "FileListModel.h"

#include "FolderReading.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace zintrel {

void FileListModel::setFolder(const QByteArray& folder)
{
    m_folder = folder;
    setStringList({});
    read();
}

void FileListModel::refresh() { read(); }

void FileListModel::read()
{
    quint64 generation = ++m_generation;
    QPointer<FileListModel> self(this);
    QThreadPool::globalInstance()->start([self, folder = m_folder, generation] {
        QStringList shown;
        for (const QByteArray& name : visibleFileNames(folder))
            shown << shownName(name);
        QMetaObject::invokeMethod(
            qApp ? static_cast<QObject*>(qApp) : nullptr,
            [self, generation, shown = std::move(shown)] {
                if (self && self->m_generation == generation && self->stringList() != shown)
                    self->setStringList(shown);
            },
            Qt::QueuedConnection);
    });
}

} // namespace zintrel
