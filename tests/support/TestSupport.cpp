#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cxxabi.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace zintrel::test {

namespace {

constexpr uid_t kNobody = 65534;

} // namespace

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush())
        ADD_FAILURE() << "cannot write " << path;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::optional<std::string>& value)
    : m_name(name)
{
    if (const char* old = std::getenv(name))
        m_old = old;
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_old)
        ::setenv(m_name.c_str(), m_old->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

std::time_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return ::timegm(&tm);
}

std::time_t localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

ScopedTimeZone::ScopedTimeZone(const char* zone)
{
    m_zone.emplace("TZ", std::string(zone));
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    m_zone.reset();
    ::tzset();
}

std::string typeName(const std::type_info& type)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    return name;
}

std::string currentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        return typeName(typeid(error)) + " \"" + error.what() + "\"";
    } catch (...) {
        std::type_info* type = abi::__cxa_current_exception_type();
        return type ? typeName(*type) : "an unknown exception";
    }
}

std::optional<std::string> runUnprivileged(const std::function<std::string()>& fn)
{
    auto run = [&fn]() -> std::string {
        try {
            return fn();
        } catch (...) {
            return "threw " + currentException();
        }
    };
    if (::geteuid() != 0)
        return run();
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(3);
        std::string result = run();
        if (::write(fds[1], result.data(), result.size()) != static_cast<ssize_t>(result.size()))
            ::_exit(2);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return result;
}

ScopedMount::ScopedMount(const std::string& type, const std::string& where, const std::string& options,
                         const std::string& source)
    : m_where(where)
{
    if (type == "bindfs") {
        std::string command = "bindfs '" + source + "' '" + where + "' 2>/dev/null";
        m_ok = std::system(command.c_str()) == 0;
    } else {
        m_ok = ::mount(type.c_str(), where.c_str(), type.c_str(), 0, options.empty() ? nullptr : options.c_str()) == 0;
    }
}

ScopedMount::~ScopedMount()
{
    if (m_ok)
        ::umount2(m_where.c_str(), MNT_DETACH);
}

} // namespace zintrel::test
