#pragma once

#include "ListingUi.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zintrel {

// A save's user without windows: the target and the answer to the replace question are
// given beforehand, and what the save tells is recorded (and, with echo, written there as
// it comes, one line each). For programs that run saves headless, and for tests.
class ScriptedUi : public ListingUi {
public:
    std::optional<TargetChoice> choice; // the file-save dialog's answer; nullopt: cancel
    bool replaceAnswer = true;
    std::ostream* echo = nullptr; // messages, errors and unreadable folders, as told

    // What the save asked and told.
    int chooseCalls = 0;
    std::string startFolder;
    std::vector<std::string> confirmAsked;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<std::string> shownTargets;
    std::vector<std::string> opened;
    std::int64_t unreadableCount = 0;
    std::vector<std::string> unreadable;

    std::optional<TargetChoice> chooseTarget(const std::string& folder) override;
    bool confirmReplace(const std::string& path) override;
    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    void showTarget(const std::string& path) override;
    void openDocument(const std::string& path) override;
    void showUnreadableFolders(std::int64_t count, const std::vector<std::string>& firstFolders) override;
};

} // namespace zintrel
