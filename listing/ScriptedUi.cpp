#include "ScriptedUi.h"

namespace zintrel {

std::optional<TargetChoice> ScriptedUi::chooseTarget(const std::string& folder)
{
    ++chooseCalls;
    startFolder = folder;
    return choice;
}

bool ScriptedUi::confirmReplace(const std::string& path)
{
    confirmAsked.push_back(path);
    return replaceAnswer;
}

// The font notice comes from the thread that draws a PDF, while the save's own thread
// waits; nothing else is told meanwhile.
void ScriptedUi::showMessage(const std::string& text)
{
    messages.push_back(text);
    if (echo)
        *echo << text << '\n';
}

void ScriptedUi::showError(const std::string& text)
{
    errors.push_back(text);
    if (echo)
        *echo << text << '\n';
}

void ScriptedUi::showTarget(const std::string& path) { shownTargets.push_back(path); }

void ScriptedUi::openDocument(const std::string& path) { opened.push_back(path); }

void ScriptedUi::showUnreadableFolders(std::int64_t count, const std::vector<std::string>& firstFolders)
{
    unreadableCount = count;
    unreadable = firstFolders;
    if (!echo)
        return;
    *echo << count << " folder(s) could not be read:\n";
    for (const std::string& folder : firstFolders)
        *echo << folder << '\n';
}

} // namespace zintrel
