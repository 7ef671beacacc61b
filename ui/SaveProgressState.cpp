#include "SaveProgressState.h"

#include "FolderReading.h"

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

void SaveProgressState::listed(std::int64_t folders, std::int64_t files)
{
    m_folders.store(folders, std::memory_order_relaxed);
    m_files.store(files, std::memory_order_relaxed);
}

void SaveProgressState::drawing(std::int64_t line, std::int64_t lines, int page)
{
    m_line.store(line, std::memory_order_relaxed);
    m_lines.store(lines, std::memory_order_relaxed);
    m_page.store(page, std::memory_order_relaxed);
    m_phase.store(Phase::Drawing, std::memory_order_relaxed);
}

void SaveProgressState::finishing() { m_phase.store(Phase::Finishing, std::memory_order_relaxed); }

void SaveProgressState::reset()
{
    folderEntered(std::string(), 0, 0);
    m_line.store(0);
    m_lines.store(0);
    m_page.store(0);
    m_phase.store(Phase::Reading);
}

QString SaveProgressState::folder() const
{
    std::lock_guard lock(m_mutex);
    return shownName(QByteArray::fromStdString(m_folder));
}

} // namespace zintrel
