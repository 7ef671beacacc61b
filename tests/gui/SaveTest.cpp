// Saves from the main window: the file-save dialog, the listing written on the worker, the
// label, the open action, the error box and Cancel.

#include "SaveController.h"
#include "SaveProgressDialog.h"
#include "WindowsFixture.h"
#include "listing/ListingOutput.h"
#include "listing/ListingProgress.h"
#include "listing/ScriptedUi.h"
#include "platform/CancelToken.h"
#include "platform/OutputFile.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <thread>

namespace zintrel::test {
namespace {

constexpr std::time_t kFixedNow = 1700000000;

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// What the file-save dialog proposed when it was opened.
struct Proposal {
    QString folder;
    QString name;
    QString type;
};

// A PDF output whose finish is the test's own: it lists nothing, and writes what stage
// writes.
class StagedPdf : public OutputMaker {
public:
    std::unique_ptr<ListingOutput> make(const OutputSetup& setup) const override
    {
        return std::make_unique<Output>(setup, *this);
    }

protected:
    virtual void stage(const OutputSetup& setup) const = 0;

private:
    class Output : public ListingOutput {
    public:
        Output(const OutputSetup& setup, const StagedPdf& maker)
            : m_setup(setup)
            , m_maker(maker)
        {
        }
        void begin(const std::string&, std::time_t) override {}
        void folderEntered(std::string_view, int, bool) override {}
        void folderLeft() override {}
        void entry(const ListedEntry&) override {}
        void finish(const ListingTotals&) override { m_maker.stage(m_setup); }

    private:
        OutputSetup m_setup;
        const StagedPdf& m_maker;
    };
};

// A PDF stage that runs until it is cancelled, so Cancel always meets a running save.
class EndlessRenderer : public StagedPdf {
public:
    mutable std::atomic<bool> started{false};

protected:
    void stage(const OutputSetup& setup) const override
    {
        setup.out.write("%PDF-partial");
        setup.out.flush();
        started = true;
        while (!setup.cancel.raised())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        throw SaveCancelled{};
    }
};

class SaveTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        ASSERT_TRUE(m_targets.isValid());
        ASSERT_TRUE(m_temporary.isValid());
        ASSERT_TRUE(QDir().mkpath(QStringLiteral("docs/inner")));
        writeFile("docs/readme.txt", std::string(3000, 'x'));
        writeFile("docs/inner/notes.txt", "notes");
        writeFile("top.dat", std::string(1500, 'y'));
        createWindows();
        Form1->saveController().environment().clock = [] { return kFixedNow; };
        Form1->saveController().environment().temporaryFolder = m_temporary.path().toStdString();
    }

    QString target(const QString& name) const { return QDir(m_targets.path()).absoluteFilePath(name); }

    // The dialog answers with name and type and records what it proposed.
    void answerDialog(const QString& name, int type)
    {
        dialogs.onSaveDialog = [this, name, type](QFileDialog& dialog) {
            QStringList files = dialog.selectedFiles();
            proposals.push_back({dialog.directory().absolutePath(),
                                 files.isEmpty() ? QString() : QFileInfo(files.first()).fileName(),
                                 dialog.selectedNameFilter()});
            dialog.selectNameFilter(dialog.nameFilters().value(type));
            dialog.selectFile(name);
            return true;
        };
    }

    void pressSave() { QTest::mouseClick(control<QToolButton>(*Form1, "cmdSave"), Qt::LeftButton); }

