#include "DateTimeText.h"

#include "LocalDateTime.h"

#include <array>

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

} // namespace

DateTimeText::DateTimeText(DateTimeFormat format)
    : m_format(std::move(format))
{
}

void DateTimeText::lookUpDay(std::time_t time)
{
    std::tm tm{};
    localtime_r(&time, &tm);
    m_dayTm = tm;
    m_dayTm.tm_hour = m_dayTm.tm_min = m_dayTm.tm_sec = 0;
    m_dateText = formatTm(m_format.dateFormat, tm);
    std::time_t start = time - (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
    // The day can be cached only when its midnight and its last second share the offset
    // of this time: no daylight-saving change inside it.
    std::tm first{}, last{};
    std::time_t lastSecond = start + kSecondsPerDay - 1;
    localtime_r(&start, &first);
    localtime_r(&lastSecond, &last);
    m_dayCacheValid = first.tm_gmtoff == tm.tm_gmtoff && last.tm_gmtoff == tm.tm_gmtoff
                      && first.tm_hour == 0 && first.tm_min == 0 && first.tm_sec == 0
                      && last.tm_mday == tm.tm_mday;
    m_dayStart = start;
}

void DateTimeText::append(std::string& out, std::time_t time)
{
    if (m_lastValid && time == m_lastTime) {
        out += m_lastText;
        return;
    }
    std::tm tm;
    if (m_dayCacheValid && time >= m_dayStart && time - m_dayStart < kSecondsPerDay) {
        tm = m_dayTm;
        int secs = static_cast<int>(time - m_dayStart);
        tm.tm_hour = secs / 3600;
        tm.tm_min = secs / 60 % 60;
        tm.tm_sec = secs % 60;
    } else {
        lookUpDay(time);
        localtime_r(&time, &tm);
    }
    m_lastText = m_dateText;
    if (tm.tm_hour != 0 || tm.tm_min != 0 || tm.tm_sec != 0) {
        m_lastText += ' ';
        m_lastText += formatTm(m_format.timeFormat, tm);
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
    // Let the C library fill in the weekday and the day of the year for formats that use them.
    std::tm normalised = tm;
    if (std::mktime(&normalised) != static_cast<std::time_t>(-1)) {
        tm.tm_wday = normalised.tm_wday;
        tm.tm_yday = normalised.tm_yday;
    }
    std::string text = formatTm(m_format.dateFormat, tm);
    if (!value.isMidnight()) {
        text += ' ';
        text += formatTm(m_format.timeFormat, tm);
    }
    return text;
}

int localDateKey(std::time_t time)
{
    std::tm tm{};
    localtime_r(&time, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

} // namespace zintrel
