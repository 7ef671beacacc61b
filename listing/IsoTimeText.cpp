#include "IsoTimeText.h"

#include <cstdint>
#include <cstdlib>

namespace zintrel {

namespace {

void appendDigits(std::string& out, std::int64_t value, int width)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 || count < width);
    while (count > 0)
        out += digits[--count];
}

// The proleptic Gregorian date of a day counted from 1970-01-01 (Howard Hinnant's
// civil_from_days), so that a time with a known offset needs no call into the C library.
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool offsetAt(std::time_t time, long& offset)
{
    std::tm tm{};
    if (!localtime_r(&time, &tm))
        return false;
    offset = tm.tm_gmtoff;
    return true;
}

} // namespace

bool IsoTimeText::append(std::string& out, std::time_t time)
{
    const std::time_t spanStart = time - ((time % kSpan) + kSpan) % kSpan;
    if (!m_valid || spanStart != m_spanStart) {
        // One offset at both ends of the quarter hour holds for all of it; otherwise this
        // time is looked up alone.
        long first = 0;
        long last = 0;
        m_valid = false;
        if (offsetAt(spanStart, first) && offsetAt(spanStart + kSpan - 1, last) && first == last) {
            m_valid = true;
            m_spanStart = spanStart;
            m_offset = first;
        }
    }
    long offset = m_offset;
    if (!m_valid && !offsetAt(time, offset))
        return false;

    const std::int64_t local = static_cast<std::int64_t>(time) + offset;
    std::int64_t days = local / 86400;
    std::int64_t seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);
    if (year < 0 || year > 9999)
        return false; // ISO 8601 without an agreed expansion holds four-digit years
    appendDigits(out, year, 4);
    out += '-';
    appendDigits(out, month, 2);
    out += '-';
    appendDigits(out, day, 2);
    out += 'T';
    appendDigits(out, seconds / 3600, 2);
    out += ':';
    appendDigits(out, seconds / 60 % 60, 2);
    out += ':';
    appendDigits(out, seconds % 60, 2);
    out += offset < 0 ? '-' : '+';
    const long magnitude = std::labs(offset);
    appendDigits(out, magnitude / 3600, 2);
    out += ':';
    appendDigits(out, magnitude / 60 % 60, 2);
    return true;
}

} // namespace zintrel
