#include "TempFile.h"

#include "IoError.h"
#include "SaveSteps.h"
#include "SignalCleanup.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

namespace {

constexpr int kNameAttempts = 100;
constexpr int kRandomCharacters = 6;

// The errors by which a file system says it cannot make a file without a name.
bool noAnonymousFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

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
    if (m_fd)
        return;
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
            if (SignalCleanup::ending())
                ::unlinkat(folderFd, m_name.c_str(), 0);
            return;
        }
        m_name.clear();
        m_cleanup.reset();
        errno = error;
        if (errno != EEXIST)
            break;
    }
    throw IoError(errno, m_displayPath, "Temporary file in " + m_folder);
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

} // namespace zintrel
