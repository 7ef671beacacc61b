#include "DateTimeText.h"

#include "LocalDateTime.h"

#include <array>
#include <string_view>

namespace zintrel {

namespace {

constexpr int kSecondsPerDay = 86400;

std::string formatTm(const std::string& format, const std::tm& tm)
{
    if (format.empty())
        return {};
    std::array<char, 256> buffer;
    std::size_t n = std::strftime(buffer.data(), buffer.size(), format.c_str(), &tm);
    if (n == 0) {
        // Either an empty result or a long one: retry with room to spare.
        std::string big(4096, '\0');
        n = std::strftime(big.data(), big.size(), format.c_str(), &tm);
        big.resize(n);
        return big;
    }
    return std::string(buffer.data(), n);
}

// Whether every conversion of a strftime format is one of allowed.
bool usesOnly(const std::string& format, std::string_view allowed)
{
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (++i == format.size() || allowed.find(format[i]) == std::string_view::npos)
            return false;
    }
    return true;
}

// Conversions that depend on the calendar date alone, and on the time of day alone.
constexpr std::string_view kDateConversions = "aAbBhCdDeFgGjmuUVwWxyY%nt";
constexpr std::string_view kTimeConversions = "HIklMpPrRSTX%nt";
constexpr std::size_t kMaxCachedDates = 8192;
constexpr int kMinutesPerDay = 1440;

} // namespace

DateTimeText::DateTimeText(DateTimeFormat format)
    : m_format(std::move(format))
    , m_cacheDates(usesOnly(m_format.dateFormat, kDateConversions))
{
    if (usesOnly(m_format.timeFormat, kTimeConversions))
        m_minutes.resize(kMinutesPerDay);
}

const std::string& DateTimeText::dateText(const std::tm& tm)
{
    if (!m_cacheDates) {
        m_uncachedDate = formatTm(m_format.dateFormat, tm);
        return m_uncachedDate;
    }
    // tm_year reaches INT_MAX for times far in the future; the key must not overflow.
    std::int64_t key = (static_cast<std::int64_t>(tm.tm_year) * 100 + tm.tm_mon) * 100 + tm.tm_mday;
    auto found = m_dates.find(key);
    if (found != m_dates.end())
        return found->second;
    if (m_dates.size() >= kMaxCachedDates)
        m_dates.clear();
    return m_dates.emplace(key, formatTm(m_format.dateFormat, tm)).first->second;
}

// A time text differs from that of the same minute only in its seconds, as two digits at a
// fixed place in every usual format; each minute is formatted once and then patched.
void DateTimeText::appendTime(std::string& out, const std::tm& tm)
{
    if (m_minutes.empty() || tm.tm_sec < 0 || tm.tm_sec > 60) {
        out += formatTm(m_format.timeFormat, tm);
        return;
    }
    MinuteText& minute = m_minutes[static_cast<std::size_t>(tm.tm_hour * 60 + tm.tm_min)];
    if (minute.kind == MinuteText::Unknown) {
        std::tm probe = tm;
        probe.tm_sec = 0;
        minute.text = formatTm(m_format.timeFormat, probe);
        probe.tm_sec = 59;
        std::string late = formatTm(m_format.timeFormat, probe);
        std::size_t first = 0;
        while (first < late.size() && first < minute.text.size() && late[first] == minute.text[first])
            ++first;
        if (late == minute.text) {
            minute.kind = MinuteText::Fixed;
        } else if (late.size() == minute.text.size() && first + 1 < late.size()
                   && minute.text.compare(first, 2, "00") == 0 && late.compare(first, 2, "59") == 0
                   && late.compare(first + 2, std::string::npos, minute.text, first + 2, std::string::npos) == 0) {
            minute.kind = MinuteText::Patched;
            minute.secondsAt = first;
        } else {
            minute.kind = MinuteText::Plain;
        }
    }
    switch (minute.kind) {
    case MinuteText::Fixed:
        out += minute.text;
        break;
    case MinuteText::Patched: {
        std::size_t at = out.size() + minute.secondsAt;
        out += minute.text;
        out[at] = static_cast<char>('0' + tm.tm_sec / 10);
        out[at + 1] = static_cast<char>('0' + tm.tm_sec % 10);
        break;
    }
    default:
        out += formatTm(m_format.timeFormat, tm);
    }
}

// The number of the local day a time falls on, for an offset.
static std::int64_t dayNumber(std::time_t time, long offset)
{
    std::int64_t local = static_cast<std::int64_t>(time) + offset;
    return local >= 0 ? local / kSecondsPerDay : -((-local + kSecondsPerDay - 1) / kSecondsPerDay);
}

