#include "SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace zintrel {

struct SignalCleanup::Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> filled{false}; // folderFd and name are complete and may be used
    int folderFd = -1;
    char name[NAME_MAX + 1];
};

namespace {

using Slot = SignalCleanup::Slot;

// The registered files live in blocks that are added as more files are registered at once
// (a PDF drawn on many threads has a file per thread) and never freed: a handler, which
// may not allocate or lock, walks them at any moment.
constexpr int kSlotsPerBlock = 16;

struct Block {
    Slot slots[kSlotsPerBlock];
    std::atomic<Block*> next{nullptr};
};

Block g_first;
std::atomic<bool> g_ending{false};
// The signal that is to end the process, noted before anything else is looked at, so that
// a critical step and a handler on another thread never both miss each other.
std::atomic<int> g_pending{0};
std::atomic<int> g_critical{0}; // critical steps under way

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Removes the registered files and ends the process as signal would have without us: its
// default action, on a fresh delivery. Called by a handler or when the last critical step
// is over; async-signal-safe.
void endProcess(int signal)
{
    g_ending.store(true);
    for (Block* block = &g_first; block; block = block->next.load()) {
        for (Slot& slot : block->slots) {
            if (slot.filled.load())
                ::unlinkat(slot.folderFd, slot.name, 0);
        }
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
    // Inside a handler the signal is blocked until it returns; it ends the process here.
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
}

extern "C" void onEndingSignal(int signal)
{
    const int savedErrno = errno;
    g_pending.store(signal);
    if (g_critical.load() == 0)
        endProcess(signal);
    errno = savedErrno;
}

void installHandlers()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int signal : kSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0)
                continue;
            // An ignored signal (nohup) stays ignored, and a handler of the program's own stays.
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = onEndingSignal;
            // A noted signal must not make the step it waits for fail.
            action.sa_flags = SA_RESTART;
            sigemptyset(&action.sa_mask);
            for (int other : kSignals)
                sigaddset(&action.sa_mask, other);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

void leaveCritical()
{
    if (g_critical.fetch_sub(1) == 1) {
        if (int signal = g_pending.load())
            endProcess(signal);
    }
}

} // namespace

SignalCleanup::SignalCleanup(int folderFd, const std::string& name)
{
    if (name.size() > NAME_MAX)
        return;
    installHandlers();
    Block* block = &g_first;
    for (;;) {
        for (Slot& slot : block->slots) {
            bool expected = false;
            if (slot.taken.compare_exchange_strong(expected, true)) {
                slot.folderFd = folderFd;
                std::memcpy(slot.name, name.c_str(), name.size() + 1);
                slot.filled.store(true);
                m_slot = &slot;
                return;
            }
        }
        Block* next = block->next.load();
        if (!next) {
            auto* fresh = new Block;
            if (block->next.compare_exchange_strong(next, fresh))
                next = fresh;
            else
                delete fresh; // another thread added one first; next is that one
        }
        block = next;
    }
}

SignalCleanup::~SignalCleanup()
{
    if (!m_slot)
        return;
    m_slot->filled.store(false);
    // Once a signal is removing files a slot is never reused, so that no name it is about
    // to remove changes under it.
    if (!g_ending.load())
        m_slot->taken.store(false);
}

bool SignalCleanup::ending() { return g_ending.load(); }

SignalCleanup::Critical::Critical()
{
    installHandlers();
    g_critical.fetch_add(1);
    if (g_pending.load() != 0) {
        // A signal is ending the process already: the step must not begin.
        leaveCritical();
        for (;;)
            ::pause();
    }
}

SignalCleanup::Critical::~Critical() { leaveCritical(); }

} // namespace zintrel
