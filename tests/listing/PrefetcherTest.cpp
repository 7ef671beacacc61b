// The walk with workers reading ahead: the same events in the same order as the walk
// alone, whatever the tree, a tree that changes under it, a cancel, or few descriptors.

#include "TempTree.h"
#include "TestListing.h"

#include "listing/FolderWalk.h"
#include "platform/CancelToken.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace zintrel::test {
namespace {

// Every event of a walk as one line, in order.
class EventLog : public WalkSink {
public:
    std::vector<std::string> events;
    std::function<void(const WalkEntry&)> onEntry;
    bool enter = true;

    void folderEntered(std::string_view path, int level) override
    {
        events.push_back("enter " + std::string(path) + " " + std::to_string(level));
    }
    void folderLeft() override { events.push_back("left"); }
    void folderUnreadable(std::string_view path, int error) override
    {
        events.push_back("unreadable " + std::string(path) + " " + std::to_string(error));
    }
    bool entry(const WalkEntry& entry) override
    {
        events.push_back(std::string(entry.name) + " " + std::to_string(entry.level) + " "
                         + std::to_string(entry.attributes) + " " + std::to_string(entry.size) + " "
                         + std::to_string(entry.time));
        if (onEntry)
            onEntry(entry);
        return enter;
    }
};

std::vector<std::string> walk(const std::string& folder, int workers, bool subfolders = true)
{
    EventLog log;
    log.enter = subfolders;
    WalkContext context;
    context.workers = workers;
    context.subfolders = subfolders;
    walkFolder(folder, 1, log, context);
    return log.events;
}

// Folders wide and deep, one far larger than the workers' window, links, a pipe, a
// folder nobody may read when not root.
void makeVariedTree(TempTree& tree)
{
    for (int a = 0; a < 12; ++a) {
        for (int b = 0; b < 6; ++b) {
            std::string folder = "top/d" + std::to_string(a) + "/e" + std::to_string(b);
            tree.mkdirp(folder + "/deeper/still");
            for (int f = 0; f < 7; ++f)
                tree.touch(folder + "/f" + std::to_string(f) + ".txt", f * 700, localTime(2020, 1 + f, 1 + b, a));
            tree.touch(folder + "/deeper/still/leaf", 3);
        }
    }
    tree.mkdirp("top/big");
    for (int f = 0; f < 3000; ++f)
        tree.touch("top/big/n" + std::to_string((f * 7919) % 3000), f % 5000);
    tree.mkdirp("top/big/sub/inner");
    tree.symlink("../d1", "top/big/link-to-folder");
    tree.symlink("nowhere", "top/big/dangling");
    tree.mkfifo("top/big/pipe");
}

TEST(Prefetcher, WorkersChangeNothingOfTheWalk)
{
    TempTree tree;
    makeVariedTree(tree);
    const std::vector<std::string> alone = walk(tree.path("top"), 0);
    ASSERT_GT(alone.size(), 3500u);
    for (int round = 0; round < 5; ++round) {
        for (int workers : {1, 3, 8, 16}) {
            EXPECT_TRUE(sameLines(walk(tree.path("top"), workers), alone)) << workers << " workers, round " << round;
        }
    }
    // Not going into subfolders, the workers read none ahead, and the walk is the same.
    EXPECT_TRUE(sameLines(walk(tree.path("top"), 8, false), walk(tree.path("top"), 0, false)));
}

// Folders made and removed while the walk (and the workers ahead of it) go on: the walk
// ends, every folder it enters it also leaves, and what is untouched is listed in full.
TEST(Prefetcher, ATreeChangingUnderTheWalkEndsWell)
{
    for (int round = 0; round < 5; ++round) {
        TempTree tree;
        makeVariedTree(tree);
        EventLog log;
        int seen = 0;
        log.onEntry = [&](const WalkEntry&) {
            ++seen;
            if (seen == 40)
                std::filesystem::remove_all(tree.path("top/d7"));
            if (seen == 60)
                std::filesystem::rename(tree.path("top/d9"), tree.path("top/d0/moved"));
            if (seen == 80)
                tree.mkdirp("top/d11/new/later");
        };
        WalkContext context;
        context.workers = 8;
        walkFolder(tree.path("top"), 1, log, context);
        int depth = 0;
        for (const std::string& event : log.events) {
            if (event.rfind("enter ", 0) == 0)
                ++depth;
            else if (event == "left")
                --depth;
            ASSERT_GE(depth, 0);
        }
        EXPECT_EQ(depth, 0);
        EXPECT_NE(std::find_if(log.events.begin(), log.events.end(),
                               [&](const std::string& e) {
                                   return e == "enter " + tree.path("top/d11/e5/deeper/still/") + " 5";
                               }),
                  log.events.end());
    }
}

TEST(Prefetcher, CancelStopsTheWalkAndTheWorkersAtOnce)
{
    TempTree tree;
    makeVariedTree(tree);
    CancelToken cancel;
    EventLog log;
    int seen = 0;
    log.onEntry = [&](const WalkEntry&) {
        if (++seen == 500)
            cancel.cancel();
    };
    WalkContext context{cancel};
    context.workers = 16;
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(throwsError<SaveCancelled>([&] { walkFolder(tree.path("top"), 1, log, context); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(seen, 500);
}

// Restores a resource limit when it goes.
class ScopedDescriptorLimit {
public:
    explicit ScopedDescriptorLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = soft;
        m_ok = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~ScopedDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_old); }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    bool m_ok = false;
};

// Workers asked for under a low limit: their descriptors go first when the walk runs
// short, and the walk ends complete.
TEST(Prefetcher, FewDescriptorsSendTheWorkersHomeAndTheWalkGoesOn)
{
#ifdef ZINTREL_SANITIZED
    GTEST_SKIP() << "the sanitizers' checks need descriptors of their own, which this test uses up";
#endif
    TempTree tree;
    makeVariedTree(tree);
    const std::vector<std::string> alone = walk(tree.path("top"), 0);
    std::vector<std::string> crowded;
    {
        ScopedDescriptorLimit limit(40);
        ASSERT_TRUE(limit.ok());
        crowded = walk(tree.path("top"), 16);
    }
    EXPECT_TRUE(sameLines(crowded, alone));
}

} // namespace
} // namespace zintrel::test
