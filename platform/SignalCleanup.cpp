#include "SignalCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace zintrel {

namespace {

// A save holds at most a few temporary files at once; a fixed table needs no allocation,
// which a signal handler could not do.
constexpr int kSlots = 16;

struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> filled{false}; // path is complete and may be removed
    char path[PATH_MAX];
};

Slot g_slots[kSlots];
std::atomic<bool> g_ending{false};

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void removeRegisteredFiles(int signal)
{
    g_ending.store(true);
    for (Slot& slot : g_slots) {
        if (slot.filled.load(std::memory_order_acquire))
            ::unlink(slot.path);
    }
    // End as the signal would have without us: its default action, on a fresh delivery.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
}

void installHandlers()
{
    for (int signal : kSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0)
            continue;
        // An ignored signal (nohup) stays ignored, and a handler of the program's own stays.
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = removeRegisteredFiles;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals)
            sigaddset(&action.sa_mask, other);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace

SignalCleanup::SignalCleanup(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return;
    static std::once_flag installed;
    std::call_once(installed, installHandlers);
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_slots[i].taken.compare_exchange_strong(expected, true)) {
            std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
            g_slots[i].filled.store(true, std::memory_order_release);
            m_slot = i;
            return;
        }
    }
}

bool SignalCleanup::ending() { return g_ending.load(); }

SignalCleanup::~SignalCleanup()
{
    if (m_slot < 0)
        return;
    g_slots[m_slot].filled.store(false, std::memory_order_release);
    g_slots[m_slot].taken.store(false, std::memory_order_release);
}

} // namespace zintrel
