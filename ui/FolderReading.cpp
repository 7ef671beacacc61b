#include "FolderReading.h"

#include <QFile>

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
QStringList readFolder(const QString& folder, Want want)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
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
            names << QFile::decodeName(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), lessByName);
    return names;
}

} // namespace

bool lessByName(const QString& a, const QString& b)
{
    int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QStringList subfolderNames(const QString& folder)
{
    return readFolder(folder, Want::Folders);
}

QStringList visibleFileNames(const QString& folder)
{
    return readFolder(folder, Want::Files);
}

} // namespace zintrel
