#pragma once

namespace zintrel {

// Makes "MS Sans Serif", the windows' and the listing's default face, draw in a
// metric-compatible font of this system (Liberation Sans, else Nimbus Sans). Call once
// after the QGuiApplication exists.
void registerFontSubstitutes();

} // namespace zintrel
