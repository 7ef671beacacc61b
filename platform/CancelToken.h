#pragma once

#include <atomic>

namespace zintrel {

// Thrown out of a save's walk, drawing or writing when the user has asked it to stop.
struct SaveCancelled {};

// The user's request to stop a running save: raised on one thread (the window's Cancel, a
// signal's handler), looked at on the threads doing the work. One per save, handed down
// once; never lowered while a save runs.
class CancelToken {
public:
    void cancel() { m_raised.store(true, std::memory_order_relaxed); }
    // For the next save.
    void reset() { m_raised.store(false, std::memory_order_relaxed); }
    bool raised() const { return m_raised.load(std::memory_order_relaxed); }
    // Throws SaveCancelled once raised.
    void check() const
    {
        if (raised())
            throw SaveCancelled{};
    }

    // A token nobody raises, for work that cannot be cancelled.
    static const CancelToken& none()
    {
        static const CancelToken token;
        return token;
    }

private:
    std::atomic<bool> m_raised{false};
};

} // namespace zintrel
