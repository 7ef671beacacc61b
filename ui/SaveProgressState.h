#pragma once

#include "listing/ListingProgress.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace zintrel {

// Where a running save stands. The walking thread writes it for every folder; the window
// reads it on its own timer, so the walk never waits for painting.
class SaveProgressState : public ListingProgress {
public:
    void folderEntered(const std::string& path, std::int64_t folders, std::int64_t files) override;
    void reset();

    QString folder() const;
    std::int64_t folders() const { return m_folders.load(std::memory_order_relaxed); }
    std::int64_t files() const { return m_files.load(std::memory_order_relaxed); }

private:
    mutable std::mutex m_mutex;
    std::string m_folder;
    std::atomic<std::int64_t> m_folders{0};
    std::atomic<std::int64_t> m_files{0};
};

} // namespace zintrel
