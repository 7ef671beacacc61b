#include "FolderWalk.h"

#include "FolderSearch.h"
#include "Prefetcher.h"
#include "platform/IoError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zintrel {

namespace {

// Every folder's names are read at once, to be put in name order. Levels up to this depth
// keep their folder open while the walk is below them (for the entries still to look at);
// deeper levels give their descriptor back while a child is walked. Fewer where the
// process may open few files.
constexpr int kMaxOpenLevels = 48;
constexpr rlim_t kReservedDescriptors = 16;
// Below this many descriptors the workers' own (one a folder read ahead) would crowd the
// walk; it then works alone.
constexpr rlim_t kDescriptorsForWorkers = 512;

rlim_t descriptorLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return RLIM_INFINITY;
    return limit.rlim_cur;
}

int openLevels()
{
    rlim_t limit = descriptorLimit();
    if (limit == RLIM_INFINITY)
        return kMaxOpenLevels;
    if (limit <= kReservedDescriptors + 2)
        return 1;
    return static_cast<int>(std::min<rlim_t>(kMaxOpenLevels, (limit - kReservedDescriptors) / 2));
}

int prefetchWorkers(const WalkContext& context)
{
    if (context.workers >= 0)
        return context.workers;
    return descriptorLimit() >= kDescriptorsForWorkers ? Prefetcher::kWorkers : 0;
}

bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

struct Frame {
    int fd = -1;                        // -1 while given back (reopened through a child's "..")
    std::shared_ptr<FolderBatch> batch; // its names, read at once, and its entries' data
    std::uint32_t nextName = 0;         // in order
    bool releases = false;              // gives its descriptor back while a child is walked
    bool broken = false;                // its descriptor could not be taken back
    bool reported = false;              // already named as a folder that could not be read
    dev_t device = 0;
    ino_t inode = 0;
    std::size_t prefixLength = 0; // length of its path with the final '/'
    int level = 1;
};

class Walker {
public:
    Walker(WalkSink& sink, const WalkContext& context)
        : m_sink(sink)
        , m_context(context)
        , m_openLevels(openLevels())
        , m_prefetcher(prefetchWorkers(context), context.subfolders)
    {
    }

    ~Walker()
    {
        for (Frame& frame : m_frames)
            closeFrame(frame);
    }

    void run(const std::string& folder, int level)
    {
        m_path = folder;
        if (m_path.empty() || m_path.back() != '/')
            m_path += '/';
        int fd = openRetrying(AT_FDCWD, folder.c_str(), 0);
        if (fd < 0)
            throw startFolderError(errno, folder);
        if (int error = pushFrame(fd, level, nullptr))
            throw startFolderError(error, folder);
        while (!m_frames.empty())
            step();
    }

private:
    // Opens a folder; out of descriptors, gives back those of the levels above and tries
    // again. Below the start a link is never followed.
    int openRetrying(int dirFd, const char* name, int extraFlags = O_NOFOLLOW)
    {
        for (;;) {
            int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
            if (fd >= 0 || !outOfDescriptors(errno) || !giveBackDescriptor())
                return fd;
        }
    }

    // Closes the descriptor of the outermost level that still holds one, the current folder
    // excepted; from here on every level gives its descriptor back while below it.
    bool giveBackDescriptor()
    {
        // The workers' descriptors go first; the walk goes on alone.
        if (!m_alone) {
            m_alone = true;
            m_prefetcher.releaseDescriptors();
            for (Frame& frame : m_frames)
                frame.batch->dropHelpers();
            return true;
        }
        m_openLevels = 0;
        for (std::size_t i = 0; i + 1 < m_frames.size(); ++i) {
            Frame& frame = m_frames[i];
            frame.releases = true;
            if (frame.fd >= 0) {
                closeFrame(frame);
                return true;
            }
        }
        return false;
    }

