#pragma once

#include "FileDescriptor.h"

#include <memory>
#include <string>
#include <sys/types.h>

namespace zintrel {

class SignalCleanup;

// The folder for temporary files: $TMPDIR when it is set and absolute, else /tmp.
std::string temporaryFolder();

// A new file that nobody else has, open for reading and writing. Where the file system
// allows it the file has no name at all (O_TMPFILE), so nothing of it survives the
// process, however the process ends. Elsewhere it gets a unique name, which this object
// removes when it goes, and so do SIGTERM, SIGHUP and SIGINT should they end the process
// first. Its maker holds a lock on it while it is open, by which a later save tells a file
// that a killed process left from one in use (removeStaleTemporaryFiles). Failures throw
// IoError naming displayPath, the file the user knows, with the folder on a line of its own.
class TempFile {
public:
    // In the folder given by path. A name, when one is needed, is prefix, six random
    // characters and suffix.
    TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
             const std::string& displayPath, mode_t mode = 0600);
    // In the open folder folderFd (which may be an O_PATH descriptor), whose path is folder.
    TempFile(int folderFd, const std::string& folder, const std::string& prefix, const std::string& suffix,
             const std::string& displayPath, mode_t mode);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd.get(); }
    // True when the file has no name on disk.
    bool anonymous() const { return m_name.empty(); }
    // The file's path while it has a name of its own; empty when anonymous.
    std::string path() const;

    // Gives the file the name `name` in the folder folderFd, which must be on the same file
    // system; fails with EEXIST when the name is taken. From then on the file is no longer
    // temporary: this object neither removes it nor guards it against signals.
    void linkAs(int folderFd, const std::string& name);
    // Puts the file under `name` in folderFd (same file system) in place of what is there,
    // in one rename; from then on it is no longer temporary. An unnamed file is first linked
    // beside it under a name like its own, which stays registered for removal on a signal
    // until the rename is done. Callers that must not be cut short by a signal hold a
    // SignalCleanup::Critical around it.
    void replace(int folderFd, const std::string& name);
    // Removes the file's name now; the open descriptor stays usable.
    void remove();

private:
    void create(const std::string& prefix, const std::string& suffix, mode_t mode);
    // Locks the named file just made; false when a sweep took it meanwhile (it is gone then).
    bool lockedAsOurs(int folderFd);
    int linkUnnamed(int folderFd, const std::string& name) const;

    std::string m_folder;
    std::string m_displayPath;
    std::string m_prefix;
    std::string m_suffix;
    FileDescriptor m_folderFd;
    FileDescriptor m_fd;
    std::string m_name; // empty: anonymous, or no longer ours to remove
    std::unique_ptr<SignalCleanup> m_cleanup;
};

// A random name for a file of our own: prefix, six characters from [A-Za-z0-9] and suffix.
std::string uniqueName(const std::string& prefix, const std::string& suffix);

// Removes what saves of this user left in a folder when they were killed outright (kill -9,
// a crash): regular files that carry one of the names this program gives its temporary
// files, belong to the user, and are held by no process, since a live one holds a lock on
// each of its own. A file is never removed on the word of a process id. Best effort:
// what it cannot look at or remove it leaves. folderFd may be an O_PATH descriptor.
void removeStaleTemporaryFiles(int folderFd);
void removeStaleTemporaryFiles(const std::string& folder);

} // namespace zintrel