DateTimeText::DayInfo* DateTimeText::findDay(std::time_t time)
{
    // The day under the last offset met, or, across a change of offset, one beside it.
    const std::int64_t guess = dayNumber(time, m_lastOffset);
    for (std::int64_t number : {guess, guess - 1, guess + 1}) {
        auto found = m_days.find(number);
        if (found != m_days.end() && time >= found->second.start && time - found->second.start < kSecondsPerDay)
            return &found->second;
    }
    return nullptr;
}

DateTimeText::DayInfo& DateTimeText::rememberDay(std::time_t time, const std::tm& tm, const std::string& dateText)
{
    if (m_days.size() >= kMaxCachedDates)
        m_days.clear();
    DayInfo& day = m_days[dayNumber(time, tm.tm_gmtoff)];
    day.state = Day::Seen;
    day.tm = tm;
    day.tm.tm_hour = day.tm.tm_min = day.tm.tm_sec = 0;
    day.start = time - (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
    day.offset = tm.tm_gmtoff;
    day.dateText = dateText;
    return day;
}

void DateTimeText::checkDay(DayInfo& day)
{
    // The day can be cached only when its midnight and its last second share one offset:
    // no daylight-saving change inside it.
    std::tm first{}, last{};
    std::time_t lastSecond = day.start + kSecondsPerDay - 1;
    bool steady = localtime_r(&day.start, &first) && localtime_r(&lastSecond, &last) && first.tm_gmtoff == day.offset
        && last.tm_gmtoff == day.offset && first.tm_hour == 0 && first.tm_min == 0 && first.tm_sec == 0
        && last.tm_mday == day.tm.tm_mday;
    day.state = steady ? Day::Checked : Day::Unsteady;
}

void DateTimeText::append(std::string& out, std::time_t time)
{
    if (m_lastValid && time == m_lastTime) {
        out += m_lastText;
        return;
    }
    DayInfo* day = findDay(time);
    // A day is checked on its second visit only: trees whose times scatter over many days
    // would pay for the check on every entry.
    if (day && day->state == Day::Seen)
        checkDay(*day);

    std::tm tm{};
    if (day && day->state == Day::Checked) {
        tm = day->tm;
        int secs = static_cast<int>(time - day->start);
        tm.tm_hour = secs / 3600;
        tm.tm_min = secs / 60 % 60;
        tm.tm_sec = secs % 60;
        m_lastText = m_cacheDates ? day->dateText : dateText(tm);
        m_lastOffset = day->offset;
    } else if (localtime_r(&time, &tm)) {
        m_lastText = dateText(tm);
        m_lastOffset = tm.tm_gmtoff;
        if (!day)
            rememberDay(time, tm, m_lastText);
    } else {
        // A time beyond the local calendar (its year does not fit) has no date to show.
        m_lastText = kUnknownTime;
        m_lastTime = time;
        m_lastValid = true;
        out += m_lastText;
        return;
    }
    if (tm.tm_hour != 0 || tm.tm_min != 0 || tm.tm_sec != 0) {
        m_lastText += ' ';
        appendTime(m_lastText, tm);
    }
    m_lastTime = time;
    m_lastValid = true;
    out += m_lastText;
}

std::string DateTimeText::format(std::time_t time)
{
    std::string text;
    append(text, time);
    return text;
}

std::string DateTimeText::format(const LocalDateTime& value) const
{
    std::tm tm{};
    tm.tm_year = value.year - 1900;
    tm.tm_mon = value.month - 1;
    tm.tm_mday = value.day;
    tm.tm_hour = value.hour;
    tm.tm_min = value.minute;
    tm.tm_sec = value.second;
    tm.tm_isdst = -1;
    // Let the C library fill in the weekday, the day of the year and the zone for formats
    // that use them; the date and time printed stay the ones given.
    std::tm normalised = tm;
    if (std::mktime(&normalised) != static_cast<std::time_t>(-1)) {
        tm.tm_wday = normalised.tm_wday;
        tm.tm_yday = normalised.tm_yday;
        tm.tm_isdst = normalised.tm_isdst;
        tm.tm_gmtoff = normalised.tm_gmtoff;
        tm.tm_zone = normalised.tm_zone;
    }
    std::string text = formatTm(m_format.dateFormat, tm);
    if (!value.isMidnight()) {
        text += ' ';
        text += formatTm(m_format.timeFormat, tm);
    }
    return text;
}

} // namespace zintrel
