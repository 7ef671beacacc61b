// The main window: start-up state, the folder pickers, the dialogs it opens, Help and the
// web links.

#include "ElidedLabel.h"
#include "HelpFile.h"
#include "WindowLook.h"
#include "WindowsFixture.h"
#include "platform/Volumes.h"
#include "platform/WebAddresses.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <QFileDialog>
#include <QScreen>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

QStringList listedNames(QListView* list)
{
    QStringList names;
    QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(list->rootIndex()); ++row)
        names << model->index(row, 0, list->rootIndex()).data().toString();
    return names;
}

class MainWindowTest : public WindowsFixture {
protected:
    // Waits until the file list shows its folder's files.
    QStringList waitForFiles(int expectedCount)
    {
        auto* list = control<QListView>(*Form1, "FLB1");
        bool arrived
            = QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == expectedCount; }, 5000);
        EXPECT_TRUE(arrived) << "rows: " << list->model()->rowCount(list->rootIndex());
        return listedNames(list);
    }
};

TEST_F(MainWindowTest, StartsAtTheStartFolderWithNothingSaved)
{
    createWindows();
    EXPECT_EQ(control<QLabel>(*Form1, "lblPath")->text(), QDir::currentPath());
    EXPECT_EQ(Form1->selectedFolder(), QDir::currentPath());
    EXPECT_TRUE(control<QLabel>(*Form1, "lblFile")->text().isEmpty());
    auto* volumes = control<QComboBox>(*Form1, "DCB1");
    ASSERT_GT(volumes->count(), 0);
    QString root = volumes->currentData().toString();
    EXPECT_TRUE(root == QLatin1String("/") || QDir::currentPath().startsWith(root + QLatin1Char('/')))
        << root.toStdString();
    EXPECT_TRUE(volumes->currentText().startsWith(root));
}

TEST_F(MainWindowTest, FileListShowsOnlyVisibleRegularFilesSortedByName)
{
    touch(QStringLiteral("b.txt"));
    touch(QStringLiteral("A.doc"));
    touch(QStringLiteral("c"));
    touch(QStringLiteral(".hidden"));
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("folder")));
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("nowhere"), QStringLiteral("dangling")));
    createWindows();
    const QStringList expected{QStringLiteral("A.doc"), QStringLiteral("b.txt"), QStringLiteral("c")};
    auto* list = control<QListView>(*Form1, "FLB1");
    // The names arrive from a background reader and are sorted once they are in.
    (void)QTest::qWaitFor([&] { return listedNames(list) == expected; }, 5000);
    EXPECT_EQ(listedNames(list).join(QLatin1Char('|')).toStdString(), expected.join(QLatin1Char('|')).toStdString());
}

TEST_F(MainWindowTest, SelectingAFolderMovesThePathAndTheFileList)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("sub/deeper")));
    touch(QStringLiteral("sub/inner.txt"));
    touch(QStringLiteral("top.txt"));
    createWindows();
    waitForFiles(1);

    auto* tree = control<QTreeView>(*Form1, "DO1");
    QString sub = QDir::current().absoluteFilePath(QStringLiteral("sub"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(tree->currentIndex()) == 1; }, 5000));
    QModelIndex child = tree->model()->index(0, 0, tree->currentIndex());
    ASSERT_EQ(child.data().toString(), QStringLiteral("sub"));
    tree->setCurrentIndex(child);

    EXPECT_EQ(control<QLabel>(*Form1, "lblPath")->text(), sub);
    EXPECT_EQ(Form1->selectedFolder(), sub);
    EXPECT_EQ(waitForFiles(1), QStringList{QStringLiteral("inner.txt")});
}

