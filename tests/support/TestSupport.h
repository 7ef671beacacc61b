#pragma once

#include <string>

namespace zintrel::test {

// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
// Replaces a file's bytes; a failure fails the running test.
void writeFile(const std::string& path, const std::string& content);

// Sets TZ for the life of the object and restores the previous value.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::string m_old;
    bool m_hadOld = false;
};

} // namespace zintrel::test
