#include "listing/IsoTimeText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace zintrel::test {
namespace {

// The C library's own text of a time, with the colon ISO 8601 puts in the offset.
std::string libraryText(std::time_t time)
{
    std::tm tm{};
    localtime_r(&time, &tm);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &tm);
    std::string text = buffer;
    text.insert(text.size() - 2, ":");
    return text;
}

class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_old = old ? old : "";
        m_had = old != nullptr;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope()
    {
        if (m_had)
            ::setenv("TZ", m_old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

struct ZoneCase {
    const char* zone;
    std::time_t from; // a run of times around an offset change, or before the epoch
};

class IsoTimeTextTest : public ::testing::TestWithParam<ZoneCase> {};

// Every minute and odd second for a day around the change, in the order a walk meets them
// and jumping back and forth, reads as the C library has it.
TEST_P(IsoTimeTextTest, AgreesWithTheLibraryAcrossOffsetChanges)
{
    ZoneScope zone(GetParam().zone);
    IsoTimeText times;
    const std::time_t from = GetParam().from;
    for (std::time_t step : {std::time_t(37), std::time_t(601), std::time_t(3599)}) {
        for (std::time_t time = from - 43200; time < from + 43200; time += step) {
            for (std::time_t probe : {time, from - (time - from)}) {
                std::string text;
                ASSERT_TRUE(times.append(text, probe)) << probe;
                ASSERT_EQ(text, libraryText(probe)) << GetParam().zone << " at " << probe;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, IsoTimeTextTest,
                         ::testing::Values(ZoneCase{"Europe/Berlin", 1774746000},       // 2026-03-29 CET to CEST
                                           ZoneCase{"Europe/Berlin", 1792890000},       // 2026-10-25 back
                                           ZoneCase{"Australia/Lord_Howe", 1775314800}, // half-hour change
                                           ZoneCase{"Asia/Kolkata", 0},                 // +05:30 at the epoch
                                           ZoneCase{"America/St_Johns", -86400 * 400},  // before the epoch
                                           ZoneCase{"UTC", 253402300799 - 86400}));     // the end of year 9999

TEST(IsoTimeText, YearsBeyondFourDigitsHaveNoText)
{
    ZoneScope zone("UTC");
    IsoTimeText times;
    std::string text = "x";
    EXPECT_FALSE(times.append(text, 253402300800)); // 10000-01-01
    EXPECT_FALSE(times.append(text, -62167219201)); // before year 0
    EXPECT_EQ(text, "x");
    EXPECT_TRUE(times.append(text, -62167219200));
    EXPECT_EQ(text, "x0000-01-01T00:00:00+00:00");
}

} // namespace
} // namespace zintrel::test
