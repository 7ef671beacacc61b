#include "FolderWalk.h"

#include "ListingOptions.h"
#include "ListingRunState.h"
#include "ListingText.h"
#include "platform/DateTimeText.h"
#include "platform/OutputFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
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

struct EntryData {
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
    std::time_t time = 0;
    bool enterable = false; // a real folder, not one reached through a link
    dev_t device = 0;
    ino_t inode = 0;
};

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
bool readEntry(int dirFd, const char* name, EntryData& entry)
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
    std::size_t prefixLength = 0;      // length of its path with the final '/'
    std::size_t shownPrefixLength = 0; // the same as the Path column shows it
    int level = 1;
};

class Walker {
public:
    Walker(ListingRunState& state, const ListingOptions& options, std::uint32_t attributeMask,
           const WalkContext& context)
        : m_state(state)
        , m_options(options)
        , m_attributeMask(attributeMask)
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
        m_shownPath.clear();
        appendOneLine(m_shownPath, m_path);
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
        frame.shownPrefixLength = m_shownPath.size();
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
        if (m_context.progress)
            m_context.progress->folderEntered(m_path, m_state.folderCount, m_state.fileCount);
        m_frames.push_back(std::move(frame));
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
        if (!m_frames.empty()) {
            m_path.resize(m_frames.back().prefixLength);
            m_shownPath.resize(m_frames.back().shownPrefixLength);
        }
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

        EntryData entry;
        if (!readEntry(frame.fd, name, entry))
            return; // gone since the folder was read
        if ((entry.attributes & ~m_attributeMask) != 0 || isOwnFile(entry))
            return;
        bool isFolder = (entry.attributes & kDirectory) != 0;
        if (m_state.foldersOnly && !isFolder)
            return;

        if (passesFilters(entry, name, isFolder))
            writeLine(entry, name, isFolder, frame);

        if (isFolder && entry.enterable && m_state.includeSubfolders)
            descend(frame, name, entry);
    }

    bool isOwnFile(const EntryData& entry) const
    {
        for (const auto& [device, inode] : m_state.ownFiles) {
            if (device == entry.device && inode == entry.inode)
                return true;
        }
        return false;
    }

    bool passesFilters(const EntryData& entry, const char* name, bool isFolder)
    {
        if (m_options.sizeFilterEnabled) {
            std::int64_t sizeValueKb = roundedKb(entry.size) + 1;
            if (m_options.sizeFilterMode == SizeFilterMode::AtLeast && sizeValueKb < m_options.sizeFilterKb)
                return false;
            if (m_options.sizeFilterMode == SizeFilterMode::AtMost && sizeValueKb > m_options.sizeFilterKb)
                return false;
        }
        if (m_state.dateFilterActive && (entry.time < m_state.dateLow || entry.time >= m_state.dateHighEnd))
            return false;
        if (!m_state.maskList.empty()) {
            if (isFolder)
                return false;
            std::string upper = toUpperAscii(name);
            for (const std::string& mask : m_state.maskList) {
                if (matchesMask(upper, mask))
                    return true;
            }
            return false;
        }
        return true;
    }

    void appendNumber(std::int64_t value)
    {
        char buffer[24];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        m_line.append(buffer, result.ptr);
    }

    void writeLine(const EntryData& entry, const char* name, bool isFolder, const Frame& frame)
    {
        const std::string& separator = m_state.fieldSeparator;
        std::int64_t kb = roundedKb(entry.size);
        m_line.assign(std::max(1, (frame.level - 1) * m_state.indentSize), ' ');
        if (m_options.showName) {
            appendOneLine(m_line, name);
            m_line += separator;
        }
        if (m_options.showSize) {
            appendNumber(isFolder ? kb : kb + 1);
            m_line += " Kb";
            m_line += separator;
        }
        if (m_options.showAttributes) {
            static constexpr char kLetters[] = "RHSVDA";
            for (int bit = 0; bit < 6; ++bit) {
                if (entry.attributes & (1u << bit))
                    m_line += kLetters[bit];
            }
            m_line += separator;
        }
        if (m_options.showDateTime) {
            m_context.dates->append(m_line, entry.time);
            m_line += separator;
        }
        if (m_options.showPath) {
            m_line += m_shownPath;
            appendOneLine(m_line, name);
            m_line += separator;
        }
        if (m_options.showLevel) {
            appendNumber(frame.level);
            m_line += separator;
        }
        m_line += "\r\n";
        m_state.listingFile->write(m_line);

        if (isFolder)
            ++m_state.folderCount;
        else
            ++m_state.fileCount;
        m_state.totalSizeKb += kb + 1;
    }

    void descend(Frame& frame, const char* name, const EntryData& entry)
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
        std::size_t shownLength = m_shownPath.size();
        m_path += name;
        m_path += '/';
        appendOneLine(m_shownPath, name);
        m_shownPath += '/';
        if (!pushFrame(fd, level)) {
            m_path.resize(pathLength);
            m_shownPath.resize(shownLength);
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

    ListingRunState& m_state;
    const ListingOptions& m_options;
    std::uint32_t m_attributeMask;
    const WalkContext& m_context;
    const int m_openLevels;
    std::vector<Frame> m_frames;
    std::string m_path;      // the folder being read, with its final '/'
    std::string m_shownPath; // m_path made fit for one line, once per folder
    std::string m_line;
};

} // namespace

void walkFolder(ListingRunState& state, const ListingOptions& options, const std::string& folder,
                std::uint32_t attributeMask, int level, const WalkContext& context)
{
    Walker walker(state, options, attributeMask, context);
    walker.run(folder, level);
}

} // namespace zintrel
