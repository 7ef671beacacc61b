// The bookmarks a PDF gets from the walk: folder lines of the first three levels, each
// under its nearest bookmarked ancestor.

#include "pdf/ListingBookmarks.h"

#include "listing/Attributes.h"
#include "listing/ListingOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zintrel {
namespace {

// Drives a recorder as the walk would: "+name level" a folder line listed and entered,
// "=name level" one listed but not entered (subfolders off, or unreadable), "-name level"
// a folder not listed (left out by a filter) but entered, "name level" a file line, ">"
// the end of the folder entered last.
std::vector<ListingBookmark> record(const std::vector<std::string>& events)
{
    ListingBookmarks recorder;
    std::vector<std::string> path{"/top/"};
    std::int64_t line = 5;
    recorder.folderEntered(path.back(), 1, false, line + 1); // the folder listed
    for (const std::string& event : events) {
        if (event == ">") {
            recorder.folderLeft();
            path.pop_back();
            continue;
        }
        const bool folder = event[0] == '+' || event[0] == '-' || event[0] == '=';
        const std::size_t blank = event.rfind(' ');
        ListedEntry entry;
        const std::string name = event.substr(folder ? 1 : 0, blank - (folder ? 1 : 0));
        entry.name = name;
        entry.level = std::stoi(event.substr(blank + 1));
        entry.attributes = folder ? kDirectory : kArchive;
        if (event[0] != '-')
            recorder.entry(entry, ++line);
        if (event[0] == '+' || event[0] == '-') {
            path.push_back(path.back() + name + "/");
            recorder.folderEntered(path.back(), entry.level + 1, event[0] == '+', line + 1);
        }
    }
    return recorder.bookmarks();
}

std::string describe(const std::vector<ListingBookmark>& entries)
{
    std::string text;
    for (const ListingBookmark& entry : entries)
        text += entry.title + "@" + std::to_string(entry.line) + "<" + std::to_string(entry.parent) + " ";
    return text;
}

TEST(ListingBookmarks, FolderLinesOfThreeLevelsUnderTheirNearestBookmarkedAncestor)
{
    struct Case {
        const char* what;
        std::vector<std::string> events;
        const char* expected; // title@line<parent, in order
    } cases[] = {
        {"nested three deep, the fourth level and files left out",
         {"+A 1", "+B 2", "+C 3", "+D 4", "f 5", ">", ">", ">", "g 2", ">", "+E 1", ">"},
         "A@6<-1 B@7<0 C@8<1 E@12<-1 "},
        {"a folder left out still structures the listing: its bookmark leads to where its contents begin",
         {"+A 1", "-B 2", "+C 3", ">", ">", ">", "-X 1", "+Y 2", "+Z 3", ">", ">", ">"},
         "A@6<-1 B@7<0 C@7<1 X@8<-1 Y@8<3 Z@9<4 "},
        {"a folder left out is not the parent of the next folder's children",
         {"+A 1", ">", "-B 1", ">", "+C 1", "+D 2", ">", ">"},
         "A@6<-1 B@7<-1 C@7<-1 D@8<2 "},
        {"a folder left out below the third level has none",
         {"+A 1", "+B 2", "+C 3", "-D 4", "f 5", ">", ">", ">", ">"},
         "A@6<-1 B@7<0 C@8<1 "},
        {"a folder listed but not entered is no parent", {"=A 1", "+B 1", "+C 2", ">", ">"}, "A@6<-1 B@7<-1 C@8<1 "},
        {"names as lines show them", {"+a\tb 1", ">"}, "a?b@6<-1 "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describe(record(c.events)), c.expected) << c.what;
    }
}

} // namespace
} // namespace zintrel