TEST_F(MainWindowTest, DialogsDisableTheMainWindowUntilClosed)
{
    createWindows();
    struct Row {
        const char* opener;
        QWidget* dialog;
        const char* how;
        std::function<void()> close;
    };
    const Row rows[] = {
        {"cmdSettings", frmOptions.get(), "close box", [&] { frmOptions->close(); }},
        {"cmdSettings", frmOptions.get(), "Escape", [&] { QTest::keyClick(frmOptions.get(), Qt::Key_Escape); }},
        {"SpeedButton1", frmAbout.get(), "OK",
         [&] { QTest::mouseClick(control<QPushButton>(*frmAbout, "cmdOk"), Qt::LeftButton); }},
        {"SpeedButton1", frmAbout.get(), "close box", [&] { frmAbout->close(); }},
        {"SpeedButton1", frmAbout.get(), "Escape", [&] { QTest::keyClick(frmAbout.get(), Qt::Key_Escape); }},
    };
    Form1->show();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.opener) + " / " + row.how);
        QPoint placeBefore = row.dialog->pos();
        QTest::mouseClick(control<QToolButton>(*Form1, row.opener), Qt::LeftButton);
        EXPECT_TRUE(row.dialog->isVisible());
        EXPECT_FALSE(row.dialog->isModal());
        EXPECT_FALSE(Form1->isEnabled());
        EXPECT_TRUE(row.dialog->isEnabled());
        // A disabled main window starts nothing.
        QTest::mouseClick(control<QToolButton>(*Form1, "cmdSave"), Qt::LeftButton);
        EXPECT_EQ(dialogs.saveDialogRuns, 0);

        row.close();
        EXPECT_FALSE(row.dialog->isVisible());
        EXPECT_TRUE(Form1->isEnabled());
        EXPECT_EQ(row.dialog->pos(), placeBefore);
    }
    Form1->close();
}

TEST_F(MainWindowTest, SettingsSurviveClosingTheDialog)
{
    createWindows();
    Form1->show();
    QTest::mouseClick(control<QToolButton>(*Form1, "cmdSettings"), Qt::LeftButton);
    QTest::keyClicks(control<QLineEdit>(*frmOptions, "EditFileMask"), QStringLiteral("*.c"));
    QTest::mouseClick(control<QCheckBox>(*frmOptions, "chkSpecDate"), Qt::LeftButton);
    frmOptions->close();
    QTest::mouseClick(control<QCheckBox>(*Form1, "chkInclude"), Qt::LeftButton);
    QTest::mouseClick(control<QToolButton>(*Form1, "cmdSettings"), Qt::LeftButton);
    EXPECT_EQ(control<QLineEdit>(*frmOptions, "EditFileMask")->text(), QStringLiteral("*.c"));
    ListingOptions options = Form1->listingOptions();
    EXPECT_EQ(options.fileMask, "*.c");
    EXPECT_TRUE(options.dateFilterEnabled);
    EXPECT_FALSE(options.includeSubfolders);
    EXPECT_TRUE(options.openAfterCreation);
    frmOptions->close();
    Form1->close();
}

