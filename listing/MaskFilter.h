#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

// Splits the filename mask text at ";" into the masks of a run, each cut to 20 characters
// and put in capitals. Empty when the text is empty or holds "*.*" anywhere.
std::vector<std::string> buildMaskList(const std::string& fileMask);

// Whether a name fits one mask, both already in capitals. A mask that holds ".*" or "*."
// is read by the base name and extension rules, and one without "*" and "?" is a whole name;
// any other mask is a wildcard pattern (matchesWildcard), less the blanks that lead it.
bool matchesMask(std::string_view name, std::string_view mask);

// Whether a name fits a wildcard pattern: "*" stands for any run of characters (none too),
// "?" for one character (a whole UTF-8 sequence; a byte that begins none counts as one),
// every other byte for itself.
bool matchesWildcard(std::string_view name, std::string_view pattern);

// The mask filter of one save: the masks built from the mask text, and whether a file name
// fits any of them. Reads nothing after its construction.
class MaskFilter {
public:
    explicit MaskFilter(const std::string& fileMask);

    // No mask in force: every name passes, folders included.
    bool empty() const { return m_masks.empty(); }
    // The name as the file system gives it; case of a to z does not count.
    bool fits(std::string_view name) const;
    const std::vector<std::string>& masks() const { return m_masks; }

private:
    std::vector<std::string> m_masks; // in capitals
};

} // namespace zintrel
