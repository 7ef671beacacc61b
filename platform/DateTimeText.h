#pragma once

#include <ctime>
#include <string>

namespace zintrel {

struct LocalDateTime;

// strftime formats of the short date and the long time. The defaults follow LC_TIME.
struct DateTimeFormat {
    std::string dateFormat = "%x";
    std::string timeFormat = "%X";
};

// Turns times into the listing's date-time text: the date, then, unless the time of day is
// exactly midnight, a blank and the time. Not thread-safe: one per walk. Caches the local
// day of the last time it was given, since a tree's entries cluster on few days.
class DateTimeText {
public:
    explicit DateTimeText(DateTimeFormat format = {});

    // Appends the text of a file time (seconds since the epoch, local time zone).
    void append(std::string& out, std::time_t time);
    std::string format(std::time_t time);
    std::string format(const LocalDateTime& value) const;

private:
    void lookUpDay(std::time_t time);

    DateTimeFormat m_format;
    // The local day [m_dayStart, m_dayStart + 86400) of the last lookup, when it has one
    // UTC offset throughout; m_dayCacheValid is false otherwise.
    bool m_dayCacheValid = false;
    std::time_t m_dayStart = 0;
    std::tm m_dayTm{};
    std::string m_dateText;
    std::time_t m_lastTime = 0;
    bool m_lastValid = false;
    std::string m_lastText;
};

// The local calendar date of a time as year * 10000 + month * 100 + day.
int localDateKey(std::time_t time);

} // namespace zintrel
