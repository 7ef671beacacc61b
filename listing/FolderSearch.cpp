#include "FolderSearch.h"

#include "Capitals.h"
#include "EntryFilter.h"
#include "NameOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace zintrel {

namespace {

constexpr std::size_t kNameBuffer = 32 * 1024;

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

// The names of a folder, each ending in '\0', and where each begins (in name order once
// sorted). Returns 0 or the errno of a failed read.
int readNames(int fd, FolderNames& folder)
{
    std::vector<char>& names = folder.names;
    std::vector<std::uint32_t>& order = folder.order;
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
                folder.types.push_back(entry->d_type);
                names.insert(names.end(), name, name + std::strlen(name) + 1);
            }
            at += entry->d_reclen;
        }
    }
}

void sortByName(FolderNames& folder)
{
    const std::vector<char>& names = folder.names;
    std::vector<std::uint32_t>& order = folder.order;
    // Most names differ within their first sixteen bytes: those, put in capitals, make two
    // numbers that order them as nameLess does (a name holds no zero byte, so a short one
    // padded with zeros still comes first). Only names alike that far are compared whole.
    struct Span {
        std::uint64_t prefix[2];
        std::uint32_t start;
        std::uint32_t length; // each name ends where the next one starts
        unsigned char type;
    };
    const char* base = names.data();
    const std::uint32_t total = static_cast<std::uint32_t>(names.size());
    std::vector<Span> spans(order.size());
    std::vector<unsigned char> types(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        std::uint32_t end = i + 1 < order.size() ? order[i + 1] : total;
        Span& span = spans[i];
        span.start = order[i];
        span.length = end - order[i] - 1;
        span.type = folder.types[i];
        for (std::uint32_t word = 0; word < 2; ++word) {
            std::uint64_t value = 0;
            for (std::uint32_t k = word * 8; k < word * 8 + 8; ++k) {
                unsigned char c = k < span.length ? static_cast<unsigned char>(base[span.start + k]) : 0;
                value = value << 8 | capital(c);
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
    for (std::size_t i = 0; i < spans.size(); ++i) {
        order[i] = spans[i].start;
        types[i] = spans[i].type;
    }
    folder.types = std::move(types);
}

} // namespace

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

int readFolderNames(int fd, FolderNames& names)
{
    if (int error = readNames(fd, names))
        return error;
    sortByName(names);
    return 0;
}

// A link is listed with what it points to, a dangling one with its own data.
EntryData statEntry(int folderFd, const char* name)
{
    EntryData entry;
    struct stat st {};
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.error = errno;
        return entry;
    }
    entry.enterable = S_ISDIR(st.st_mode);
    entry.device = st.st_dev;
    entry.inode = st.st_ino;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::fstatat(folderFd, name, &target, 0) == 0)
            st = target;
    }
    entry.attributes = attributesOf(st, name);
    entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
    entry.time = st.st_mtim.tv_sec;
    return entry;
}

} // namespace zintrel
