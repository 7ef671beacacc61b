#include "SaveSteps.h"

#include <atomic>

namespace zintrel {

namespace {

std::atomic<SaveStepHook> g_hook{nullptr};

} // namespace

void setSaveStepHook(SaveStepHook hook) { g_hook.store(hook); }

void reachSaveStep(const char* step)
{
    if (SaveStepHook hook = g_hook.load(std::memory_order_relaxed))
        hook(step);
}

} // namespace zintrel
