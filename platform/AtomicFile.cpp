#include "AtomicFile.h"

#include "InputFile.h"
#include "IoError.h"
#include "OutputFile.h"
#include "SaveSteps.h"
#include "SignalCleanup.h"
#include "TempFile.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

namespace {

constexpr const char* kLoopText = "Its symbolic links lead round in a loop.";
constexpr std::size_t kCopyBuffer = 1 << 16;

// The path of an open file, as the kernel resolved it.
std::string resolvedPath(int fd)
{
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string path(PATH_MAX, '\0');
    ssize_t length = ::readlink(link.c_str(), path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(length));
    return path;
}

std::string folderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool folderRefusesNewFiles(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// The mode a newly created file gets from open(..., 0666) under the process's umask.
mode_t defaultFileMode()
{
    static mode_t mode = [] {
        mode_t mask = ::umask(022);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// Copies length bytes from the start of in to out.
void copyFrom(const InputFile& in, std::uint64_t offset, std::uint64_t length, OutputFile& out)
{
    std::string buffer(kCopyBuffer, '\0');
    while (length > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        std::size_t got = in.readAt(offset, buffer.data(), want);
        if (got != want)
            throw IoError(EIO, out.displayPath());
        out.write(std::string_view(buffer.data(), got));
        offset += got;
        length -= got;
    }
    out.flush();
}

} // namespace

AtomicFile::AtomicFile(const std::string& target, const std::string& scratchFolder)
    : m_target(target)
    , m_scratchFolder(scratchFolder)
{
    openTarget();
    // What earlier saves of this user left when they were killed outright goes now.
    if (m_folderFd)
        removeStaleTemporaryFiles(m_folderFd.get());
    removeStaleTemporaryFiles(m_scratchFolder);
}

AtomicFile::~AtomicFile()
{
    if (m_committed || !m_createdEnd)
        return;
    // The file we made at the end of a dangling link goes again, if it is still ours.
    struct stat ours {};
    struct stat now {};
    if (::fstat(m_targetFd.get(), &ours) == 0 && ours.st_size == 0
        && ::fstatat(m_folderFd.get(), m_name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(ours, now))
        ::unlinkat(m_folderFd.get(), m_name.c_str(), 0);
}

int AtomicFile::fd() const { return m_mode == Mode::Stream ? m_targetFd.get() : m_content->fd(); }

void AtomicFile::openTarget()
{
    // Opening for writing follows links as the kernel allows (fs.protected_symlinks among
    // its rules) and, with O_NONBLOCK, never waits for a pipe's reader.
    constexpr int kOpenFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    m_targetFd.reset(::open(m_target.c_str(), kOpenFlags));
    if (!m_targetFd && errno == ENOENT) {
        struct stat link {};
        if (::lstat(m_target.c_str(), &link) != 0) {
            // A new file.
            m_folderFd.reset(::open(folderOf(m_target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!m_folderFd)
                throw IoError(errno, m_target);
            m_name = nameOf(m_target);
            prepareReplace(m_target);
            return;
        }
        // A dangling link: the file it names is made, as writing through it would, and
        // taken away again should the save not come to its end.
        m_targetFd.reset(::open(m_target.c_str(), kOpenFlags | O_CREAT, 0666));
        m_createdEnd = static_cast<bool>(m_targetFd);
    }
    if (!m_targetFd) {
        int error = errno;
        throw IoError(error, m_target, error == ELOOP ? kLoopText : "");
    }

    struct stat st {};
    if (::fstat(m_targetFd.get(), &st) != 0)
        throw IoError(errno, m_target);
    if (!S_ISREG(st.st_mode)) {
        // Nothing stored there to damage: write straight through, waiting for the reader.
        int flags = ::fcntl(m_targetFd.get(), F_GETFL);
        if (flags < 0 || ::fcntl(m_targetFd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
            throw IoError(errno, m_target);
        m_mode = Mode::Stream;
        return;
    }
    m_targetExisted = !m_createdEnd;

    // The file the name leads to, in its own folder, checked to be the one we opened.
    std::string finalPath = resolvedPath(m_targetFd.get());
    struct stat there {};
    if (!finalPath.empty()) {
        m_folderFd.reset(::open(folderOf(finalPath).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        m_name = nameOf(finalPath);
    }
    if (!m_folderFd || ::fstatat(m_folderFd.get(), m_name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0
        || !sameFile(st, there))
        throw IoError(ESTALE, m_target);
    prepareReplace(finalPath);
}

void AtomicFile::prepareReplace(const std::string& finalPath)
{
    struct stat st {};
    bool keepMode = m_targetExisted && ::fstat(m_targetFd.get(), &st) == 0;
    mode_t mode = keepMode ? (st.st_mode & 07777) : defaultFileMode();
    try {
        m_content
            = std::make_unique<TempFile>(m_folderFd.get(), folderOf(finalPath), ".zintrel-", ".part", m_target, mode);
    } catch (const IoError& error) {
        if (!m_targetFd || !folderRefusesNewFiles(error.errorNumber()))
            throw IoError(error.errorNumber(), m_target);
        // The folder takes no new file, but the file itself may be written.
        m_content = std::make_unique<TempFile>(m_scratchFolder, "zintrel-scratch-", ".part", m_target);
        m_mode = Mode::InPlace;
        return;
    }
    // The umask may have taken bits the old file had; the owner is kept where we may.
    ::fchmod(m_content->fd(), mode);
    if (keepMode && ::fchown(m_content->fd(), st.st_uid, st.st_gid) != 0) {
        // Keeping the owner needs privileges we may lack; the content matters more.
    }
}

void AtomicFile::commit()
{
    {
        // From the first changed byte to the last a signal waits, so that the target ends
        // up with its old content or the new one, never with part of each.
        SignalCleanup::Critical critical;
        switch (m_mode) {
        case Mode::Replace:
            commitReplace();
            break;
        case Mode::InPlace:
            commitInPlace();
            break;
        case Mode::Stream:
            break;
        }
    }
    if (m_mode == Mode::InPlace) {
        // Whole already; that it reaches the disk need not hold a signal back.
        OutputFile(m_targetFd.get(), m_target).sync();
    }
    if (int error = m_targetFd.close())
        throw IoError(error, m_target);
    m_committed = true;
}

void AtomicFile::commitReplace()
{
    if (!m_targetFd) {
        // A new name: take it directly unless somebody took it meanwhile.
        try {
            m_content->linkAs(m_folderFd.get(), m_name);
            return;
        } catch (const IoError& error) {
            if (error.errorNumber() != EEXIST)
                throw IoError(error.errorNumber(), m_target);
        }
    }
    // Over the old file in one step.
    try {
        m_content->replace(m_folderFd.get(), m_name);
    } catch (const IoError& error) {
        throw IoError(error.errorNumber(), m_target);
    }
}

void AtomicFile::commitInPlace()
{
    const int fd = m_targetFd.get();
    InputFile content(m_content->fd(), m_target);
    const std::uint64_t newSize = content.size();
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw IoError(errno, m_target);
    const std::uint64_t oldSize = static_cast<std::uint64_t>(st.st_size);
    OutputFile out(fd, m_target);

    std::uint64_t reserved = oldSize;
    if (newSize > oldSize) {
        // Space for what grows, before the first old byte changes; the size stays for now.
        if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(oldSize), static_cast<off_t>(newSize - oldSize))
            == 0) {
            reserved = newSize;
        } else if (errno != EOPNOTSUPP && errno != ENOSYS) {
            throw IoError(errno, m_target);
        } else {
            // No reservation here: write the part beyond the old end first; should that fail,
            // cutting it off again leaves the old content as it was.
            try {
                if (::lseek(fd, static_cast<off_t>(oldSize), SEEK_SET) < 0)
                    throw IoError(errno, m_target);
                copyFrom(content, oldSize, newSize - oldSize, out);
                reachSaveStep(kStepInPlaceTail);
            } catch (const IoError&) {
                if (::ftruncate(fd, static_cast<off_t>(oldSize)) != 0) {
                    // Nothing more we can do; the old bytes themselves are untouched.
                }
                throw;
            }
        }
    }
    if (::lseek(fd, 0, SEEK_SET) < 0)
        throw IoError(errno, m_target);
    OutputFile front(fd, m_target);
    copyFrom(content, 0, std::min(newSize, reserved), front);
    reachSaveStep(kStepInPlaceFront);
    if (::ftruncate(fd, static_cast<off_t>(newSize)) != 0)
        throw IoError(errno, m_target);
}

} // namespace zintrel
