#pragma once

#include "platform/OutputFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zintrel::test {

using Names = std::vector<std::string>;

// A private folder under /tmp for one test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        char pattern[] = "/tmp/zintrel-platform-XXXXXX";
        m_path = ::mkdtemp(pattern) ? pattern : "";
        EXPECT_FALSE(m_path.empty());
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string path(const std::string& name) const { return m_path + "/" + name; }
    const std::string& root() const { return m_path; }

    // The names in the folder (or in one below it), sorted.
    Names names(const std::string& below = {}) const
    {
        Names names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(below.empty() ? m_path : path(below), ignored))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};

inline mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

inline void writeSynced(int fd, const std::string& path, const std::string& text)
{
    OutputFile out(fd, path);
    out.write(text);
    out.sync();
}

} // namespace zintrel::test
