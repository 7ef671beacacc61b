#include "FolderReading.h"

#include "listing/NameOrder.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

namespace {

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool before(const QByteArray& a, const QByteArray& b)
{
    return nameLess(std::string_view(a.constData(), a.size()), std::string_view(b.constData(), b.size()));
}

// One pass of readdir; the entry type usually comes with the name, so a folder of 100,000
// entries costs a stat only for its links (and on file systems that give no type).
template <class Take> void readFolder(const QByteArray& folder, Take take)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    int fd = ::dirfd(dir);
    while (dirent* entry = ::readdir(dir)) {
        if (!isDotOrDotDot(entry->d_name))
            take(fd, entry);
    }
    ::closedir(dir);
}

// What an entry is when its type is not in the directory entry, or a link is followed.
bool statIs(int fd, const char* name, int flags, mode_t type)
{
    struct stat st {};
    return ::fstatat(fd, name, &st, flags) == 0 && (st.st_mode & S_IFMT) == type;
}

} // namespace

Subfolders subfolders(const QByteArray& folder)
{
    Subfolders found;
    readFolder(folder, [&](int fd, const dirent* entry) {
        const char* name = entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return;
            type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
        if (type == DT_DIR)
            found.append({QByteArray(name), false});
        else if (type == DT_LNK && statIs(fd, name, 0, S_IFDIR))
            found.append({QByteArray(name), true});
    });
    std::sort(found.begin(), found.end(),
              [](const Subfolder& a, const Subfolder& b) { return before(a.name, b.name); });
    return found;
}

Names visibleFileNames(const QByteArray& folder)
{
    Names names;
    readFolder(folder, [&](int fd, const dirent* entry) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            return;
        if (entry->d_type == DT_REG
            || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) && statIs(fd, name, 0, S_IFREG)))
            names << QByteArray(name);
    });
    std::sort(names.begin(), names.end(), before);
    return names;
}

QByteArray resolvedFolder(const QByteArray& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.constData(), nullptr), &std::free);
    return real ? QByteArray(real.get()) : path;
}

QString shownName(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

QByteArray childPath(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace zintrel
