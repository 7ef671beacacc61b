#include "TempFile.h"

#include "IoError.h"
#include "SaveSteps.h"
#include "SignalCleanup.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zintrel {

namespace {

constexpr int kNameAttempts = 100;
constexpr int kRandomCharacters = 6;

// The errors by which a file system says it cannot make a file without a name.
bool noAnonymousFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

struct TemporaryName {
    std::string_view prefix;
    std::string_view suffix;
};

// The names this program gives its temporary files: the content beside a target, the
// scratch copy of an in-place save, the plain listing of a PDF and a PDF's drawings.
constexpr TemporaryName kTemporaryNames[] = {
    {".zintrel-", ".part"},
    {"zintrel-scratch-", ".part"},
    {"zintrel-listing-", ".txt"},
    {"zintrel-pdf-", ".pdf"},
};

bool isOwnTemporaryName(std::string_view name)
{
    for (const TemporaryName& kind : kTemporaryNames) {
        if (name.size() != kind.prefix.size() + kRandomCharacters + kind.suffix.size() || !name.starts_with(kind.prefix)
            || !name.ends_with(kind.suffix))
            continue;
        std::string_view random = name.substr(kind.prefix.size(), kRandomCharacters);
        auto ours = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
        if (std::all_of(random.begin(), random.end(), ours))
            return true;
    }
    return false;
}

// Locks the whole file for as long as this open file lives: an open file description lock,
// which no other descriptor of the file, in this process or another, can drop. 0, or the
// errno: EAGAIN or EACCES when another holds a lock that conflicts.
int lockFile(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however far it grows
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

bool heldByAnother(int error) { return error == EAGAIN || error == EACCES; }

} // namespace

std::string temporaryFolder()
{
    const char* dir = std::getenv("TMPDIR");
    if (dir && dir[0] == '/')
        return dir;
    return "/tmp";
}

std::string uniqueName(const std::string& prefix, const std::string& suffix)
{
    static const char kCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[kRandomCharacters];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet: the O_EXCL creation still keeps the name ours.
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(std::rand());
    }
    std::string name = prefix;
    for (unsigned char byte : bytes)
        name += kCharacters[byte % (sizeof kCharacters - 1)];
    return name + suffix;
}

TempFile::TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
                   const std::string& displayPath, mode_t mode)
    : m_folder(folder)
    , m_displayPath(displayPath)
    , m_prefix(prefix)
    , m_suffix(suffix)
{
    m_folderFd.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!m_folderFd)
        throw IoError(errno, m_displayPath, "Temporary file in " + m_folder);
    create(prefix, suffix, mode);
}

