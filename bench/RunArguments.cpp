#include "RunArguments.h"

#include <filesystem>

namespace zintrel {

bool parseLocalTime(const std::string& text, std::time_t& time)
{
    std::tm fields{};
    const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &fields);
    if (!end || *end != '\0')
        return false;
    fields.tm_isdst = -1;
    time = std::mktime(&fields);
    return true;
}

std::string treeSelection(const std::string& folder)
{
    std::filesystem::path path = std::filesystem::absolute(folder).lexically_normal();
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace zintrel
