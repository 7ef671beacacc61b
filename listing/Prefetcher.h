#pragma once

#include "FolderSearch.h"
#include "platform/FileDescriptor.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zintrel {

class Prefetcher;

// A folder the walk reads: its names in order and, chunk by chunk, what the walk needs of
// each entry, made once by whichever thread comes first, a worker ahead of the walk or the
// walk itself. The walk takes the chunks in order and lets each go once it is past it.
class FolderBatch {
public:
    static constexpr std::size_t kChunk = 64;

    FolderBatch(FolderNames names, FileDescriptor fd, dev_t device, ino_t inode, std::vector<std::uint32_t> key,
                Prefetcher* owner);
    ~FolderBatch();
    FolderBatch(const FolderBatch&) = delete;
    FolderBatch& operator=(const FolderBatch&) = delete;

    const FolderNames& names() const { return m_names; }
    dev_t device() const { return m_device; }
    ino_t inode() const { return m_inode; }
    // Lets go of what only the workers need (its descriptor, folders read ahead); only
    // when no worker runs.
    void dropHelpers();

private:
    friend class Prefetcher;
    enum State : std::uint8_t { Pending, Taken, Done };

    std::size_t chunkCount() const { return (m_names.size() + kChunk - 1) / kChunk; }

    FolderNames m_names;
    FileDescriptor m_fd; // for the workers; the walk keeps a descriptor of its own
    dev_t m_device;
    ino_t m_inode;
    std::vector<std::uint32_t> m_key; // where the folder lies in the walk's order
    Prefetcher* m_owner;
    std::unique_ptr<std::atomic<std::uint8_t>[]> m_states;
    std::vector<std::unique_ptr<EntryData[]>> m_data;
    std::size_t m_scheduled = 0; // chunks handed to the workers so far (the walk's thread)
    std::mutex m_mutex;          // guards what follows
    std::unordered_map<std::uint32_t, std::shared_ptr<FolderBatch>> m_children; // read ahead
    std::vector<bool> m_childTaken;                                             // by index: the walk went in on its own
    std::uint32_t m_passed = 0; // the walk is past the entries before this one
};

// Reads folders and looks at their entries ahead of the walk on worker threads, so that
// on a cold disk many requests are under way at once, while the walk, on its own thread,
// takes everything in its exact order. Work goes first to what the walk needs soonest (the
// order of the walk itself). Nothing is done twice: the walk takes what a worker made,
// and does itself what no worker has started. The look-ahead is bounded (folders read
// ahead, names held), so memory stays flat; with no workers the walk does it all.
class Prefetcher {
public:
    // How many workers a walk gets: requests under way at once are what a cold disk needs,
    // not processors.
    static constexpr int kWorkers = 8;

    // workers 0: nothing runs ahead. subfolders: whether the walk will enter subfolders,
    // so reading them ahead is worth it.
    Prefetcher(int workers, bool subfolders);
    // Stops the workers at once.
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // A folder the walk has read itself: fd is the walk's descriptor, which the workers
    // get a copy of (when one can be had). key: the folder's place in the walk's order.
    std::shared_ptr<FolderBatch> adopt(FolderNames names, int fd, dev_t device, ino_t inode,
                                       std::vector<std::uint32_t> key);
    // The subfolder at index of parent as a worker read it, or null; either way the
    // workers leave that subfolder to the walk from now on.
    std::shared_ptr<FolderBatch> takeChild(FolderBatch& parent, std::uint32_t index);
    // The entry at index of batch, looked at now unless a worker did or is doing it.
    // Indexes come in order; a chunk the walk is past is let go.
    const EntryData& entry(const std::shared_ptr<FolderBatch>& batch, std::uint32_t index, int walkFd);
    // Out of descriptors: stops the workers and gives back every descriptor they hold.
    void releaseDescriptors();

private:
    friend class FolderBatch;
    struct Task {
        std::vector<std::uint32_t> key;
        bool read;                          // read a subfolder; else look at a chunk
        std::shared_ptr<FolderBatch> batch; // the folder, or the parent of the one to read
        std::uint32_t index;                // the chunk, or the subfolder's entry
    };
    struct Later {
        bool operator()(const Task& a, const Task& b) const;
    };

    void schedule(FolderBatch& batch, const std::shared_ptr<FolderBatch>& shared, std::size_t upToChunk);
    void work();
    void computeChunk(FolderBatch& batch, std::size_t chunk, int fd);
    void readChild(const std::shared_ptr<FolderBatch>& parent, std::uint32_t index);
    void stopWorkers();

    bool m_subfolders;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Task> m_queue; // a heap, soonest needed first
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<std::int64_t> m_heldNames{0};
    std::atomic<int> m_heldFolders{0};
    std::vector<std::thread> m_workers;
};

} // namespace zintrel