TEST_F(MainWindowTest, ButtonsAndLinksOpenTheirTargets)
{
    createWindows();
    // The help page test may put a page beside the test program meanwhile; either is right.
    const QString help = QStringLiteral("Zintrel.html");
    struct Row {
        const char* what;
        std::function<void()> press;
        QString opened;
    };
    const Row rows[] = {
        {"main Help", [&] { QTest::mouseClick(control<QToolButton>(*Form1, "cmdHelp"), Qt::LeftButton); }, help},
        {"web site", [&] { QTest::mouseClick(control<QToolButton>(*Form1, "SpeedButton2"), Qt::LeftButton); },
         helpPageAddress(kProgramSection)},
        {"About Help", [&] { QTest::mouseClick(control<QPushButton>(*frmAbout, "cmdHelp"), Qt::LeftButton); }, help},
        {"home page", [&] { QTest::mouseClick(control<QLabel>(*frmAbout, "Label6"), Qt::LeftButton); },
         helpPageAddress(kProgramSection)},
        {"support page", [&] { QTest::mouseClick(control<QLabel>(*frmAbout, "Label8"), Qt::LeftButton); },
         helpPageAddress(kSupportSection)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        shell.opened.clear();
        row.press();
        ASSERT_EQ(shell.opened.size(), 1);
        if (row.opened == help)
            EXPECT_TRUE(shell.opened[0] == QDir::current().absoluteFilePath(help)
                        || shell.opened[0] == QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(help))
                << shell.opened[0].toStdString();
        else
            EXPECT_EQ(shell.opened[0], row.opened);
    }
    EXPECT_EQ(control<QLabel>(*frmAbout, "Label6")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(control<QLabel>(*frmAbout, "Label6")->font().bold());
}

TEST_F(MainWindowTest, HelpPrefersThePageBesideTheProgram)
{
    QString beside = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("Zintrel.html"));
    ASSERT_FALSE(QFile::exists(beside));
    EXPECT_EQ(helpFilePath(), QDir::current().absoluteFilePath(QStringLiteral("Zintrel.html")));
    touch(beside);
    EXPECT_EQ(helpFilePath(), beside);
    QFile::remove(beside);
}

// A path longer than the window is shortened in the middle, the whole of it in the label's
// text and its tooltip; a larger window shows more of it, and the tree and the file list
// grow with the window. At the described size everything stands where it is described.
TEST_F(MainWindowTest, LongPathsAreShortenedInTheMiddleAndTheWindowGrows)
{
    QString deep = QDir::currentPath();
    for (int level = 1; level <= 8; ++level)
        deep += QStringLiteral("/a-folder-with-a-rather-long-name-%1").arg(level);
    ASSERT_TRUE(QDir().mkpath(deep));
    QDir::setCurrent(deep);
    createWindows();
    auto* path = control<ElidedLabel>(*Form1, "lblPath");
    auto* file = control<ElidedLabel>(*Form1, "lblFile");
    EXPECT_EQ(path->text(), deep);
    EXPECT_EQ(path->toolTip(), deep);
    struct Shown {
        QString text;
        int right; // where the text ends, in the window
    };
    auto shown = [](ElidedLabel* label) {
        QString text = label->shownText();
        return Shown{text, label->x() + label->fontMetrics().horizontalAdvance(text)};
    };
    auto shortened = [](const Shown& s, const QString& whole) {
        qsizetype cut = s.text.indexOf(QChar(0x2026));
        return cut > 0 && whole.startsWith(s.text.left(cut)) && whole.endsWith(s.text.mid(cut + 1));
    };
    Shown small = shown(path);
    EXPECT_TRUE(shortened(small, deep)) << small.text.toStdString();
    EXPECT_LE(small.right, Form1->width() - 9);

    dialogs.onSaveDialog = [](QFileDialog& dialog) {
        dialog.selectFile(QStringLiteral("a-listing-with-a-long-name"));
        return true;
    };
    QTest::mouseClick(control<QToolButton>(*Form1, "cmdSave"), Qt::LeftButton);
    const QString saved = deep + QStringLiteral("/a-listing-with-a-long-name.txt");
    ASSERT_TRUE(QFile::exists(saved));
    EXPECT_EQ(file->text(), saved);
    EXPECT_EQ(file->toolTip(), saved);
    Shown fileShown = shown(file);
    EXPECT_TRUE(shortened(fileShown, saved)) << fileShown.text.toStdString();
    // It ends where the file list ends.
    EXPECT_LE(fileShown.right, control<QWidget>(*Form1, "FLB1")->geometry().right() + 1);

    auto* tree = control<QTreeView>(*Form1, "DO1");
    auto* list = control<QListView>(*Form1, "FLB1");
    const QRect treeBefore = tree->geometry();
    const QRect listBefore = list->geometry();
    Form1->resize(Form1->width() + 400, Form1->height() + 200);
    Form1->show();
    EXPECT_EQ(tree->geometry(), QRect(8, 95, 226 + 200, 232 + 200));
    EXPECT_EQ(list->geometry(), QRect(240 + 200, 197, 193 + 200, 129 + 200));
    EXPECT_EQ(control<QWidget>(*Form1, "lblPath")->pos(), QPoint(7, 345 + 200));
    EXPECT_EQ(control<QWidget>(*Form1, "cmdSave")->pos(), QPoint(90, 1));
    Shown large = shown(path);
    EXPECT_GT(large.text.size(), small.text.size());
    EXPECT_LE(large.right, Form1->width() - 9);

    Form1->resize(442, 363);
    EXPECT_EQ(tree->geometry(), treeBefore);
    EXPECT_EQ(list->geometry(), listBefore);
    EXPECT_EQ(shown(path).text, small.text);
    Form1->close();
}

// When no program can open the saved file, the help page or a web page, the save stays a
// success and a note in the window (no box) names what could not be opened.
TEST_F(MainWindowTest, ANoteTellsWhenNoProgramCouldOpenAFile)
{
    touch(QStringLiteral("top.txt"));
    createWindows();
    shell.hasPrograms = false;
    auto* note = control<QLabel>(*Form1, "lblNote");
    EXPECT_FALSE(note->isVisibleTo(Form1.get()));

    dialogs.onSaveDialog = [](QFileDialog& dialog) {
        dialog.selectFile(QStringLiteral("list"));
        return true;
    };
    QTest::mouseClick(control<QToolButton>(*Form1, "cmdSave"), Qt::LeftButton);
    const QString saved = QDir::current().absoluteFilePath(QStringLiteral("list.txt"));
    EXPECT_EQ(control<QLabel>(*Form1, "lblFile")->text(), saved);
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(saved));
    EXPECT_TRUE(note->isVisibleTo(Form1.get()));
    EXPECT_TRUE(note->text().startsWith(QStringLiteral("No program could open")));
    EXPECT_TRUE(note->text().contains(QStringLiteral("list.txt"))) << note->text().toStdString();
    EXPECT_EQ(note->toolTip(), saved);

    QTest::mouseClick(control<QToolButton>(*Form1, "cmdHelp"), Qt::LeftButton);
    EXPECT_EQ(note->toolTip(), helpFilePath());
    QTest::mouseClick(control<QToolButton>(*Form1, "SpeedButton2"), Qt::LeftButton);
    EXPECT_EQ(note->toolTip(), helpPageAddress(kProgramSection));
    // A program found again: the note goes.
    shell.hasPrograms = true;
    QTest::mouseClick(control<QToolButton>(*Form1, "cmdHelp"), Qt::LeftButton);
    EXPECT_FALSE(note->isVisibleTo(Form1.get()));

    // In the About dialog, the note stands in the dialog itself.
    shell.hasPrograms = false;
    auto* aboutNote = control<QLabel>(*frmAbout, "lblNote");
    QTest::mouseClick(control<QLabel>(*frmAbout, "Label8"), Qt::LeftButton);
    EXPECT_TRUE(aboutNote->isVisibleTo(frmAbout.get()));
    EXPECT_TRUE(aboutNote->text().contains(helpPageAddress(kSupportSection)));
    EXPECT_FALSE(note->isVisibleTo(Form1.get()));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A volume mounted or unmounted while the program runs shows in the volume list, or leaves
// it, at once; the tree leaves a volume that goes for the one that holds its folder now.
TEST_F(MainWindowTest, TheVolumeListFollowsMountsAndUnmounts)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("mnt")));
    const QString point = QDir::current().absoluteFilePath(QStringLiteral("mnt"));
    createWindows();
    auto* volumes = control<QComboBox>(*Form1, "DCB1");
    const QString startRoot = volumes->currentData().toString();
    if (::mount("zintrel-test", point.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        QString point;
        ~Unmount() { ::umount2(point.toLocal8Bit().constData(), MNT_DETACH); }
    } unmountAtEnd{point};
    EXPECT_TRUE(QTest::qWaitFor([&] { return volumes->findData(point) >= 0; }, 5000));
    EXPECT_EQ(volumes->currentData().toString(), startRoot); // the choice stays

    volumes->setCurrentIndex(volumes->findData(point));
    EXPECT_EQ(Form1->selectedFolder(), point.toLocal8Bit());
    ASSERT_EQ(::umount2(point.toLocal8Bit().constData(), 0), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return volumes->findData(point) < 0; }, 5000));
    EXPECT_EQ(volumes->currentData().toString(), volumeOf(point).rootPath);
    // The folder is still there, on the volume that holds it now.
    EXPECT_EQ(Form1->selectedFolder(), point.toLocal8Bit());
}

TEST(CentreOnScreenTest, HalvesGoToTheEvenNeighbour)
{
    struct Row {
        QSize screen;
        QSize outer;
        QPoint expected;
    };
    const Row rows[] = {
        {{1024, 768}, {448, 393}, {288, 188}},  // 288 and 187.5 -> 188
        {{1024, 768}, {450, 395}, {287, 186}},  // 287 and 186.5 -> 186
        {{1280, 1024}, {449, 392}, {416, 316}}, // 415.5 -> 416
        {{1280, 1024}, {451, 392}, {414, 316}}, // 414.5 -> 414
        {{800, 600}, {800, 600}, {0, 0}},
        {{640, 480}, {684, 365}, {-22, 58}}, // wider than the screen; 57.5 -> 58
        {{640, 480}, {683, 365}, {-22, 58}}, // -21.5 -> -22
    };
    for (const Row& row : rows) {
        QPoint actual = centredPosition(row.screen, row.outer);
        EXPECT_EQ(actual, row.expected) << row.outer.width() << "x" << row.outer.height();
    }
}

} // namespace
} // namespace zintrel::test
