#include "FontSubstitutes.h"

#include <strings.h>

namespace zintrel {

namespace {

struct Substitution {
    const char* family;
    const char* substitutes[2];
};

constexpr Substitution kSubstitutions[] = {
    {"MS Sans Serif", {"Liberation Sans", "Nimbus Sans"}},
};

} // namespace

std::vector<std::string> fontSubstitutes(std::string_view family)
{
    for (const Substitution& substitution : kSubstitutions) {
        if (std::string(family).size() == std::string_view(substitution.family).size()
            && ::strncasecmp(std::string(family).c_str(), substitution.family, family.size()) == 0)
            return {substitution.substitutes[0], substitution.substitutes[1]};
    }
    return {};
}

} // namespace zintrel
