#pragma once

namespace zintrel {

// Named moments inside a save at which a harness may stop the process, to send it a signal
// at exactly that point. The program itself installs no hook: then a step costs one load.
using SaveStepHook = void (*)(const char* step);

// The content is linked beside the target under a name of its own, not yet renamed over it.
inline constexpr const char* kStepReplaceLinked = "replace-linked";
// In place, without reserved space: the part beyond the old end is written, the rest not.
inline constexpr const char* kStepInPlaceTail = "in-place-tail";
// In place: the new bytes are written over the old ones, the file not yet cut to length.
inline constexpr const char* kStepInPlaceFront = "in-place-front";
// Every range of a PDF is drawn into its own file; none is appended yet.
inline constexpr const char* kStepRangesDrawn = "ranges-drawn";

// Sets the hook (null: none); any thread may then reach a step.
void setSaveStepHook(SaveStepHook hook);
void reachSaveStep(const char* step);

} // namespace zintrel
