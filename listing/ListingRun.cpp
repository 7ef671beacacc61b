#include "ListingRun.h"

#include "EntryFilter.h"
#include "FolderWalk.h"
#include "ListingOutput.h"
#include "ListingProgress.h"
#include "ListingSink.h"
#include "ListingUi.h"
#include "platform/AtomicFile.h"
#include "platform/FileDescriptor.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

namespace zintrel {

namespace {

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The folder to list must be there and readable before anything is written.
void checkStartFolder(const std::string& folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    alignas(dirent64) char buffer[1024];
    if (!fd || ::getdents64(fd.get(), buffer, sizeof buffer) < 0)
        throw startFolderError(errno, folder);
}

// What this save writes is never listed, not even inside the listed tree.
void skipOwnFile(EntryFilter& filter, int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        filter.skipFile(st.st_dev, st.st_ino);
}

} // namespace

SaveOutcome outcomeOf(const std::function<void()>& work, std::string& errorText) noexcept
{
    try {
        work();
        return SaveOutcome::Saved;
    } catch (const SaveCancelled&) {
        return SaveOutcome::Cancelled;
    } catch (const std::exception& error) {
        errorText = error.what();
    } catch (...) {
        errorText = kUnknownSaveError;
    }
    return SaveOutcome::Failed;
}

std::optional<SavePlan> ListingRun::prepare(const ListingOptions& options, const std::string& folder,
                                            const SaveEnvironment& environment, ListingUi& ui)
{
    if (options.sizeFilterEnabled && options.sizeFilterMode != SizeFilterMode::AtLeast
        && options.sizeFilterMode != SizeFilterMode::AtMost) {
        ui.showMessage(kSizeFilterMessage);
        return std::nullopt;
    }
    std::optional<TargetChoice> choice = ui.chooseTarget(folder);
    if (!choice || choice->name.empty())
        return std::nullopt;

    SavePlan plan;
    plan.folder = folder;
    plan.type = choice->type;
    plan.target = completeTargetName(choice->name, plan.type);
    plan.options = options;

    // The dialog asked about the name as chosen; ask again for the name we really write.
    if (plan.target != choice->name && fileExists(plan.target) && !ui.confirmReplace(plan.target))
        return std::nullopt;
    const OutputFormat& format = outputFormat(plan.type);
    if (std::string refusal = format.refusal(options, environment); !refusal.empty()) {
        ui.showMessage(refusal);
        return std::nullopt;
    }
    return plan;
}

SaveResult ListingRun::execute(const SavePlan& plan, const SaveEnvironment& environment, ListingUi& ui,
                               ListingProgress* progress, const CancelToken& cancel)
{
    // Checked before the walk already; checked again so no caller can walk a whole tree
    // only to throw the listing away.
    const OutputFormat& format = outputFormat(plan.type);
    if (std::string refusal = format.refusal(plan.options, environment); !refusal.empty())
        throw std::runtime_error(refusal);

    checkStartFolder(plan.folder);
    const std::string scratch = environment.temporaryFolder.empty() ? temporaryFolder() : environment.temporaryFolder;
    AtomicFile target(plan.target, scratch);
    EntryFilter filter(plan.options);
    skipOwnFile(filter, target.fd());
    if (target.mode() == AtomicFile::Mode::InPlace)
        skipOwnFile(filter, target.targetFd());
    OutputFile targetOut(target.fd(), plan.target);

    OutputSetup setup{plan.options, targetOut, plan.target, scratch, environment.dateTimeFormat, cancel};
    setup.progress = progress;
    setup.drawingThreads = environment.drawingThreads;
    setup.notice = [&ui](const std::string& text) { ui.showMessage(text); };
    setup.ownFile = [&filter](int fd) { skipOwnFile(filter, fd); };
    std::unique_ptr<ListingOutput> output = format.make(setup, environment);

    // The run step.
    ListingRunState state;
    state.processedFolder = plan.folder;
    state.includeSubfolders = plan.options.includeSubfolders;
    ListingSink sink(filter, *output, state, progress);
    output->begin(state.processedFolder, environment.clock());
    WalkContext context{cancel};
    context.subfolders = state.includeSubfolders;
    walkFolder(state.processedFolder, 1, sink, context);
    const ListingTotals totals = sink.totals();
    if (progress)
        progress->listed(totals.folders, totals.files);
    output->finish(totals);
    targetOut.sync();
    target.commit();

    SaveResult result;
    result.folders = totals.folders;
    result.files = totals.files;
    result.totalSizeKb = totals.totalSizeKb;
    result.unreadableFolders = sink.unreadableFolders();
    result.firstUnreadable = sink.firstUnreadable();
    return result;
}

void ListingRun::finish(const SavePlan& plan, const SaveResult& result, ListingUi& ui)
{
    ui.showTarget(plan.target);
    if (result.unreadableFolders > 0)
        ui.showUnreadableFolders(result.unreadableFolders, result.firstUnreadable);
    if (plan.options.openAfterCreation)
        ui.openDocument(plan.target);
}

SaveOutcome ListingRun::save(const ListingOptions& options, const std::string& folder,
                             const SaveEnvironment& environment, ListingUi& ui, SaveResult* result)
{
    std::optional<SavePlan> plan = prepare(options, folder, environment, ui);
    if (!plan)
        return SaveOutcome::Stopped;
    std::string errorText;
    SaveResult done;
    SaveOutcome outcome = outcomeOf([&] { done = execute(*plan, environment, ui); }, errorText);
    if (outcome == SaveOutcome::Failed)
        ui.showError(errorText);
    else if (outcome == SaveOutcome::Saved)
        finish(*plan, done, ui);
    if (result)
        *result = done;
    return outcome;
}

} // namespace zintrel
