#include "TestFonts.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace zintrel::test {

namespace {

// The files of the Debian packages that scripts/install-deps.sh installs. (Not asked of
// fontconfig, whose configuration parser loses memory the sanitizer build would report.)
std::string fontFile(const std::string& path)
{
    if (::access(path.c_str(), R_OK) != 0) {
        ADD_FAILURE() << "no font file " << path << " (scripts/install-deps.sh installs it)";
        return {};
    }
    return path;
}

} // namespace

std::string liberationSans() { return fontFile("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"); }

std::string nimbusSansOpenType() { return fontFile("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"); }

} // namespace zintrel::test
