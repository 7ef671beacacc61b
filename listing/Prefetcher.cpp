#include "Prefetcher.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

namespace {

// Chunks of each folder looked at ahead of the walk's place in it. The window is topped up
// once half of it is used, not chunk by chunk: every top-up wakes the workers, and waking
// them costs the walk on a warm cache.
constexpr std::size_t kWindowChunks = 16;
constexpr std::size_t kTopUpChunks = kWindowChunks / 2;
// What may be read ahead: folders (one descriptor each) and the names they hold.
constexpr int kMaxHeldFolders = 64;
constexpr std::int64_t kMaxHeldNames = 200000;

} // namespace

FolderBatch::FolderBatch(FolderNames names, FileDescriptor fd, dev_t device, ino_t inode,
                         std::vector<std::uint32_t> key, Prefetcher* owner)
    : m_names(std::move(names))
    , m_fd(std::move(fd))
    , m_device(device)
    , m_inode(inode)
    , m_key(std::move(key))
    , m_owner(owner)
    , m_states(std::make_unique<std::atomic<std::uint8_t>[]>(chunkCount()))
    , m_data(chunkCount())
    , m_childTaken(m_names.size())
{
    if (m_owner) {
        m_owner->m_heldNames += static_cast<std::int64_t>(m_names.size());
        ++m_owner->m_heldFolders;
    }
}

FolderBatch::~FolderBatch()
{
    if (m_owner) {
        m_owner->m_heldNames -= static_cast<std::int64_t>(m_names.size());
        --m_owner->m_heldFolders;
    }
}

void FolderBatch::dropHelpers()
{
    m_fd.reset();
    std::lock_guard lock(m_mutex);
    m_children.clear();
}

bool Prefetcher::Later::operator()(const Task& a, const Task& b) const
{
    if (a.key != b.key)
        return b.key < a.key;
    // An entry is looked at before the walk goes into it.
    return a.read && !b.read;
}

Prefetcher::Prefetcher(int workers, bool subfolders)
    : m_subfolders(subfolders)
{
    m_running = workers > 0;
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { work(); });
}

Prefetcher::~Prefetcher() { stopWorkers(); }

void Prefetcher::stopWorkers()
{
    std::vector<Task> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_running = false;
        dropped.swap(m_queue);
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
    m_workers.clear();
}

void Prefetcher::releaseDescriptors() { stopWorkers(); }

std::shared_ptr<FolderBatch> Prefetcher::adopt(FolderNames names, int fd, dev_t device, ino_t inode,
                                               std::vector<std::uint32_t> key)
{
    // The workers need a descriptor of their own, as the walk gives its back while below a
    // folder; when none can be had, or enough are held, the walk does the folder alone.
    FileDescriptor copy;
    if (m_running && m_heldFolders.load() < kMaxHeldFolders)
        copy.reset(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    return std::make_shared<FolderBatch>(std::move(names), std::move(copy), device, inode, std::move(key), this);
}

std::shared_ptr<FolderBatch> Prefetcher::takeChild(FolderBatch& parent, std::uint32_t index)
{
    std::lock_guard lock(parent.m_mutex);
    parent.m_childTaken[index] = true;
    auto found = parent.m_children.find(index);
    if (found == parent.m_children.end())
        return nullptr;
    std::shared_ptr<FolderBatch> child = std::move(found->second);
    parent.m_children.erase(found);
    return child;
}

const EntryData& Prefetcher::entry(const std::shared_ptr<FolderBatch>& shared, std::uint32_t index, int walkFd)
{
    FolderBatch& batch = *shared;
    const std::size_t chunk = index / FolderBatch::kChunk;
    if (index % FolderBatch::kChunk == 0) {
        if (chunk > 0) {
            batch.m_data[chunk - 1].reset();
            // Subfolders the walk has passed without going in are no longer worth reading.
            std::lock_guard lock(batch.m_mutex);
            for (auto child = batch.m_children.begin(); child != batch.m_children.end();)
                child = child->first < index ? batch.m_children.erase(child) : std::next(child);
            batch.m_passed = index;
        }
        if (chunk == 0 || batch.m_scheduled <= chunk + kWindowChunks - kTopUpChunks)
            schedule(batch, shared, chunk + kWindowChunks);
    }
    std::atomic<std::uint8_t>& state = batch.m_states[chunk];
    std::uint8_t seen = FolderBatch::Pending;
    if (state.compare_exchange_strong(seen, FolderBatch::Taken, std::memory_order_acq_rel)) {
        computeChunk(batch, chunk, walkFd);
    } else {
        // A worker is at it; it is close to done, as it works on what the walk needs next.
        while ((seen = state.load(std::memory_order_acquire)) != FolderBatch::Done) {
            if (seen == FolderBatch::Pending && state.compare_exchange_strong(seen, FolderBatch::Taken)) {
                computeChunk(batch, chunk, walkFd);
                break;
            }
            state.wait(seen, std::memory_order_acquire);
        }
    }
    return batch.m_data[chunk][index % FolderBatch::kChunk];
}

void Prefetcher::schedule(FolderBatch& batch, const std::shared_ptr<FolderBatch>& shared, std::size_t upToChunk)
{
    upToChunk = std::min(upToChunk, batch.chunkCount());
    if (!m_running || !batch.m_fd || batch.m_scheduled >= upToChunk) {
        batch.m_scheduled = std::max(batch.m_scheduled, upToChunk);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t chunk = batch.m_scheduled; chunk < upToChunk; ++chunk) {
            const std::uint32_t first = static_cast<std::uint32_t>(chunk * FolderBatch::kChunk);
            std::vector<std::uint32_t> key = batch.m_key;
            key.push_back(first);
            m_queue.push_back(Task{std::move(key), false, shared, static_cast<std::uint32_t>(chunk)});
            std::push_heap(m_queue.begin(), m_queue.end(), Later{});
            if (!m_subfolders)
                continue;
            const std::size_t end = std::min(batch.m_names.size(), first + FolderBatch::kChunk);
            for (std::size_t i = first; i < end; ++i) {
                if (batch.m_names.types[i] != DT_DIR)
                    continue;
                std::vector<std::uint32_t> childKey = batch.m_key;
                childKey.push_back(static_cast<std::uint32_t>(i));
                m_queue.push_back(Task{std::move(childKey), true, shared, static_cast<std::uint32_t>(i)});
                std::push_heap(m_queue.begin(), m_queue.end(), Later{});
            }
        }
    }
    batch.m_scheduled = upToChunk;
    m_wake.notify_all();
}

