#pragma once

namespace zintrel {

// Thrown out of a save's walk or drawing when the user has asked it to stop.
struct SaveCancelled {};

} // namespace zintrel
