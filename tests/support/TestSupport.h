#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace zintrel::test {

// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
// Replaces a file's bytes; a failure fails the running test.
void writeFile(const std::string& path, const std::string& content);

// Sets an environment variable for the life of the object (unsets it for nullopt) and
// restores the previous value.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// A moment given in UTC, as a time_t.
std::time_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// A moment given in the local time zone, as a time_t.
std::time_t localTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// TZ for the life of the object, with the C library told of each change.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();

private:
    std::optional<ScopedEnvironment> m_zone;
};

// TMPDIR, the program's folder for temporary files, for the life of the object.
class ScopedTemporaryFolder {
public:
    explicit ScopedTemporaryFolder(const std::string& folder)
        : m_folder("TMPDIR", folder)
    {
    }

private:
    ScopedEnvironment m_folder;
};

// Runs fn as the unprivileged user nobody in a child process when the tests run as root,
// so that permissions hold, else in this process. Returns what fn returns, or "threw "
// and currentException() when it threw; nullopt when no unprivileged user could be taken on.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& fn);

// Mounts a file system for the life of the object (type "tmpfs" with options such as
// "size=16k", or "bindfs" over a source folder, run as its own program) and unmounts it.
class ScopedMount {
public:
    ScopedMount(const std::string& type, const std::string& where, const std::string& options = {},
                const std::string& source = {});
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool ok() const { return m_ok; }

private:
    std::string m_where;
    bool m_ok = false;
};

// A type's name as the source spells it.
std::string typeName(const std::type_info& type);
// What the exception in flight is: its type and text. Only inside a catch block.
std::string currentException();

// Passes when work throws an E, and then puts its what() into text when given; fails
// naming the exception expected and the one that came instead, or that none came.
template <class E>::testing::AssertionResult throwsError(const std::function<void()>& work, std::string* text = nullptr)
{
    try {
        work();
    } catch (const E& error) {
        if constexpr (std::is_base_of_v<std::exception, E>) {
            if (text)
                *text = error.what();
        }
        return ::testing::AssertionSuccess();
    } catch (...) {
        return ::testing::AssertionFailure() << "expected " << typeName(typeid(E)) << ", came " << currentException();
    }
    return ::testing::AssertionFailure() << "expected " << typeName(typeid(E)) << ", nothing was thrown";
}

} // namespace zintrel::test
