#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

// Listings hold local times: every test runs in UTC under the C locale unless it says otherwise.
int main(int argc, char** argv)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::setlocale(LC_ALL, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
