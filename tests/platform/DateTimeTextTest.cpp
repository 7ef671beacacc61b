#include "platform/DateTimeText.h"
#include "platform/LocalDateTime.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace zintrel {
namespace {

using test::ScopedTimeZone;

const DateTimeFormat kFormat{"%d.%m.%Y", "%H:%M:%S"};

using test::utc;

// The text straight from the C library, without any caching.
std::string reference(std::time_t time)
{
    std::tm tm{};
    localtime_r(&time, &tm);
    char buffer[64];
    std::string text(buffer, std::strftime(buffer, sizeof buffer, "%d.%m.%Y", &tm));
    if (tm.tm_hour || tm.tm_min || tm.tm_sec)
        text += " " + std::string(buffer, std::strftime(buffer, sizeof buffer, "%H:%M:%S", &tm));
    return text;
}

TEST(DateTimeText, LocalTimesAcrossDaysAndDaylightSavingChanges)
{
    struct Case {
        const char* zone;
        std::time_t time;
        const char* expected;
    } cases[] = {
        {"UTC", utc(2003, 6, 18, 11, 48, 30), "18.06.2003 11:48:30"},
        {"UTC", utc(2003, 6, 18), "18.06.2003"},
        {"UTC", utc(2003, 6, 18, 0, 0, 1), "18.06.2003 00:00:01"},
        {"UTC", utc(2003, 6, 17, 23, 59, 59), "17.06.2003 23:59:59"},
        {"UTC", utc(1969, 12, 31, 23, 59, 59), "31.12.1969 23:59:59"},
        {"Europe/Berlin", utc(2024, 3, 30, 23), "31.03.2024"},
        {"Europe/Berlin", utc(2024, 3, 31, 0, 59, 59), "31.03.2024 01:59:59"},
        {"Europe/Berlin", utc(2024, 3, 31, 1), "31.03.2024 03:00:00"},
        {"Europe/Berlin", utc(2024, 3, 31, 21, 59, 59), "31.03.2024 23:59:59"},
        {"Europe/Berlin", utc(2024, 3, 31, 22), "01.04.2024"},
        {"Europe/Berlin", utc(2024, 10, 26, 22), "27.10.2024"},
        {"Europe/Berlin", utc(2024, 10, 27, 0, 30), "27.10.2024 02:30:00"},
        {"Europe/Berlin", utc(2024, 10, 27, 1, 30), "27.10.2024 02:30:00"},
        {"Europe/Berlin", utc(2024, 10, 27, 22, 59, 59), "27.10.2024 23:59:59"},
        {"Europe/Berlin", utc(2024, 10, 27, 23), "28.10.2024"},
        {"Asia/Kolkata", utc(2024, 1, 1, 18, 30), "02.01.2024"},
        {"Asia/Kolkata", utc(2024, 1, 1, 18, 29, 59), "01.01.2024 23:59:59"},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        // Once on its own, once right after a neighbour of another day, to defeat any cache.
        EXPECT_EQ(DateTimeText(kFormat).format(c.time), c.expected) << c.zone;
        DateTimeText warm(kFormat);
        warm.format(c.time - 86400 + 3600);
        warm.format(c.time + 7);
        EXPECT_EQ(warm.format(c.time), c.expected) << c.zone << " after other times";
    }
}

// One formatter fed a long run of times, forwards and backwards, as a walk would feed it.
TEST(DateTimeText, DayCacheAgreesWithTheCLibrary)
{
    struct Case {
        const char* zone;
        std::time_t from;
    } cases[] = {
        {"UTC", utc(2024, 2, 28)},
        {"Europe/Berlin", utc(2024, 3, 29)},
        {"Europe/Berlin", utc(2024, 10, 25)},
        {"America/Santiago", utc(2024, 9, 6)},     // the clock skips midnight
        {"Australia/Lord_Howe", utc(2024, 10, 4)}, // half-hour change
        {"Asia/Kolkata", utc(2024, 1, 1)},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        DateTimeText text(kFormat);
        std::vector<std::time_t> times;
        for (std::time_t t = c.from; t < c.from + 4 * 86400; t += 599)
            times.push_back(t);
        for (std::time_t t = c.from + 4 * 86400; t > c.from; t -= 1801)
            times.push_back(t);
        for (std::time_t t = c.from; t < c.from + 4 * 86400; t += 1800) // every half hour, midnights included
            times.push_back(t);
        int mismatches = 0;
        for (std::time_t t : times) {
            std::string got = text.format(t);
            if (got != reference(t) && ++mismatches <= 5)
                ADD_FAILURE() << c.zone << " at " << t << ": got \"" << got << "\", expected \"" << reference(t)
                              << "\"";
        }
        EXPECT_EQ(mismatches, 0) << c.zone;
    }
}

// Formats of every kind, against strftime itself: texts reused from earlier times of the
// same date or minute must not differ from fresh ones.
TEST(DateTimeText, ReusedTextsAgreeWithStrftimeForAnyFormat)
{
    const DateTimeFormat formats[] = {
        {"%d.%m.%Y", "%H:%M:%S"},      {"%x", "%X"},          {"%m/%d/%y", "%r"}, {"%A %e %B", "%I:%M %p"},
        {"%Y-%j", "%S s after %H:%M"}, {"%F %H:%M", "%T %Z"}, {"[%d]", "%s"},
    };
    ScopedTimeZone zone("Europe/Berlin");
    for (const DateTimeFormat& format : formats) {
        DateTimeText text(format);
        int mismatches = 0;
        // Times that revisit the same dates and minutes with other seconds, across a change
        // of the clocks.
        for (std::time_t t = utc(2024, 10, 26, 22); t < utc(2024, 10, 28); t += 37 * 60 + 13) {
            for (std::time_t again : {t, t + 86400 + 17, t + 41}) {
                std::tm tm{};
                localtime_r(&again, &tm);
                char buffer[128];
                std::string expected(buffer, std::strftime(buffer, sizeof buffer, format.dateFormat.c_str(), &tm));
                if (tm.tm_hour || tm.tm_min || tm.tm_sec)
                    expected += " "
                        + std::string(buffer, std::strftime(buffer, sizeof buffer, format.timeFormat.c_str(), &tm));
                std::string got = text.format(again);
                if (got != expected && ++mismatches <= 3)
                    ADD_FAILURE() << format.dateFormat << " / " << format.timeFormat << ": got \"" << got
                                  << "\", expected \"" << expected << "\"";
            }
        }
        EXPECT_EQ(mismatches, 0) << format.timeFormat;
    }
}

TEST(DateTimeText, CalendarValuesWithTheirTimeOfDay)
{
    struct Case {
        DateTimeFormat format;
        LocalDateTime value;
        const char* expected;
    } cases[] = {
        {kFormat, {2003, 6, 18, 11, 48, 27, 990}, "18.06.2003 11:48:27"},
        {kFormat, {2003, 6, 18, 0, 0, 0, 0}, "18.06.2003"},
        {kFormat, {2003, 6, 18, 0, 0, 0, 500}, "18.06.2003 00:00:00"},
        {kFormat, {2024, 2, 29, 23, 59, 59, 0}, "29.02.2024 23:59:59"},
        {{"%a %d.%m.%Y", "%H:%M"}, {2024, 3, 31, 2, 30, 0, 0}, "Sun 31.03.2024 02:30"},
        {{"%j", "%S"}, {2024, 12, 31, 1, 2, 3, 0}, "366 03"},
        {{"%x", "%X"}, {2003, 6, 18, 11, 48, 27, 0}, "06/18/03 11:48:27"},
        // The zone of the value's own day, winter or summer, with no blank left over.
        {{"%d.%m.%Y", "%H:%M:%S %Z"}, {2003, 1, 18, 11, 48, 27, 0}, "18.01.2003 11:48:27 CET"},
        {{"%d.%m.%Y", "%H:%M:%S %Z"}, {2003, 6, 18, 11, 48, 27, 0}, "18.06.2003 11:48:27 CEST"},
        {{"%d.%m.%Y", "%H:%M %z"}, {2003, 6, 18, 11, 48, 27, 0}, "18.06.2003 11:48 +0200"},
    };
    ScopedTimeZone zone("Europe/Berlin");
    for (const Case& c : cases)
        EXPECT_EQ(DateTimeText(c.format).format(c.value), c.expected) << c.format.dateFormat;
}

// Times whose year the local calendar cannot hold have no date: "?", and the times around
// them keep their own texts.
TEST(DateTimeText, TimesWithoutALocalDateShowAQuestionMark)
{
    ScopedTimeZone zone("UTC");
    DateTimeText dates(kFormat);
    const std::time_t far = std::time_t{1} << 62;
    const std::time_t normal = utc(2003, 6, 18, 11, 48, 30);
    for (std::time_t time : {normal, far, normal, -far, far, far + 1, normal + 1}) {
        std::string text = dates.format(time);
        if (time == far || time == -far || time == far + 1)
            EXPECT_EQ(text, "?") << time;
        else
            EXPECT_EQ(text, reference(time)) << time;
    }
    // Years far beyond four digits that still have a date come out whole.
    const std::time_t year300000 = (300000LL - 1970) * 31556952LL;
    EXPECT_EQ(dates.format(year300000), reference(year300000));
}

TEST(DateTimeText, DefaultFormatsFollowTheLocale)
{
    ScopedTimeZone zone("UTC");
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(DateTimeText().format(utc(2003, 6, 18, 11, 48, 30)), "06/18/03 11:48:30");
    EXPECT_EQ(DateTimeText().format(utc(2003, 6, 18)), "06/18/03");
}

} // namespace
} // namespace zintrel
