#include "Resources.h"

#include <QtGlobal>

// Outside any namespace, as Qt's resource macro requires; a static library's resources are
// otherwise dropped by the linker, since nothing refers to them.
static void loadZintrelResources() { Q_INIT_RESOURCE(zintrel); }

namespace zintrel {

void loadResources()
{
    static const bool loaded = [] {
        loadZintrelResources();
        return true;
    }();
    (void)loaded;
}

} // namespace zintrel
