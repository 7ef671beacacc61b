#include "FileListModel.h"

#include "FolderReading.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace zintrel {

void FileListModel::setFolder(const QString& folder)
{
    m_folder = folder;
    quint64 generation = ++m_generation;
    setStringList({});
    QPointer<FileListModel> self(this);
    QThreadPool::globalInstance()->start([self, folder, generation] {
        QStringList names = visibleFileNames(folder);
        QMetaObject::invokeMethod(
            qApp ? static_cast<QObject*>(qApp) : nullptr,
            [self, generation, names = std::move(names)] {
                if (self && self->m_generation == generation)
                    self->setStringList(names);
            },
            Qt::QueuedConnection);
    });
}

} // namespace zintrel
