#pragma once

#include "OutputFormats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zintrel {

struct TargetChoice {
    std::string name;
    OutputType type = OutputType::Text;
};

// What a save asks of, or tells, the user. The windows answer with dialogs and message
// boxes; tests and the bench answer on their own.
class ListingUi {
public:
    virtual ~ListingUi() = default;
    // The file-save dialog, starting in the folder being listed. nullopt: cancelled.
    virtual std::optional<TargetChoice> chooseTarget(const std::string& startFolder) = 0;
    // Asked when the completed name differs from the chosen one and names an existing file.
    virtual bool confirmReplace(const std::string& path) = 0;
    // A message box. May be called from the thread that runs the save (the font notice).
    virtual void showMessage(const std::string& text) = 0;
    // The error box of a failed save.
    virtual void showError(const std::string& text) = 0;
    // The file a save has just written, for the main window's label.
    virtual void showTarget(const std::string& path) = 0;
    // Hands a finished file to the desktop's default program; the outcome is not looked at.
    virtual void openDocument(const std::string& path) = 0;
    // After a save that could not read count folders below the one listed; firstFolders
    // holds the first of them (at most kUnreadableShown). The listing itself is saved.
    virtual void showUnreadableFolders(std::int64_t count, const std::vector<std::string>& firstFolders) = 0;
};

} // namespace zintrel
