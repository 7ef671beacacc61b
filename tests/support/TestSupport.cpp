#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cxxabi.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace zintrel::test {

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

} // namespace zintrel::test
