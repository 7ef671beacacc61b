#include "SaveProgressState.h"

#include <QFile>

namespace zintrel {

void SaveProgressState::folderEntered(const std::string& path, std::int64_t folders, std::int64_t files)
{
    {
        std::lock_guard lock(m_mutex);
        m_folder.assign(path);
    }
    m_folders.store(folders, std::memory_order_relaxed);
    m_files.store(files, std::memory_order_relaxed);
}

void SaveProgressState::reset()
{
    folderEntered(std::string(), 0, 0);
}

QString SaveProgressState::folder() const
{
    std::lock_guard lock(m_mutex);
    return QFile::decodeName(QByteArray::fromStdString(m_folder));
}

} // namespace zintrel
