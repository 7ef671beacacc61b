#pragma once

#include <string>

namespace zintrel {

// Files that must not outlive the process when SIGTERM, SIGHUP or SIGINT ends it: the
// first registration installs handlers for those signals (where they are not ignored or
// handled already) that remove every registered file and then end the process as the
// signal asks. For named temporary files only; unnamed ones need none of this.
class SignalCleanup {
public:
    // Registers path for as long as the object lives. Silently does nothing when all the
    // slots are taken or the path is too long to keep. Register a file before creating it:
    // a signal may come between the two, on any thread.
    explicit SignalCleanup(const std::string& path);
    ~SignalCleanup();
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

    // Whether a signal has begun removing the registered files. A file created after that
    // may have been missed: its creator removes it itself.
    static bool ending();

private:
    int m_slot = -1;
};

} // namespace zintrel