    // 0, or the errno that kept the folder from being read. readAhead: the folder as a
    // worker read it, if one did.
    int pushFrame(int fd, int level, std::shared_ptr<FolderBatch> readAhead)
    {
        Frame frame;
        // The folder as opened, not as its entry was seen earlier: it may have been replaced
        // by another under the same name in between, and all of it is read from this one.
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            int error = errno;
            ::close(fd);
            return error;
        }
        // What a worker read is taken only when it is the very folder the walk opened.
        if (readAhead && readAhead->device() == st.st_dev && readAhead->inode() == st.st_ino) {
            frame.batch = std::move(readAhead);
        } else {
            FolderNames names;
            if (int error = readFolderNames(fd, names)) {
                ::close(fd);
                return error;
            }
            frame.batch = m_prefetcher.adopt(std::move(names), fd, st.st_dev, st.st_ino, m_key);
        }
        frame.fd = fd;
        frame.device = st.st_dev;
        frame.inode = st.st_ino;
        frame.level = level;
        frame.prefixLength = m_path.size();
        frame.releases = static_cast<int>(m_frames.size()) >= m_openLevels;
        m_frames.push_back(std::move(frame));
        m_sink.folderEntered(m_path, level);
        return 0;
    }

    static void closeFrame(Frame& frame)
    {
        if (frame.fd >= 0)
            ::close(frame.fd);
        frame.fd = -1;
    }

    // Names a folder (the innermost one, or one of its entries) that could not be read.
    void reportUnreadable(std::string_view path, int error)
    {
        if (path.size() > 1 && path.back() == '/')
            path.remove_suffix(1);
        m_sink.folderUnreadable(path, error);
    }

    void reportFrame(Frame& frame, int error)
    {
        if (frame.reported)
            return;
        frame.reported = true;
        reportUnreadable(std::string_view(m_path).substr(0, frame.prefixLength), error);
    }

    // Leaves the innermost folder and gives its parent its descriptor back if needed.
    void popFrame()
    {
        std::size_t childIndex = m_frames.size() - 1;
        if (childIndex > 0) {
            Frame& parent = m_frames[childIndex - 1];
            Frame& child = m_frames[childIndex];
            if (parent.fd < 0 && !parent.broken) {
                int fd = child.fd >= 0 ? openRetrying(child.fd, "..", 0) : -1;
                int error = fd >= 0 ? 0 : errno;
                struct stat st {};
                if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == parent.device && st.st_ino == parent.inode) {
                    parent.fd = fd;
                } else {
                    if (fd >= 0)
                        ::close(fd);
                    if (outOfDescriptors(error))
                        throw IoError(error, std::string(m_path, 0, parent.prefixLength));
                    // The folder moved while we were below it; what is left of it is unreachable.
                    parent.broken = true;
                    m_path.resize(parent.prefixLength);
                    if (parent.nextName < parent.batch->names().size())
                        reportFrame(parent, error != 0 ? error : ENOENT);
                }
            }
        }
        closeFrame(m_frames[childIndex]);
        m_frames.pop_back();
        if (!m_key.empty() && childIndex > 0)
            m_key.pop_back();
        m_sink.folderLeft();
        if (!m_frames.empty())
            m_path.resize(m_frames.back().prefixLength);
    }

    void step()
    {
        Frame& frame = m_frames.back();
        if (frame.broken || frame.nextName >= frame.batch->names().size()) {
            popFrame();
            return;
        }
        m_context.cancel.check();

        const std::uint32_t index = frame.nextName++;
        const char* name = frame.batch->names().name(index);
        const EntryData& data = m_prefetcher.entry(frame.batch, index, frame.fd);
        if (data.error != 0) {
            // Gone since the folder was read is no loss; a folder whose entries cannot be
            // looked at is.
            if (data.error != ENOENT)
                reportFrame(frame, data.error);
            return;
        }
        WalkEntry entry;
        entry.name = name;
        entry.folder = m_path;
        entry.level = frame.level;
        entry.size = data.size;
        entry.attributes = data.attributes;
        entry.time = data.time;
        entry.enterable = data.enterable;
        entry.device = data.device;
        entry.inode = data.inode;
        if (m_sink.entry(entry) && entry.enterable)
            descend(frame, index, name, entry);
    }

    void descend(Frame& frame, std::uint32_t index, const char* name, const WalkEntry& entry)
    {
        std::size_t parentIndex = m_frames.size() - 1;
        std::size_t pathLength = m_path.size();
        m_path += name;
        m_path += '/';
        int fd = openRetrying(frame.fd, name);
        if (fd < 0) {
            int error = errno;
            if (outOfDescriptors(error))
                throw IoError(error, std::string(m_path, 0, m_path.size() - 1));
            // Gone, or replaced by something that is no folder, since it was looked at.
            if (error != ENOENT && error != ENOTDIR && error != ELOOP)
                reportUnreadable(m_path, error);
            m_path.resize(pathLength);
            return;
        }
        if (entry.device != frame.device && isPseudoFileSystem(fd)) {
            ::close(fd);
            m_path.resize(pathLength);
            return;
        }
        std::shared_ptr<FolderBatch> readAhead = m_prefetcher.takeChild(*frame.batch, index);
        m_key.push_back(index);
        if (int error = pushFrame(fd, frame.level + 1, std::move(readAhead))) {
            m_key.pop_back();
            reportUnreadable(m_path, error);
            m_path.resize(pathLength);
            return;
        }
        // Below the open levels a folder hands its descriptor back while a child is walked;
        // popFrame() takes it back through the child's "..".
        Frame& parent = m_frames[parentIndex];
        if (parent.releases)
            closeFrame(parent);
    }

    WalkSink& m_sink;
    const WalkContext& m_context;
    int m_openLevels;
    // Before the frames: their folders' data refer to it, and go first.
    Prefetcher m_prefetcher;
    bool m_alone = false; // the workers have been stopped for want of descriptors
    std::vector<Frame> m_frames;
    std::vector<std::uint32_t> m_key; // the walk's place: the index of each folder entered
    std::string m_path;               // the folder being read, with its final '/'
};

} // namespace

IoError startFolderError(int error, const std::string& folder)
{
    return IoError(error, folder, outOfDescriptors(error) ? kStartFolderTooManyFiles : kUnreadableStartFolder);
}

void walkFolder(const std::string& folder, int level, WalkSink& sink, const WalkContext& context)
{
    Walker walker(sink, context);
    walker.run(folder, level);
}

} // namespace zintrel
