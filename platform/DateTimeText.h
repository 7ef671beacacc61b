#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

namespace zintrel {

struct LocalDateTime;

// strftime formats of the short date and the long time. The defaults follow LC_TIME.
struct DateTimeFormat {
    std::string dateFormat = "%x";
    std::string timeFormat = "%X";
};

// The text of a time that has no local date (its year lies beyond what the calendar holds).
inline constexpr const char* kUnknownTime = "?";

// Turns times into the listing's date-time text: the date, then, unless the time of day is
// exactly midnight, a blank and the time; "?" for a time without a local date. Not thread-safe: one per walk. Caches
// the local day of the last time it was given, since a tree's entries cluster on few days.
class DateTimeText {
public:
    explicit DateTimeText(DateTimeFormat format = {});

    // Appends the text of a file time (seconds since the epoch, local time zone).
    void append(std::string& out, std::time_t time);
    std::string format(std::time_t time);
    std::string format(const LocalDateTime& value) const;

private:
    const std::string& dateText(const std::tm& tm);
    void appendTime(std::string& out, const std::tm& tm);
    struct DayInfo;
    DayInfo* findDay(std::time_t time);
    DayInfo& rememberDay(std::time_t time, const std::tm& tm, const std::string& dateText);
    static void checkDay(DayInfo& day);

    DateTimeFormat m_format;
    // Date texts by calendar date, when the date format reads nothing but the date.
    bool m_cacheDates = false;
    std::unordered_map<std::int64_t, std::string> m_dates;
    std::string m_uncachedDate;
    // Time texts by minute of the day, when the time format reads nothing but the time.
    struct MinuteText {
        enum Kind { Unknown, Fixed, Patched, Plain } kind = Unknown;
        std::string text;
        std::size_t secondsAt = 0;
    };
    std::vector<MinuteText> m_minutes;
    // Local days met so far, by their number counted in whole days from the epoch in local
    // time. A day is Seen until a second visit shows whether it keeps one UTC offset
    // throughout (Checked: its times need no lookup) or a daylight-saving change falls
    // inside it (Unsteady).
    enum class Day { Seen, Checked, Unsteady };
    struct DayInfo {
        Day state = Day::Seen;
        std::time_t start = 0; // its local midnight
        long offset = 0;       // its UTC offset
        std::tm tm{};          // its midnight
        std::string dateText;
    };
    std::unordered_map<std::int64_t, DayInfo> m_days;
    long m_lastOffset = 0; // the UTC offset last met, to find a time's day
    std::time_t m_lastTime = 0;
    bool m_lastValid = false;
    std::string m_lastText;
};

} // namespace zintrel
