#pragma once

#include "listing/ListingProgress.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace zintrel {

// Where a running save stands. The saving thread writes it for every folder and every
// line drawn; the window reads it on its own timer, so the save never waits for painting.
class SaveProgressState : public ListingProgress {
public:
    enum class Phase { Reading, Drawing, Finishing };

    void folderEntered(const std::string& path, std::int64_t folders, std::int64_t files) override;
    void listed(std::int64_t folders, std::int64_t files) override;
    void drawing(std::int64_t line, std::int64_t lines, int page) override;
    void finishing() override;
    void reset();

    Phase phase() const { return m_phase.load(std::memory_order_relaxed); }
    QString folder() const;
    std::int64_t folders() const { return m_folders.load(std::memory_order_relaxed); }
    std::int64_t files() const { return m_files.load(std::memory_order_relaxed); }
    std::int64_t line() const { return m_line.load(std::memory_order_relaxed); }
    std::int64_t lines() const { return m_lines.load(std::memory_order_relaxed); }
    int page() const { return m_page.load(std::memory_order_relaxed); }

private:
    std::atomic<Phase> m_phase{Phase::Reading};
    mutable std::mutex m_mutex;
    std::string m_folder;
    std::atomic<std::int64_t> m_folders{0};
    std::atomic<std::int64_t> m_files{0};
    std::atomic<std::int64_t> m_line{0};
    std::atomic<std::int64_t> m_lines{0};
    std::atomic<int> m_page{0};
};

} // namespace zintrel
