#pragma once

#include <string>

namespace zintrel {

// What SIGTERM, SIGHUP and SIGINT may do to a save: they remove the files registered here
// and end the process as the signal asks, but never in the middle of a critical step. The
// first use installs handlers for those signals (where they are not ignored or handled
// already); a signal the program handles itself is left to it. Signals sent to the process
// may land on any thread; the handlers work on every one.
class SignalCleanup {
public:
    // Registers the file `name` in the open folder folderFd, which must stay open while this
    // object lives, for as long as the object lives. Register a file before creating it: a
    // signal may come between the two, on any thread. There is room for any number of
    // files; a name longer than a file name can be (which no file has) is not kept.
    SignalCleanup(int folderFd, const std::string& name);
    ~SignalCleanup();
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

    // Whether a signal has begun removing the registered files. A file created after that
    // may have been missed: its creator removes it itself.
    static bool ending();

    // A step that a signal must not cut in two, such as putting new content under a
    // user's file. While one lives, on any thread, those signals are only noted; when the
    // last one goes, a noted signal removes the registered files and ends the process
    // then. Made while a signal is already ending the process, it never returns.
    class Critical {
    public:
        Critical();
        ~Critical();
        Critical(const Critical&) = delete;
        Critical& operator=(const Critical&) = delete;
    };

    struct Slot; // where a registration is kept; the handlers' own

private:
    Slot* m_slot = nullptr;
};

} // namespace zintrel