void Prefetcher::work()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            std::pop_heap(m_queue.begin(), m_queue.end(), Later{});
            task = std::move(m_queue.back());
            m_queue.pop_back();
        }
        if (task.read) {
            readChild(task.batch, task.index);
            continue;
        }
        std::atomic<std::uint8_t>& state = task.batch->m_states[task.index];
        std::uint8_t pending = FolderBatch::Pending;
        if (state.compare_exchange_strong(pending, FolderBatch::Taken, std::memory_order_acq_rel))
            computeChunk(*task.batch, task.index, task.batch->m_fd.get());
    }
}

void Prefetcher::computeChunk(FolderBatch& batch, std::size_t chunk, int fd)
{
    const std::size_t first = chunk * FolderBatch::kChunk;
    const std::size_t end = std::min(batch.m_names.size(), first + FolderBatch::kChunk);
    auto data = std::make_unique<EntryData[]>(FolderBatch::kChunk);
    const bool worker = fd == batch.m_fd.get();
    std::atomic<std::uint8_t>& state = batch.m_states[chunk];
    for (std::size_t i = first; i < end; ++i) {
        if (worker && m_stop.load(std::memory_order_relaxed)) {
            // Stopped half way: the walk does the chunk itself.
            state.store(FolderBatch::Pending, std::memory_order_release);
            state.notify_all();
            return;
        }
        data[i - first] = statEntry(fd, batch.m_names.name(i));
    }
    batch.m_data[chunk] = std::move(data);
    state.store(FolderBatch::Done, std::memory_order_release);
    state.notify_all();
}

void Prefetcher::readChild(const std::shared_ptr<FolderBatch>& parent, std::uint32_t index)
{
    if (m_heldFolders.load() >= kMaxHeldFolders || m_heldNames.load() >= kMaxHeldNames)
        return; // the walk reads it when it gets there
    {
        std::lock_guard lock(parent->m_mutex);
        if (parent->m_childTaken[index] || index < parent->m_passed || parent->m_children.count(index))
            return;
    }
    FileDescriptor fd(
        ::openat(parent->m_fd.get(), parent->m_names.name(index), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    // Another file system below is left to the walk, which knows what it may enter.
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_dev != parent->m_device)
        return;
    FolderNames names;
    if (readFolderNames(fd.get(), names) != 0)
        return;
    std::vector<std::uint32_t> key = parent->m_key;
    key.push_back(index);
    auto child
        = std::make_shared<FolderBatch>(std::move(names), std::move(fd), st.st_dev, st.st_ino, std::move(key), this);
    schedule(*child, child, kWindowChunks);
    std::lock_guard lock(parent->m_mutex);
    if (!parent->m_childTaken[index] && index >= parent->m_passed)
        parent->m_children.emplace(index, std::move(child));
}

} // namespace zintrel
