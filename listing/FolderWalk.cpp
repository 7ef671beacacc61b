#include "FolderWalk.h"

#include "EntryFilter.h"
#include "NameOrder.h"
#include "SaveCancelled.h"
#include "platform/IoError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

// Every folder's names are read at once, to be put in name order. Levels up to this depth
// keep their folder open while the walk is below them (for the entries still to look at);
// deeper levels give their descriptor back while a child is walked. Fewer where the
// process may open few files.
constexpr int kMaxOpenLevels = 48;
constexpr rlim_t kReservedDescriptors = 16;
constexpr std::size_t kNameBuffer = 32 * 1024;

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

// The names of a folder, each ending in '\0', and where each begins (in name order once
// sorted). Returns 0 or the errno of a failed read.
int readNames(int fd, std::vector<char>& names, std::vector<std::uint32_t>& order)
{
    alignas(dirent64) char buffer[kNameBuffer];
    for (;;) {
        ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (names.size() + static_cast<std::size_t>(got) > UINT32_MAX)
            return EOVERFLOW;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            const char* name = entry->d_name;
            if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))) {
                order.push_back(static_cast<std::uint32_t>(names.size()));
                names.insert(names.end(), name, name + std::strlen(name) + 1);
            }
            at += entry->d_reclen;
        }
    }
}

void sortByName(const std::vector<char>& names, std::vector<std::uint32_t>& order)
{
    // Most names differ within their first sixteen bytes: those, put in capitals, make two
    // numbers that order them as nameLess does (a name holds no zero byte, so a short one
    // padded with zeros still comes first). Only names alike that far are compared whole.
    struct Span {
        std::uint64_t prefix[2];
        std::uint32_t start;
        std::uint32_t length; // each name ends where the next one starts
    };
    const char* base = names.data();
    const std::uint32_t total = static_cast<std::uint32_t>(names.size());
    std::vector<Span> spans(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        std::uint32_t end = i + 1 < order.size() ? order[i + 1] : total;
        Span& span = spans[i];
        span.start = order[i];
        span.length = end - order[i] - 1;
        for (std::uint32_t word = 0; word < 2; ++word) {
            std::uint64_t value = 0;
            for (std::uint32_t k = word * 8; k < word * 8 + 8; ++k) {
                unsigned char c = k < span.length ? static_cast<unsigned char>(base[span.start + k]) : 0;
                value = value << 8 | (c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
            }
            span.prefix[word] = value;
        }
    }
    std::sort(spans.begin(), spans.end(), [base](const Span& a, const Span& b) {
        if (a.prefix[0] != b.prefix[0])
            return a.prefix[0] < b.prefix[0];
        if (a.prefix[1] != b.prefix[1])
            return a.prefix[1] < b.prefix[1];
        return nameLess(std::string_view(base + a.start, a.length), std::string_view(base + b.start, b.length));
    });
    for (std::size_t i = 0; i < spans.size(); ++i)
        order[i] = spans[i].start;
}

bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

struct Frame {
    int fd = -1;             // -1 while given back (reopened through a child's "..")
    std::vector<char> names;           // read at once, so the descriptor can be given back
    std::vector<std::uint32_t> order;  // where each name begins, in name order
    std::size_t nextName = 0;          // in order
    bool releases = false;   // gives its descriptor back while a child is walked
    bool broken = false;     // its descriptor could not be taken back
    bool reported = false;   // already named as a folder that could not be read
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
        m_path = folder;
        if (m_path.empty() || m_path.back() != '/')
            m_path += '/';
        int fd = openRetrying(AT_FDCWD, folder.c_str(), 0);
        if (fd < 0)
            throw IoError(errno, folder, kUnreadableStartFolder);
        if (int error = pushFrame(fd, level))
            throw IoError(error, folder, kUnreadableStartFolder);
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

    // 0, or the errno that kept the folder from being read.
    // known: the folder's device and inode when its entry in the parent already told them.
    int pushFrame(int fd, int level, const WalkEntry* known = nullptr)
    {
        Frame frame;
        struct stat st {};
        if (known) {
            st.st_dev = known->device;
            st.st_ino = known->inode;
        }
        int error = known || ::fstat(fd, &st) == 0 ? readNames(fd, frame.names, frame.order) : errno;
        if (error != 0) {
            ::close(fd);
            return error;
        }
        sortByName(frame.names, frame.order);
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

    const char* nextName(Frame& frame)
    {
        if (frame.broken || frame.nextName >= frame.order.size())
            return nullptr;
        return frame.names.data() + frame.order[frame.nextName++];
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
                    if (parent.nextName < parent.order.size())
                        reportFrame(parent, error != 0 ? error : ENOENT);
                }
            }
        }
        closeFrame(m_frames[childIndex]);
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

        WalkEntry entry;
        if (!readEntry(frame.fd, name, entry)) {
            // Gone since the folder was read is no loss; a folder whose entries cannot be
            // looked at is.
            if (errno != ENOENT)
                reportFrame(frame, errno);
            return;
        }
        entry.name = name;
        entry.level = frame.level;
        if (m_sink.entry(entry) && entry.enterable)
            descend(frame, name, entry);
    }

    void descend(Frame& frame, const char* name, const WalkEntry& entry)
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
        if (int error = pushFrame(fd, frame.level + 1, &entry)) {
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
