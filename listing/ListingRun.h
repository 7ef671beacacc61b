#pragma once

#include "ListingOptions.h"
#include "OutputFormats.h"
#include "platform/CancelToken.h"
#include "platform/DateTimeText.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zintrel {

class ListingProgress;
class ListingUi;
class OutputMaker;

inline constexpr const char* kSizeFilterMessage
    = "The \"Size\" filter is not correct. Go to \"Settings -> Filters -> Specify Size\" !";
inline constexpr const char* kUnknownSaveError = "The listing could not be saved.";

// One save, decided: what to list, where to, how.
struct SavePlan {
    std::string folder;
    std::string target; // the completed name
    OutputType type = OutputType::Text;
    ListingOptions options;
};

struct SaveResult {
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::int64_t totalSizeKb = 0;
    // Folders below the listed one that could not be read, and the first of them.
    std::int64_t unreadableFolders = 0;
    std::vector<std::string> firstUnreadable;
};

// What a save needs of the machine besides the user.
struct SaveEnvironment {
    DateTimeFormat dateTimeFormat;
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };
    const OutputMaker* pdfOutput = nullptr; // null: PDF output is refused
    std::string temporaryFolder;            // empty: the system's
    int drawingThreads = 0;                 // threads drawing a PDF at once; 0: as suits it
};

enum class SaveOutcome { Saved, Stopped, Cancelled, Failed };

// Runs the writing part of a save and says how it ended: Saved, Cancelled (SaveCancelled
// was thrown) or Failed, with the error box's text in errorText. Nothing escapes.
SaveOutcome outcomeOf(const std::function<void()>& work, std::string& errorText) noexcept;

// The Save command from the press of the button to the finished file. prepare() talks to
// the user and touches no file; execute() writes, and may run on another thread; finish()
// opens the result. save() does all three on the calling thread. Nothing is kept from one
// save to the next.
class ListingRun {
public:
    // The checks and the target dialog. nullopt: stopped, with any message already shown.
    // environment: what will write, which may refuse settings it cannot write.
    static std::optional<SavePlan> prepare(const ListingOptions& options, const std::string& folder,
                                           const SaveEnvironment& environment, ListingUi& ui);

    // Writes the listing in the plan's format under plan.target without ever leaving a
    // half file there. Throws IoError or another std::exception on failure, SaveCancelled
    // when cancel is raised; either way no temporary file is left behind.
    static SaveResult execute(const SavePlan& plan, const SaveEnvironment& environment, ListingUi& ui,
                              ListingProgress* progress = nullptr, const CancelToken& cancel = CancelToken::none());

    // Names the saved file, tells what could not be read, then opens the file when asked to.
    static void finish(const SavePlan& plan, const SaveResult& result, ListingUi& ui);

    static SaveOutcome save(const ListingOptions& options, const std::string& folder,
                            const SaveEnvironment& environment, ListingUi& ui, SaveResult* result = nullptr);
};

} // namespace zintrel
