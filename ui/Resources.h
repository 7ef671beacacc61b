#pragma once

namespace zintrel {

// Registers the pictures compiled into the program (":/icons/..."). The windows call it;
// calling it again does no harm.
void loadResources();

} // namespace zintrel
