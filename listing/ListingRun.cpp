#include "ListingRun.h"

#include "ListingHeader.h"
#include "ListingUi.h"
#include "PdfRenderer.h"
#include "platform/OutputFile.h"
#include "platform/TempFiles.h"

#include <sys/stat.h>
#include <unistd.h>

namespace zintrel {

namespace {

bool passwordsAcceptable(const ListingOptions& options)
{
    return !options.pdfSecurity || (!options.pdfPassword.empty() && options.pdfPassword == options.pdfPasswordConfirm);
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Start of the local day of a date, or of the day after it.
std::time_t startOfDay(const LocalDateTime& date, int daysLater)
{
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day + daysLater;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace

std::optional<SavePlan> ListingRun::prepare(const ListingOptions& options, const std::string& folder, ListingUi& ui)
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
    plan.type = choice->type == OutputType::Text ? OutputType::Text : OutputType::Pdf;
    plan.target = completeTargetName(choice->name, plan.type);
    plan.options = options;

    // The dialog asked about the name as chosen; ask again for the name we really write.
    if (plan.target != choice->name && fileExists(plan.target) && !ui.confirmReplace(plan.target))
        return std::nullopt;
    // A mistyped password is caught before a long walk, not after it.
    if (plan.type == OutputType::Pdf && !passwordsAcceptable(options)) {
        ui.showMessage(kPasswordMessage);
        return std::nullopt;
    }
    ui.showTarget(plan.target);
    return plan;
}

void ListingRun::runStep(const SavePlan& plan, const WalkContext& context)
{
    const ListingOptions& options = plan.options;
    m_state.processedFolder = plan.folder;
    std::uint32_t attributeMask = buildAttributeMask(options);
    m_state.includeSubfolders = options.includeSubfolders;
    m_state.foldersOnly = options.excludeAnyFile;
    m_state.maskList = buildMaskList(options.fileMask);
    m_state.fieldSpacing = options.fieldSpacing;
    m_state.indentSize = options.indentSize;
    m_state.fieldSeparator = padRight("", options.fieldSpacing);
    m_state.dateFilterActive = options.dateFilterEnabled;
    if (options.dateFilterEnabled) {
        m_state.dateLow = startOfDay(options.dateFrom, 0);
        m_state.dateHighEnd = startOfDay(options.dateTo, 1);
    }
    m_state.folderCount = 0;
    m_state.fileCount = 0;
    m_state.totalSizeKb = 0;
    walkFolder(m_state, options, m_state.processedFolder, attributeMask, 1, context);
}

void ListingRun::writeListing(const SavePlan& plan, int fd, const std::string& displayPath,
                              const SaveEnvironment& environment, ListingProgress* progress,
                              const std::atomic<bool>* cancel)
{
    DateTimeText dates(environment.dateTimeFormat);
    OutputFile out(fd, displayPath);
    m_state.ownFiles.clear();
    for (int own : {fd, m_targetFd}) {
        struct stat st {};
        if (own >= 0 && ::fstat(own, &st) == 0)
            m_state.ownFiles.emplace_back(st.st_dev, st.st_ino);
    }
    m_state.listingFile = &out;
    struct Detach {
        ListingRunState& state;
        ~Detach() { state.listingFile = nullptr; }
    } detach{m_state};

    writeListingHeader(out, plan.folder, plan.options, dates, environment.clock());
    runStep(plan, WalkContext{&dates, progress, cancel});
    writeListingFooter(out, m_state);
    out.close(plan.type == OutputType::Text);
}

SaveResult ListingRun::execute(const SavePlan& plan, const SaveEnvironment& environment, ListingUi& ui,
                               ListingProgress* progress, const std::atomic<bool>* cancel)
{
    if (plan.type == OutputType::Pdf && !environment.pdfRenderer)
        throw std::runtime_error(kNoPdfMessage);

    AtomicFile target(plan.target);
    if (plan.type == OutputType::Text) {
        m_targetFd = -1;
        writeListing(plan, target.takeFd(), plan.target, environment, progress, cancel);
    } else {
        std::string folder = environment.temporaryFolder.empty() ? temporaryFolder() : environment.temporaryFolder;
        TempFile listing(folder, "zintrel-listing-", ".txt");
        int targetFd = target.takeFd();
        m_targetFd = targetFd;
        struct CloseTarget {
            int fd;
            ~CloseTarget() { ::close(fd); }
        } closeTarget{targetFd};
        writeListing(plan, listing.takeFd(), listing.path(), environment, progress, cancel);
        environment.pdfRenderer->render(listing.path(), target.writePath(), plan.options,
                                        [&ui](const std::string& text) { ui.showMessage(text); }, cancel);
    }
    target.commit();
    return SaveResult{m_state.folderCount, m_state.fileCount, m_state.totalSizeKb};
}

void ListingRun::finish(const SavePlan& plan, ListingUi& ui)
{
    if (plan.options.openAfterCreation)
        ui.openDocument(plan.target);
}

SaveOutcome ListingRun::save(const ListingOptions& options, const std::string& folder,
                             const SaveEnvironment& environment, ListingUi& ui, SaveResult* result)
{
    std::optional<SavePlan> plan = prepare(options, folder, ui);
    if (!plan)
        return SaveOutcome::Stopped;
    try {
        SaveResult done = execute(*plan, environment, ui);
        if (result)
            *result = done;
    } catch (const SaveCancelled&) {
        return SaveOutcome::Cancelled;
    } catch (const std::exception& error) {
        ui.showError(error.what());
        return SaveOutcome::Failed;
    }
    finish(*plan, ui);
    return SaveOutcome::Saved;
}

} // namespace zintrel
