#pragma once

namespace zintrel {

// A calendar date with a time of day, in local time. The date pickers change only the
// date; the time of day is printed in the header but never filtered on.
struct LocalDateTime {
    int year = 2000;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool isMidnight() const { return hour == 0 && minute == 0 && second == 0 && millisecond == 0; }
    bool operator==(const LocalDateTime&) const = default;
};

} // namespace zintrel
