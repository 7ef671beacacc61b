#include "FolderReading.h"

#include "listing/NameOrder.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

namespace {

enum class Want { Folders, Files };

// One pass of readdir; the entry type usually comes with the name, so a folder of 100,000
// files costs no stat per entry.
Names readFolder(const QByteArray& folder, Want want)
{
    Names names;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    int fd = ::dirfd(dir);
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        bool wanted = false;
        if (want == Want::Folders) {
            if (entry->d_type == DT_DIR) {
                wanted = true;
            } else if (entry->d_type == DT_UNKNOWN) {
                struct stat st {};
                wanted = ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
            }
        } else {
            if (name[0] == '.')
                continue;
            if (entry->d_type == DT_REG) {
                wanted = true;
            } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat st {};
                wanted = ::fstatat(fd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
            }
        }
        if (wanted)
            names << QByteArray(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QByteArray& a, const QByteArray& b) {
        return nameLess(std::string_view(a.constData(), a.size()), std::string_view(b.constData(), b.size()));
    });
    return names;
}

} // namespace

Names subfolderNames(const QByteArray& folder) { return readFolder(folder, Want::Folders); }

Names visibleFileNames(const QByteArray& folder) { return readFolder(folder, Want::Files); }

QString shownName(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

QByteArray childPath(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace zintrel