TempFile::TempFile(int folderFd, const std::string& folder, const std::string& prefix, const std::string& suffix,
                   const std::string& displayPath, mode_t mode)
    : m_folder(folder)
    , m_displayPath(displayPath)
    , m_prefix(prefix)
    , m_suffix(suffix)
{
    m_folderFd.reset(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    if (!m_folderFd)
        throw IoError(errno, m_displayPath, "Temporary file in " + m_folder);
    create(prefix, suffix, mode);
}

void TempFile::create(const std::string& prefix, const std::string& suffix, mode_t mode)
{
    const int folderFd = m_folderFd.get();
    m_fd.reset(::openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (m_fd) {
        // Nobody can see it before it is locked; the lock matters once it gets a name.
        lockFile(m_fd.get(), F_WRLCK);
        return;
    }
    if (!noAnonymousFiles(errno))
        throw IoError(errno, m_displayPath, "Temporary file in " + m_folder);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        m_name = uniqueName(prefix, suffix);
        // Registered first, so that a signal on any thread while the file is being made
        // still finds it. Should the name be taken after all, a signal in this moment
        // would remove another save's temporary file, which that save only reaches
        // through its open descriptor.
        m_cleanup = std::make_unique<SignalCleanup>(folderFd, m_name);
        m_fd.reset(::openat(folderFd, m_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        const int error = errno;
        if (m_fd) {
            // The signal's cleanup may have run just before the file was there.
            if (SignalCleanup::ending()) {
                ::unlinkat(folderFd, m_name.c_str(), 0);
                return;
            }
            if (lockedAsOurs(folderFd))
                return;
            m_fd.reset();
            m_name.clear();
            m_cleanup.reset();
            errno = EEXIST;
            continue;
        }
        m_name.clear();
        m_cleanup.reset();
        errno = error;
        if (errno != EEXIST)
            break;
    }
    throw IoError(errno, m_displayPath, "Temporary file in " + m_folder);
}

bool TempFile::lockedAsOurs(int folderFd)
{
    const int error = lockFile(m_fd.get(), F_WRLCK);
    struct stat st {};
    if (error == 0)
        return ::fstat(m_fd.get(), &st) == 0 && st.st_nlink > 0;
    if (!heldByAnother(error))
        return true; // no locks on this file system, and so no sweep that could take the file
    // Between its making and its lock, a save's sweep took the file for one left over; it
    // goes, and another name is tried.
    struct stat there {};
    if (::fstat(m_fd.get(), &st) == 0 && ::fstatat(folderFd, m_name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0
        && sameFile(st, there))
        ::unlinkat(folderFd, m_name.c_str(), 0);
    return false;
}

TempFile::~TempFile() { remove(); }

std::string TempFile::path() const
{
    if (m_name.empty())
        return {};
    return m_folder.ends_with('/') ? m_folder + m_name : m_folder + "/" + m_name;
}

int TempFile::linkUnnamed(int folderFd, const std::string& name) const
{
    int rc = ::linkat(AT_FDCWD, procPath(m_fd.get()).c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW);
    // Without /proc only the privileged way is left.
    if (rc != 0 && errno == ENOENT)
        rc = ::linkat(m_fd.get(), "", folderFd, name.c_str(), AT_EMPTY_PATH);
    return rc;
}

void TempFile::linkAs(int folderFd, const std::string& name)
{
    int rc;
    if (anonymous()) {
        rc = linkUnnamed(folderFd, name);
    } else {
        // renameat would replace an existing name; the caller asked for EEXIST instead.
        rc = ::linkat(m_folderFd.get(), m_name.c_str(), folderFd, name.c_str(), 0);
        if (rc == 0)
            ::unlinkat(m_folderFd.get(), m_name.c_str(), 0);
    }
    if (rc != 0)
        throw IoError(errno, m_displayPath);
    m_name.clear();
    m_cleanup.reset();
}

void TempFile::replace(int folderFd, const std::string& name)
{
    if (!anonymous()) {
        if (::renameat(m_folderFd.get(), m_name.c_str(), folderFd, name.c_str()) != 0)
            throw IoError(errno, m_displayPath);
        m_name.clear();
        m_cleanup.reset();
        return;
    }
    // A file without a name cannot be renamed over another: it gets one beside the target
    // for the moment between the two steps.
    for (int attempt = 0;; ++attempt) {
        const std::string beside = uniqueName(m_prefix, m_suffix);
        SignalCleanup registered(folderFd, beside);
        if (linkUnnamed(folderFd, beside) != 0) {
            if (errno == EEXIST && attempt < kNameAttempts)
                continue;
            throw IoError(errno, m_displayPath);
        }
        reachSaveStep(kStepReplaceLinked);
        if (::renameat(folderFd, beside.c_str(), folderFd, name.c_str()) != 0) {
            const int error = errno;
            ::unlinkat(folderFd, beside.c_str(), 0);
            throw IoError(error, m_displayPath);
        }
        return;
    }
}

void TempFile::remove()
{
    if (!m_name.empty()) {
        ::unlinkat(m_folderFd.get(), m_name.c_str(), 0);
        m_name.clear();
    }
    m_cleanup.reset();
}

void removeStaleTemporaryFiles(int folderFd)
{
    FileDescriptor folder(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return;
    std::vector<std::string> candidates;
    {
        const int copy = ::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0);
        DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
        if (!dir) {
            if (copy >= 0)
                ::close(copy);
            return;
        }
        while (const dirent* entry = ::readdir(dir)) {
            if (isOwnTemporaryName(entry->d_name))
                candidates.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    const uid_t user = ::geteuid();
    for (const std::string& name : candidates) {
        FileDescriptor file(
            ::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != user)
            continue;
        // Its maker's lock goes only with the maker's open file, so a lock to be had means
        // nobody uses the file; a maker that has just made it and not yet locked it finds
        // our lock, or the file gone, and tries another name.
        if (lockFile(file.get(), F_RDLCK) != 0)
            continue;
        struct stat there {};
        if (::fstatat(folder.get(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(st, there))
            ::unlinkat(folder.get(), name.c_str(), 0);
    }
}

void removeStaleTemporaryFiles(const std::string& folder)
{
    FileDescriptor folderFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folderFd)
        removeStaleTemporaryFiles(folderFd.get());
}

} // namespace zintrel
