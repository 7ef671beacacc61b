#include "FolderWalk.h"

#include "EntryFilter.h"
#include "SaveCancelled.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace zintrel {

namespace {

// Levels up to this depth keep their folder open while the walk is below them; deeper
// levels read their names first and give their descriptor back while a child is walked.
// Fewer where the process may open few files.
constexpr int kMaxOpenLevels = 48;
constexpr rlim_t kReservedDescriptors = 16;

int openLevels()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMaxOpenLevels;
    if (limit.rlim_cur <= kReservedDescriptors + 2)
        return 1;
    return static_cast<int>(std::min<rlim_t>(kMaxOpenLevels, (limit.rlim_cur - kReservedDescriptors) / 2));
}

// Kernel file systems that hold no user files and may never end (proc, sysfs, ...).
bool isPseudoFileSystem(int fd)
{
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case TRACEFS_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case BINFMTFS_MAGIC:
    case EFIVARFS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case 0x6e736673: // nsfs
        return true;
    default:
        return false;
    }
}

std::uint32_t attributesOf(const struct stat& st, const char* name)
{
    std::uint32_t attributes = 0;
    if (!(st.st_mode & S_IWUSR))
        attributes |= kReadOnly;
    if (name[0] == '.')
        attributes |= kHidden;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        attributes |= kSystem;
    if (S_ISDIR(st.st_mode))
        attributes |= kDirectory;
    if (S_ISREG(st.st_mode))
        attributes |= kArchive;
    return attributes;
}

// A link is listed with what it points to, a dangling one with its own data.
bool readEntry(int dirFd, const char* name, WalkEntry& entry)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    entry.enterable = S_ISDIR(st.st_mode);
    entry.device = st.st_dev;
    entry.inode = st.st_ino;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::fstatat(dirFd, name, &target, 0) == 0)
            st = target;
    }
    entry.attributes = attributesOf(st, name);
    entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
    entry.time = st.st_mtim.tv_sec;
    return true;
}

struct Frame {
    int fd = -1;
    DIR* dir = nullptr;         // set while the folder streams its entries
    std::vector<char> names;    // otherwise: its names, each ending in '\0'
    std::size_t nextName = 0;
    bool buffered = false;
    bool broken = false;        // its descriptor could not be taken back
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
    {
    }

    ~Walker()
    {
        for (Frame& frame : m_frames)
            closeFrame(frame);
    }

    void run(const std::string& folder, int level)
    {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        m_path = folder;
        if (m_path.empty() || m_path.back() != '/')
            m_path += '/';
        if (!pushFrame(fd, level))
            return;
        while (!m_frames.empty())
            step();
    }

private:
    bool pushFrame(int fd, int level)
    {
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            return false;
        }
        Frame frame;
        frame.fd = fd;
        frame.device = st.st_dev;
        frame.inode = st.st_ino;
        frame.level = level;
        frame.prefixLength = m_path.size();
        frame.buffered = static_cast<int>(m_frames.size()) >= m_openLevels;
        int dirFd = frame.buffered ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : fd;
        DIR* dir = dirFd >= 0 ? ::fdopendir(dirFd) : nullptr;
        if (!dir) {
            if (dirFd >= 0 && dirFd != fd)
                ::close(dirFd);
            ::close(fd);
            return false;
        }
        if (frame.buffered) {
            while (const dirent* entry = ::readdir(dir)) {
                std::size_t length = std::strlen(entry->d_name);
                frame.names.insert(frame.names.end(), entry->d_name, entry->d_name + length + 1);
            }
            ::closedir(dir);
        } else {
            frame.dir = dir;
        }
        m_frames.push_back(std::move(frame));
        m_sink.folderEntered(m_path, level);
        return true;
    }

    static void closeFrame(Frame& frame)
    {
        if (frame.dir) {
            ::closedir(frame.dir); // closes frame.fd as well
            frame.dir = nullptr;
        } else if (frame.fd >= 0) {
            ::close(frame.fd);
        }
        frame.fd = -1;
    }

    const char* nextName(Frame& frame)
    {
        if (frame.broken)
            return nullptr;
        if (frame.dir) {
            const dirent* entry = ::readdir(frame.dir);
            return entry ? entry->d_name : nullptr;
        }
        if (frame.nextName >= frame.names.size())
            return nullptr;
        const char* name = frame.names.data() + frame.nextName;
        frame.nextName += std::strlen(name) + 1;
        return name;
    }

    // Leaves the innermost folder and gives its parent its descriptor back if needed.
    void popFrame()
    {
        Frame& child = m_frames.back();
        if (m_frames.size() >= 2) {
            Frame& parent = m_frames[m_frames.size() - 2];
            if (parent.fd < 0 && !parent.broken) {
                int fd = child.fd >= 0 ? ::openat(child.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
                struct stat st {};
                if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == parent.device && st.st_ino == parent.inode) {
                    parent.fd = fd;
                } else {
                    // The folder moved while we were below it; what is left of it is unreachable.
                    if (fd >= 0)
                        ::close(fd);
                    parent.broken = true;
                }
            }
        }
        closeFrame(child);
        m_frames.pop_back();
        m_sink.folderLeft();
        if (!m_frames.empty())
            m_path.resize(m_frames.back().prefixLength);
    }

    void step()
    {
        Frame& frame = m_frames.back();
        const char* name = nextName(frame);
        if (!name) {
            popFrame();
            return;
        }
        if (m_context.cancel && m_context.cancel->load(std::memory_order_relaxed))
            throw SaveCancelled{};
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            return;

        WalkEntry entry;
        if (!readEntry(frame.fd, name, entry))
            return; // gone since the folder was read
        entry.name = name;
        entry.level = frame.level;
        if (m_sink.entry(entry) && entry.enterable)
            descend(frame, name, entry);
    }

    void descend(Frame& frame, const char* name, const WalkEntry& entry)
    {
        if (frame.fd < 0)
            return;
        int fd = ::openat(frame.fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return;
        if (entry.device != frame.device && isPseudoFileSystem(fd)) {
            ::close(fd);
            return;
        }
        int level = frame.level + 1;
        std::size_t parentIndex = m_frames.size() - 1;
        std::size_t pathLength = m_path.size();
        m_path += name;
        m_path += '/';
        if (!pushFrame(fd, level)) {
            m_path.resize(pathLength);
            return;
        }
        // Below the open levels a folder hands its descriptor back while a child is walked;
        // popFrame() takes it back through the child's "..".
        Frame& parent = m_frames[parentIndex];
        if (parent.buffered) {
            ::close(parent.fd);
            parent.fd = -1;
        }
    }

    WalkSink& m_sink;
    const WalkContext& m_context;
    const int m_openLevels;
    std::vector<Frame> m_frames;
    std::string m_path; // the folder being read, with its final '/'
};

} // namespace

void walkFolder(const std::string& folder, int level, WalkSink& sink, const WalkContext& context)
{
    Walker walker(sink, context);
    walker.run(folder, level);
}

} // namespace zintrel
