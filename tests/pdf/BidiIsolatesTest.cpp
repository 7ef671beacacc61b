#include "pdf/BidiIsolates.h"

#include <gtest/gtest.h>

#include <string>

namespace zintrel {
namespace {

TEST(HasRightToLeft, LettersWrittenRightToLeftAndDirectionControls)
{
    struct Case {
        const char* what;
        std::string text;
        bool expected;
    } cases[] = {
        {"ASCII", "notes.txt", false},
        {"Latin with accents", "caf\xC3\xA9 na\xC3\xAFve", false},
        {"Cyrillic", "\xD0\x9F\xD1\x80\xD0\xB8", false},
        {"CJK and emoji", "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80", false},
        {"Hebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D.txt", true},
        {"Arabic", "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85", true},
        {"Arabic presentation form", "\xEF\xBB\xBB", true},
        {"right-to-left override", "abc\xE2\x80\xAEtxt.exe", true},
        {"right-to-left mark", "a\xE2\x80\x8F", true},
        {"first strong isolate", "\xE2\x81\xA8x", true},
        {"left-to-right quotes only", "\xE2\x80\x9Cq\xE2\x80\x9D", false},
        {"bytes that are no UTF-8", "\xFF\xD7", false},
        {"Hebrew cut short at the end", "a\xD7", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hasRightToLeft(c.text), c.expected) << c.what;
}

// Only what holds right-to-left text is isolated, and a path as a whole.
TEST(IsolatedNames, IsolateWhatHoldsRightToLeftTextAndNothingElse)
{
    const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    const std::string fsi(kIsolateStart), pdi(kIsolateEnd);
    IsolatedNames names;
    struct Case {
        const char* what;
        std::string folder;
        std::string name;
        std::string expectedName;
        std::string expectedPath;
    } cases[] = {
        {"plain", "/top/", "a.txt", "a.txt", "/top/a.txt"},
        {"right-to-left name", "/top/", hebrew, fsi + hebrew + pdi, fsi + "/top/" + hebrew + pdi},
        {"right-to-left folder", "/" + hebrew + "/", "a.txt", "a.txt", fsi + "/" + hebrew + "/a.txt" + pdi},
    };
    for (const Case& c : cases) {
        std::string name, path, folder;
        names.appendName(name, c.name);
        names.appendPath(path, c.folder, c.name);
        names.appendFolder(folder, c.folder);
        EXPECT_EQ(name, c.expectedName) << c.what;
        EXPECT_EQ(path, c.expectedPath) << c.what;
        EXPECT_EQ(folder, hasRightToLeft(c.folder) ? fsi + c.folder + pdi : c.folder) << c.what;
    }
}

} // namespace
} // namespace zintrel
