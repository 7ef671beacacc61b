// Makes a synthetic folder tree for the benchmarks: folders ten wide and several levels
// deep, each holding files of assorted names, sizes and modification times, until at least
// the requested number of entries exists.
//   make-tree FOLDER ENTRIES [FILES_PER_FOLDER]

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFanOut = 10;
const char* const kExtensions[] = {".txt", ".jpg", ".doc", ".cpp", ".h", ".png", ".mp3", ".pdf", "", ".tar.gz"};

long long g_made = 0;
long long g_wanted = 0;
int g_filesPerFolder = 24;
unsigned g_seed = 12345;

unsigned nextRandom()
{
    g_seed = g_seed * 1103515245u + 12345u;
    return g_seed >> 8;
}

void makeFiles(int dirFd)
{
    for (int i = 0; i < g_filesPerFolder && g_made < g_wanted; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "file_%03d_%u%s", i, nextRandom() % 100000, kExtensions[i % 10]);
        int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::perror(name);
            std::exit(1);
        }
        if (ftruncate(fd, static_cast<off_t>(nextRandom() % 300000)) != 0)
            std::perror("ftruncate");
        timespec times[2];
        times[0].tv_sec = times[1].tv_sec = 1500000000 + static_cast<time_t>(nextRandom() % 200000000);
        times[0].tv_nsec = times[1].tv_nsec = 0;
        futimens(fd, times);
        close(fd);
        ++g_made;
    }
}

void makeLevel(int dirFd, int depth, int maxDepth)
{
    makeFiles(dirFd);
    if (depth == maxDepth)
        return;
    for (int i = 0; i < kFanOut && g_made < g_wanted; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "folder_%d_%d", depth, i);
        if (mkdirat(dirFd, name, 0755) != 0 && errno != EEXIST) {
            std::perror(name);
            std::exit(1);
        }
        ++g_made;
        int child = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        makeLevel(child, depth + 1, maxDepth);
        close(child);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make-tree FOLDER ENTRIES [FILES_PER_FOLDER]\n");
        return 2;
    }
    g_wanted = std::atoll(argv[2]);
    if (argc > 3)
        g_filesPerFolder = std::atoi(argv[3]);
    mkdir(argv[1], 0755);
    int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        std::perror(argv[1]);
        return 1;
    }
    // Deep enough that the tree holds the wanted count.
    int maxDepth = 1;
    long long capacity = g_filesPerFolder;
    for (long long folders = 1; capacity < g_wanted; ++maxDepth) {
        folders *= kFanOut;
        capacity += folders * (g_filesPerFolder + 1);
    }
    makeLevel(root, 0, maxDepth);
    std::printf("%lld entries\n", g_made);
    return 0;
}
