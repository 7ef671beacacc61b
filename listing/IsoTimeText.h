#pragma once

#include <ctime>
#include <string>

namespace zintrel {

// Times as ISO 8601 local time with its UTC offset, "2026-03-01T14:05:09+01:00", for
// outputs that other programs compute with. Not thread-safe: one per walk. Keeps the UTC
// offset of the last quarter hour it met, since a tree's times cluster and an offset only
// changes at a transition.
class IsoTimeText {
public:
    // Appends the text of time (seconds since the epoch) in the local time zone; false,
    // and nothing appended, for a time that has no local date.
    bool append(std::string& out, std::time_t time);

private:
    static constexpr std::time_t kSpan = 15 * 60;
    bool m_valid = false;
    std::time_t m_spanStart = 0;
    long m_offset = 0;
};

} // namespace zintrel
