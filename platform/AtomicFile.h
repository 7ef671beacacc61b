#pragma once

#include "FileDescriptor.h"

#include <memory>
#include <string>

namespace zintrel {

class TempFile;

// Writes a file so that no failure, cancel or signal ever damages what stood under its
// name before. The name is opened as writing it would open it, so links are followed by
// the kernel's own rules (a chain to its end, a dangling end made; a loop is refused), and
// what that reaches is what gets replaced; a link itself is never replaced.
//  - Replace: the content goes to a new file beside the target (unnamed where the file
//    system allows), which commit() renames over the target.
//  - In place, where the folder takes no new file: the content goes to a scratch file in
//    the temporary folder; commit() reserves the space in the target, and only then
//    overwrites it and cuts it to length.
//  - Stream, for a pipe or a device: written directly; opening never waits for a reader.
// Before commit() the target is byte for byte as it was. Failures throw IoError naming
// the target as the user gave it.
class AtomicFile {
public:
    enum class Mode { Replace, InPlace, Stream };

    AtomicFile(const std::string& target, const std::string& scratchFolder);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    Mode mode() const { return m_mode; }
    const std::string& target() const { return m_target; }
    // Where the content goes, for the caller's writer; it stays ours.
    int fd() const;
    // The file the target name leads to, for the caller's own checks.
    int targetFd() const { return m_targetFd.get(); }
    // Puts the finished content (the caller has flushed its writer) under the target name.
    void commit();

private:
    void openTarget();
    void prepareReplace(const std::string& finalPath);
    void commitReplace();
    void commitInPlace();

    std::string m_target;
    std::string m_scratchFolder;
    Mode m_mode = Mode::Replace;
    FileDescriptor m_targetFd; // the file the name leads to, when it exists
    FileDescriptor m_folderFd; // Replace: the folder of that file (O_PATH)
    std::string m_name;        // Replace: its name in that folder
    bool m_targetExisted = false;
    bool m_createdEnd = false; // we made the file at a dangling link's end
    std::unique_ptr<TempFile> m_content;
    bool m_committed = false;
};

} // namespace zintrel