    QStringList leftInTemporaryFolders() const
    {
        QStringList left = QDir(m_temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString& name :
             QDir(m_targets.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            left << name;
        return left;
    }

    std::vector<Proposal> proposals;
    QTemporaryDir m_targets;
    QTemporaryDir m_temporary;
};

TEST_F(SaveTest, TextSaveWritesTheListingShowsItsNameAndOpensIt)
{
    answerDialog(target(QStringLiteral("list")), 0);
    pressSave();

    const QString written = target(QStringLiteral("list.txt"));
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(control<QLabel>(*Form1, "lblFile")->text(), written);
    EXPECT_EQ(shell.opened, QStringList{written});

    // The same listing as the engine writes on its own for the same folder and options.
    const QString direct = target(QStringLiteral("direct.txt"));
    SaveEnvironment environment;
    environment.clock = [] { return kFixedNow; };
    ScriptedUi ui;
    ui.choice = TargetChoice{direct.toStdString(), OutputType::Text};
    ASSERT_EQ(ListingRun::save(Form1->listingOptions(), QDir::currentPath().toStdString(), environment, ui),
              SaveOutcome::Saved);
    std::string listing = readFile(local(written));
    EXPECT_EQ(listing, readFile(local(direct)));
    EXPECT_NE(listing.find("readme.txt"), std::string::npos);
    EXPECT_NE(listing.find("notes.txt"), std::string::npos);
    EXPECT_NE(listing.find("top.dat"), std::string::npos);
    EXPECT_TRUE(listing.ends_with("\r\n"));
}

TEST_F(SaveTest, DialogProposesZintrel1FirstThenTheLastNameAndType)
{
    QTest::mouseClick(control<QCheckBox>(*Form1, "chkOpenAfter"), Qt::LeftButton);
    answerDialog(target(QStringLiteral("first.TXT")), 0);
    pressSave();
    answerDialog(target(QStringLiteral("second")), 1);
    pressSave(); // no PDF stage may be built in; the dialog is what counts here
    answerDialog(target(QStringLiteral("third")), 0);
    pressSave();

    ASSERT_EQ(proposals.size(), 3u);
    const QString start = QDir::currentPath();
    EXPECT_EQ(proposals[0].folder, start);
    EXPECT_EQ(proposals[0].name, QStringLiteral("Zintrel1"));
    EXPECT_EQ(proposals[0].type, QStringLiteral("Text File (*.txt)"));
    EXPECT_EQ(proposals[1].folder, start);
    EXPECT_EQ(proposals[1].name, QStringLiteral("first.TXT"));
    EXPECT_EQ(proposals[1].type, QStringLiteral("Text File (*.txt)"));
    EXPECT_EQ(proposals[2].name, QStringLiteral("second"));
    EXPECT_EQ(proposals[2].type, QStringLiteral("PDF File (*.pdf)"));
    EXPECT_TRUE(QFile::exists(target(QStringLiteral("first.TXT"))));
    EXPECT_FALSE(QFile::exists(target(QStringLiteral("first.TXT.txt"))));
    EXPECT_TRUE(QFile::exists(target(QStringLiteral("third.txt"))));
    EXPECT_TRUE(shell.opened.isEmpty());
}

// The dialog offers every format of the table by its file type, and the one chosen writes
// the file with its extension completed.
TEST_F(SaveTest, CsvAndJsonAreChosenByTheirFileTypes)
{
    QTest::mouseClick(control<QCheckBox>(*Form1, "chkOpenAfter"), Qt::LeftButton);
    struct Row {
        QString filter;
        QString file;
        std::string start;
    };
    for (const Row& row : {Row{QStringLiteral("CSV File (*.csv)"), QStringLiteral("chosen.csv"), "Name,Size (bytes),"},
                           Row{QStringLiteral("JSON File (*.json)"), QStringLiteral("chosen.json"), "{\"listing\":"}}) {
        QStringList offered;
        dialogs.onSaveDialog = [&](QFileDialog& dialog) {
            offered = dialog.nameFilters();
            dialog.selectNameFilter(row.filter);
            dialog.selectFile(target(QStringLiteral("chosen")));
            return true;
        };
        pressSave();
        EXPECT_TRUE(offered.contains(row.filter)) << offered.join(QStringLiteral("; ")).toStdString();
        const std::string written = readFile(local(target(row.file)));
        EXPECT_TRUE(written.starts_with(row.start)) << written.substr(0, 40);
        EXPECT_NE(written.find("notes.txt"), std::string::npos);
    }
}

TEST_F(SaveTest, CompletedNameThatExistsIsReplacedOnlyAfterAsking)
{
    const QString existing = target(QStringLiteral("kept.txt"));
    writeFile(local(existing), "old listing");
    struct Row {
        bool answer;
        bool replaced;
    };
    for (Row row : {Row{false, false}, Row{true, true}}) {
        SCOPED_TRACE(row.answer);
        dialogs.questions.clear();
        dialogs.yesAnswer = row.answer;
        answerDialog(target(QStringLiteral("kept")), 0);
        pressSave();
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_TRUE(dialogs.questions[0].contains(existing));
        EXPECT_EQ(readFile(local(existing)) != "old listing", row.replaced);
    }
}

TEST_F(SaveTest, CancelledDialogWritesNothing)
{
    dialogs.onSaveDialog = [](QFileDialog&) { return false; };
    pressSave();
    EXPECT_EQ(dialogs.saveDialogRuns, 1);
    EXPECT_TRUE(leftInTemporaryFolders().isEmpty());
    EXPECT_TRUE(control<QLabel>(*Form1, "lblFile")->text().isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(SaveTest, StoppedSavesShowTheirMessageAndWriteNothing)
{
    struct Row {
        const char* what;
        std::function<void(ListingOptions&)> set;
        int type;
        const char* message;
        int dialogRuns;
    };
    const Row rows[] = {
        {"size filter without a mode",
         [](ListingOptions& o) {
             o.sizeFilterEnabled = true;
             o.sizeFilterMode = SizeFilterMode::None;
         },
         0, "The \"Size\" filter is not correct. Go to \"Settings -> Filters -> Specify Size\" !", 0},
        {"passwords differ",
         [](ListingOptions& o) {
             o.pdfSecurity = true;
             o.pdfPassword = "a";
             o.pdfPasswordConfirm = "b";
         },
         1, "Passwords do not match or not entered. Save operation aborted.", 1},
    };
    const ListingOptions initial = frmOptions->options();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ListingOptions options = initial;
        row.set(options);
        frmOptions->showOptions(options);
        dialogs.messages.clear();
        dialogs.saveDialogRuns = 0;
        answerDialog(target(QStringLiteral("stopped")), row.type);
        pressSave();
        EXPECT_EQ(dialogs.messages, QStringList{QString::fromLatin1(row.message)});
        EXPECT_EQ(dialogs.saveDialogRuns, row.dialogRuns);
        EXPECT_TRUE(leftInTemporaryFolders().isEmpty());
        EXPECT_TRUE(shell.opened.isEmpty());
    }
}

TEST_F(SaveTest, FailedSaveShowsTheErrorAndOpensNothing)
{
    answerDialog(target(QStringLiteral("missing/list")), 0);
    pressSave();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_FALSE(dialogs.errors[0].isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(leftInTemporaryFolders().isEmpty());
}

TEST_F(SaveTest, CancelBeforeTheWalkLeavesNoFileAndSaysNothing)
{
    const QString existing = target(QStringLiteral("old.txt"));
    writeFile(local(existing), "old listing");
    dialogs.onSaveDialog = [&](QFileDialog& dialog) {
        dialog.selectFile(existing);
        // Raised while the save is still being set up: the walk meets it at its first entry.
        Form1->saveController().cancel();
        return true;
    };
    pressSave();
    EXPECT_EQ(readFile(local(existing)), "old listing");
    EXPECT_EQ(leftInTemporaryFolders(), QStringList{QStringLiteral("old.txt")});
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(SaveTest, CancelButtonStopsARunningSave)
{
    EndlessRenderer renderer;
    SaveController& controller = Form1->saveController();
    controller.environment().pdfOutput = &renderer;
    controller.setProgressDelay(std::chrono::milliseconds(0));
    const QString existing = target(QStringLiteral("old.pdf"));
    writeFile(local(existing), "old pdf");
    answerDialog(existing, 1);

    bool progressSeen = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        SaveProgressDialog& progress = controller.progressDialog();
        if (!progress.isVisible() || !renderer.started)
            return;
        progressSeen = true;
        EXPECT_TRUE(progress.isModal());
        EXPECT_FALSE(progress.findChild<QLabel*>(QStringLiteral("lblCounts"))->text().isEmpty());
        QTest::mouseClick(progress.findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    });
    clicker.start(10);
    pressSave();
    clicker.stop();

    EXPECT_TRUE(progressSeen);
    EXPECT_FALSE(controller.progressDialog().isVisible());
    EXPECT_EQ(readFile(local(existing)), "old pdf");
    EXPECT_EQ(leftInTemporaryFolders(), QStringList{QStringLiteral("old.pdf")});
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(SaveTest, ProgressWindowStaysAwayFromShortSaves)
{
    int progressShown = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (Form1->saveController().progressDialog().isVisible())
            ++progressShown;
    });
    watcher.start(1);
    answerDialog(target(QStringLiteral("quick")), 0);
    pressSave();
    watcher.stop();
    EXPECT_TRUE(QFile::exists(target(QStringLiteral("quick.txt"))));
    EXPECT_EQ(progressShown, 0);
}

TEST_F(SaveTest, MessagesFromTheWorkerAreShownOnTheWindowThread)
{
    SaveController& controller = Form1->saveController();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        controller.showMessage("font notice");
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
    worker.join();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("font notice")});
    EXPECT_EQ(dialogs.messageThreads, QList<QThread*>{QThread::currentThread()});
}

TEST_F(SaveTest, PdfSaveWritesAPdfAndOpensIt)
{
    answerDialog(target(QStringLiteral("list.txt")), 1);
    pressSave();
    const QString written = target(QStringLiteral("list.txt.pdf"));
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(readFile(local(written)).starts_with("%PDF-"));
    EXPECT_EQ(shell.opened, QStringList{written});
    EXPECT_EQ(QDir(m_temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{});
}

// A PDF stage that goes through the phases a test asks for, each until the test moves it
// on or cancels.
class PhasedRenderer : public StagedPdf {
public:
    mutable std::atomic<int> reached{0}; // the phase the renderer waits in: 1 drawing, 2 finishing
    std::atomic<int> allowed{0};         // the last phase the test let go

protected:
    void stage(const OutputSetup& setup) const override
    {
        for (int line = 1; line <= 3; ++line)
            setup.progress->drawing(line * 100, 400, line);
        waitFor(1, setup.cancel);
        setup.progress->finishing();
        waitFor(2, setup.cancel);
        setup.out.write("%PDF-phased");
    }

private:
    void waitFor(int phase, const CancelToken& cancel) const
    {
        reached = phase;
        while (allowed.load() < phase) {
            cancel.check();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

// The progress window says what the save does: reading, then drawing the PDF with its page
// and a bar over the listing's lines, then encrypting and writing; Cancel ends any of them.
TEST_F(SaveTest, ProgressWindowShowsEachPhaseAndCancelEndsAny)
{
    SaveController& controller = Form1->saveController();
    controller.setProgressDelay(std::chrono::milliseconds(0));
    const QString existing = target(QStringLiteral("old.pdf"));
    for (int cancelIn : {1, 2, 0}) {
        SCOPED_TRACE("cancel in phase " + std::to_string(cancelIn));
        PhasedRenderer renderer;
        controller.environment().pdfOutput = &renderer;
        writeFile(local(existing), "old pdf");
        answerDialog(existing, 1);
        QStringList seen;
        QTimer stepper;
        QObject::connect(&stepper, &QTimer::timeout, [&] {
            SaveProgressDialog& progress = controller.progressDialog();
            int phase = renderer.reached.load();
            if (!progress.isVisible() || phase == 0 || renderer.allowed.load() >= phase)
                return;
            progress.startPolling(); // read the state now, not at the next tick
            auto text
                = [&](const char* name) { return progress.findChild<QLabel*>(QString::fromLatin1(name))->text(); };
            auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("barBusy"));
            seen << text("lblReading") + QLatin1Char('|') + text("lblFolder") + QLatin1Char('|') + text("lblCounts")
                    + QLatin1Char('|') + QString::number(bar->maximum() > 0 ? bar->value() * 100 / bar->maximum() : -1);
            if (phase == cancelIn)
                QTest::mouseClick(progress.findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            else
                renderer.allowed = phase;
        });
        stepper.start(5);
        pressSave();
        stepper.stop();

        ASSERT_GE(seen.size(), 1);
        EXPECT_EQ(seen[0].toStdString(), "Drawing the PDF:|Page 3|Line 300 of 400|75");
        if (cancelIn != 1) {
            ASSERT_EQ(seen.size(), 2);
            EXPECT_EQ(seen[1].toStdString(), "Encrypting and writing the PDF:|3 pages drawn|Folders: 2    Files: 3|-1");
        }
        EXPECT_FALSE(controller.progressDialog().isVisible());
        EXPECT_TRUE(dialogs.errors.isEmpty());
        if (cancelIn != 0) {
            EXPECT_EQ(readFile(local(existing)), "old pdf");
            EXPECT_TRUE(shell.opened.isEmpty());
        } else {
            EXPECT_EQ(readFile(local(existing)), "%PDF-phased");
        }
        EXPECT_EQ(leftInTemporaryFolders(), QStringList{QStringLiteral("old.pdf")});
    }
}

// The label names the last file a save wrote, never one a cancelled or failed save did not.
TEST_F(SaveTest, FileLabelNamesOnlyAFileThatWasSaved)
{
    auto* label = control<QLabel>(*Form1, "lblFile");
    answerDialog(target(QStringLiteral("first")), 0);
    pressSave();
    const QString first = target(QStringLiteral("first.txt"));
    EXPECT_EQ(label->text(), first);

    answerDialog(target(QStringLiteral("missing/second")), 0);
    pressSave();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(label->text(), first);

    EndlessRenderer renderer;
    Form1->saveController().environment().pdfOutput = &renderer;
    answerDialog(target(QStringLiteral("third")), 1);
    dialogs.onSaveDialog = [&, answer = dialogs.onSaveDialog](QFileDialog& dialog) {
        Form1->saveController().cancel();
        return answer(dialog);
    };
    pressSave();
    EXPECT_FALSE(QFile::exists(target(QStringLiteral("third.pdf"))));
    EXPECT_EQ(label->text(), first);
}

// A folder that went away after it was chosen is the error box, and nothing is written.
TEST_F(SaveTest, AChosenFolderThatIsGoneIsAnErrorAndWritesNothing)
{
    auto* tree = control<QTreeView>(*Form1, "DO1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(tree->currentIndex()) == 1; }, 5000));
    tree->setCurrentIndex(tree->model()->index(0, 0, tree->currentIndex()));
    const QByteArray docs = Form1->selectedFolder();
    ASSERT_TRUE(docs.endsWith("/docs"));
    ASSERT_TRUE(QDir(QFile::decodeName(docs)).removeRecursively());
    answerDialog(target(QStringLiteral("gone")), 0);
    pressSave(); // before the tree has heard of it
    EXPECT_EQ(dialogs.errors,
              QStringList{QStringLiteral("I/O error 2\n") + QFile::decodeName(docs)
                          + QStringLiteral("\nThe folder to list cannot be read.")});
    EXPECT_EQ(leftInTemporaryFolders(), QStringList{});
    EXPECT_TRUE(control<QLabel>(*Form1, "lblFile")->text().isEmpty());
}

// What could not be read is told in one box: how many, and the first ten, one a line.
TEST_F(SaveTest, FoldersThatCouldNotBeReadAreToldInOneBox)
{
    std::vector<std::string> first;
    QStringList shown;
    for (int i = 1; i <= 10; ++i) {
        first.push_back("/srv/locked" + std::to_string(i));
        shown << QStringLiteral("/srv/locked%1").arg(i);
    }
    first.push_back("/srv/\xFFname"); // beyond the ten: never shown
    first.resize(10);
    Form1->saveController().showUnreadableFolders(12, first);
    Form1->saveController().showUnreadableFolders(1, {"/srv/caf\xC3\xA9"});
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0],
              QStringLiteral("The listing is saved, but 12 folder(s) in it could not be read, so what they hold is "
                             "missing:\n")
                  + shown.join(QLatin1Char('\n')) + QStringLiteral("\nand 2 more."));
    EXPECT_EQ(dialogs.messages[1],
              QStringLiteral("The listing is saved, but 1 folder(s) in it could not be read, so what they hold is "
                             "missing:\n/srv/caf\u00E9"));
}

} // namespace
} // namespace zintrel::test
