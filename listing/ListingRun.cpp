#include "ListingRun.h"

#include "EntryFilter.h"
#include "FolderWalk.h"
#include "ListingHeader.h"
#include "ListingLineWriter.h"
#include "ListingOutline.h"
#include "ListingProgress.h"
#include "ListingUi.h"
#include "PdfRenderer.h"
#include "SaveCancelled.h"
#include "platform/AtomicFile.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
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

constexpr std::int64_t kHeaderLines = 5;
constexpr std::int64_t kHeaderAndFooterLines = 9;

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// What the walk meets goes through the filter; what passes becomes a line.
class ListingSink : public WalkSink {
public:
    // outline: where the bookmarks of a PDF are noted; null for a text listing.
    ListingSink(const EntryFilter& filter, ListingLineWriter& writer, bool includeSubfolders, ListingProgress* progress,
                SaveResult& result, OutlineRecorder* outline)
        : m_filter(filter)
        , m_writer(writer)
        , m_includeSubfolders(includeSubfolders)
        , m_progress(progress)
        , m_result(result)
        , m_outline(outline)
    {
    }

    void folderEntered(std::string_view path, int) override
    {
        m_writer.folderEntered(path);
        if (m_outline)
            m_outline->folderEntered();
        if (m_progress)
            m_progress->folderEntered(std::string(path), m_writer.folders(), m_writer.files());
    }
    void folderLeft() override
    {
        m_writer.folderLeft();
        if (m_outline)
            m_outline->folderLeft();
    }

    bool entry(const WalkEntry& entry) override
    {
        EntryFilter::Verdict verdict = m_filter.judge(entry);
        if (verdict == EntryFilter::Verdict::List) {
            m_writer.write(entry);
            if (m_outline)
                m_outline->entry(entry, kHeaderLines + m_writer.folders() + m_writer.files());
        } else if (m_outline) {
            m_outline->entryNotListed();
        }
        return verdict != EntryFilter::Verdict::Skip && m_includeSubfolders;
    }

    void folderUnreadable(std::string_view path, int) override
    {
        ++m_result.unreadableFolders;
        if (m_result.firstUnreadable.size() < kUnreadableShown)
            m_result.firstUnreadable.emplace_back(path);
    }

private:
    const EntryFilter& m_filter;
    ListingLineWriter& m_writer;
    bool m_includeSubfolders;
    ListingProgress* m_progress;
    SaveResult& m_result;
    OutlineRecorder* m_outline;
};

// The folder to list must be there and readable before anything is written.
void checkStartFolder(const std::string& folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    alignas(dirent64) char buffer[1024];
    if (!fd || ::getdents64(fd.get(), buffer, sizeof buffer) < 0)
        throw startFolderError(errno, folder);
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
    if (plan.type == OutputType::Pdf && !options.passwordsAcceptable()) {
        ui.showMessage(kPasswordMessage);
        return std::nullopt;
    }
    if (plan.type == OutputType::Pdf && options.pdfSecurity && options.pdfPassword.size() > kMaxPasswordBytes) {
        ui.showMessage(kPasswordTooLongMessage);
        return std::nullopt;
    }
    return plan;
}

void ListingRun::writeListing(const SavePlan& plan, OutputFile& out, const std::vector<FileId>& ownFiles,
                              const SaveEnvironment& environment, ListingProgress* progress,
                              const std::atomic<bool>* cancel)
{
    const ListingOptions& options = plan.options;
    DateTimeText dates(environment.dateTimeFormat);
    const bool forPdf = plan.type == OutputType::Pdf;
    writeListingHeader(out, plan.folder, options, dates, environment.clock(), forPdf);

    // The run step.
    m_state.processedFolder = plan.folder;
    m_state.includeSubfolders = options.includeSubfolders;
    m_state.fieldSpacing = options.fieldSpacing;
    m_state.indentSize = options.indentSize;
    m_state.fieldSeparator = padRight("", options.fieldSpacing);
    m_state.folderCount = 0;
    m_state.fileCount = 0;
    m_state.totalSizeKb = 0;
    m_result = SaveResult{};
    EntryFilter filter(options);
    for (const FileId& own : ownFiles)
        filter.skipFile(own.device, own.inode);
    ListingLineWriter writer(options, out, dates, forPdf);
    OutlineRecorder outline;
    ListingSink sink(filter, writer, m_state.includeSubfolders, progress, m_result, forPdf ? &outline : nullptr);
    WalkContext context;
    context.cancel = cancel;
    context.subfolders = m_state.includeSubfolders;
    walkFolder(m_state.processedFolder, 1, sink, context);
    m_state.folderCount = m_result.folders = writer.folders();
    m_state.fileCount = m_result.files = writer.files();
    m_state.totalSizeKb = m_result.totalSizeKb = writer.totalSizeKb();
    if (progress)
        progress->listed(m_result.folders, m_result.files);
    m_outline = std::move(outline.entries());

    writeListingFooter(out, m_state);
}

SaveResult ListingRun::execute(const SavePlan& plan, const SaveEnvironment& environment, ListingUi& ui,
                               ListingProgress* progress, const std::atomic<bool>* cancel)
{
    if (plan.type == OutputType::Pdf && !environment.pdfRenderer)
        throw std::runtime_error(kNoPdfMessage);

    auto idOf = [](int fd) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? FileId{st.st_dev, st.st_ino} : FileId{0, 0};
    };
    checkStartFolder(plan.folder);
    const std::string scratch = environment.temporaryFolder.empty() ? temporaryFolder() : environment.temporaryFolder;
    AtomicFile target(plan.target, scratch);
    // What this save writes is never listed, not even inside the listed tree.
    std::vector<FileId> ownFiles{idOf(target.fd())};
    if (target.mode() == AtomicFile::Mode::InPlace)
        ownFiles.push_back(idOf(target.targetFd()));
    OutputFile targetOut(target.fd(), plan.target);
    if (plan.type == OutputType::Text) {
        writeListing(plan, targetOut, ownFiles, environment, progress, cancel);
        targetOut.sync();
    } else {
        TempFile listing(scratch, "zintrel-listing-", ".txt", plan.target);
        ownFiles.push_back(idOf(listing.fd()));
        OutputFile listingOut(listing.fd(), plan.target);
        writeListing(plan, listingOut, ownFiles, environment, progress, cancel);
        listingOut.flush();
        InputFile listingIn(listing.fd(), plan.target);
        RenderHooks hooks;
        hooks.notice = [&ui](const std::string& text) { ui.showMessage(text); };
        hooks.cancel = cancel;
        hooks.progress = progress;
        hooks.lineCount = m_result.folders + m_result.files + kHeaderAndFooterLines;
        hooks.outline = &m_outline;
        hooks.threads = environment.drawingThreads;
        environment.pdfRenderer->render(listingIn, targetOut, plan.options, hooks);
        targetOut.flush();
    }
    target.commit();
    return m_result;
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
    std::optional<SavePlan> plan = prepare(options, folder, ui);
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
