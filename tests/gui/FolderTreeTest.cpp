// The folder tree and the file list with real folders: names whose bytes are no UTF-8,
// and a disk that changes while the window is open.

#include "WindowsFixture.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

constexpr int kFollowMs = 1000; // the tree follows a change within a second
const QString kReplacement(QChar(0xFFFD));

QByteArray current()
{
    char path[4096];
    return ::getcwd(path, sizeof path) ? QByteArray(path) : QByteArray();
}

void makeFile(const QByteArray& path)
{
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
}

class FolderTreeTest : public WindowsFixture {
protected:
    QTreeView* tree() { return control<QTreeView>(*Form1, "DO1"); }

    // The names the tree shows under index, once it has read them.
    QStringList childNames(const QModelIndex& index)
    {
        QStringList names;
        QAbstractItemModel* model = tree()->model();
        for (int row = 0; row < model->rowCount(index); ++row)
            names << model->index(row, 0, index).data().toString();
        return names;
    }

    QModelIndex childNamed(const QModelIndex& parent, const QString& name)
    {
        QAbstractItemModel* model = tree()->model();
        for (int row = 0; row < model->rowCount(parent); ++row) {
            QModelIndex child = model->index(row, 0, parent);
            if (child.data().toString() == name)
                return child;
        }
        return {};
    }

    bool waitForChildren(const QModelIndex& index, const QStringList& expected, int ms = kFollowMs)
    {
        return QTest::qWaitFor([&] { return childNames(index) == expected; }, ms);
    }

    QStringList files()
    {
        auto* list = control<QListView>(*Form1, "FLB1");
        QStringList names;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            names << list->model()->index(row, 0).data().toString();
        return names;
    }
};

// Linux names are bytes. Folders whose names are no UTF-8 are shown with U+FFFD, yet
// selected, listed and saved into by their own bytes.
TEST_F(FolderTreeTest, FolderNamesOfAnyBytesWork)
{
    const QByteArray names[] = {"ff\xFF", "c3\xC3\x28", "lone\x80"};
    for (const QByteArray& name : names) {
        ASSERT_EQ(::mkdir(name.constData(), 0755), 0);
        makeFile(name + "/inside.txt");
    }
    createWindows();
    const QModelIndex start = tree()->currentIndex();
    ASSERT_TRUE(waitForChildren(start,
                                {QStringLiteral("c3") + kReplacement + QStringLiteral("("),
                                 QStringLiteral("ff") + kReplacement, QStringLiteral("lone") + kReplacement}))
        << childNames(start).join(QLatin1Char('|')).toStdString();

    for (const QByteArray& name : names) {
        SCOPED_TRACE(name.toHex().toStdString());
        const QByteArray folder = current() + '/' + name;
        QModelIndex child = childNamed(start, QString::fromUtf8(name));
        ASSERT_TRUE(child.isValid());
        tree()->setCurrentIndex(child);
        EXPECT_EQ(Form1->selectedFolder(), folder);
        EXPECT_EQ(control<QLabel>(*Form1, "lblPath")->text(), QString::fromUtf8(folder));
        EXPECT_TRUE(QTest::qWaitFor([&] { return files() == QStringList{QStringLiteral("inside.txt")}; }, 5000));

        // The save dialog proposes the folder and the listing lands in it.
        dialogs.onSaveDialog = [](QFileDialog& dialog) {
            dialog.selectFile(QStringLiteral("list"));
            return true;
        };
        shell.openedFiles.clear();
        QTest::mouseClick(control<QToolButton>(*Form1, "cmdSave"), Qt::LeftButton);
        EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('\n')).toStdString();
        const QByteArray written = folder + "/list.txt";
        std::string listing = readFile(written.toStdString());
        EXPECT_NE(listing.find("Processed: " + folder.toStdString() + "\r\n"), std::string::npos) << listing;
        EXPECT_NE(listing.find(" inside.txt  1 Kb  A  "), std::string::npos) << listing;
        EXPECT_NE(listing.find("Files:      1\r\n"), std::string::npos) << listing;
        EXPECT_EQ(shell.openedFiles, QList<QByteArray>{written});
    }
}

// Folders made, removed and renamed in an open folder show within a second; a folder
// opened again is read again; F5 reads the selected folder again at once.
TEST_F(FolderTreeTest, TheTreeFollowsTheDisk)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("b")));
    createWindows();
    const QModelIndex start = tree()->currentIndex();
    ASSERT_TRUE(tree()->isExpanded(start));
    ASSERT_TRUE(waitForChildren(start, {QStringLiteral("b")}, 5000));

    ASSERT_TRUE(QDir().mkpath(QStringLiteral("a")));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("c")));
    EXPECT_TRUE(waitForChildren(start, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}))
        << childNames(start).join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(QDir().rmdir(QStringLiteral("a")));
    ASSERT_TRUE(QDir().rename(QStringLiteral("c"), QStringLiteral("B2")));
    EXPECT_TRUE(waitForChildren(start, {QStringLiteral("b"), QStringLiteral("B2")}))
        << childNames(start).join(QLatin1Char('|')).toStdString();

    // A folder inside b, made while b is closed, shows once b is opened again.
    QModelIndex b = childNamed(start, QStringLiteral("b"));
    tree()->expand(b);
    ASSERT_TRUE(waitForChildren(b, {}, 5000));
    tree()->collapse(b);
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("b/inner")));
    QTest::qWait(300);
    tree()->expand(b);
    EXPECT_TRUE(waitForChildren(b, {QStringLiteral("inner")})) << childNames(b).join(QLatin1Char('|')).toStdString();

    // F5 on a folder that is not open, and the file list with it.
    QModelIndex b2 = childNamed(start, QStringLiteral("B2"));
    tree()->setCurrentIndex(b2);
    ASSERT_TRUE(waitForChildren(b2, {}, 5000) || tree()->model()->rowCount(b2) == 0);
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("B2/later")));
    makeFile("B2/later.txt");
    QTest::keyClick(tree(), Qt::Key_F5);
    EXPECT_TRUE(waitForChildren(b2, {QStringLiteral("later")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return files() == QStringList{QStringLiteral("later.txt")}; }, kFollowMs));
}

// The tree and the file list show names in the listings' order: capitals and small
// letters together, then by their bytes.
TEST_F(FolderTreeTest, NamesComeInTheListingsOrder)
{
    for (const char* name : {"b", "B", "a", "_x", "Z"})
        ASSERT_TRUE(QDir().mkpath(QString::fromLatin1(name)));
    for (const char* name : {"b.txt", "a.TXT", "A.txt", "c.txt"})
        makeFile(name);
    createWindows();
    EXPECT_TRUE(waitForChildren(
        tree()->currentIndex(),
        {QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("Z"), QStringLiteral("_x")},
        5000))
        << childNames(tree()->currentIndex()).join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return files()
                == QStringList{QStringLiteral("A.txt"), QStringLiteral("a.TXT"), QStringLiteral("b.txt"),
                               QStringLiteral("c.txt")};
        },
        5000))
        << files().join(QLatin1Char('|')).toStdString();
}

// A link to a folder shows in the tree, in its place among the folders, marked as a link;
// choosing it lists the folder it leads to, as starting the program inside it does. Links
// that lead nowhere or to a file are no folders.
TEST_F(FolderTreeTest, LinksToFoldersCanBeChosen)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("real/inner")));
    makeFile("real/inside.txt");
    makeFile("file.txt");
    ASSERT_EQ(::symlink("real", "via"), 0);
    ASSERT_EQ(::symlink("nowhere", "broken"), 0);
    ASSERT_EQ(::symlink("file.txt", "tofile"), 0);
    createWindows();
    const QModelIndex start = tree()->currentIndex();
    ASSERT_TRUE(waitForChildren(start, {QStringLiteral("real"), QStringLiteral("via")}, 5000))
        << childNames(start).join(QLatin1Char('|')).toStdString();

    const QModelIndex real = childNamed(start, QStringLiteral("real"));
    const QModelIndex via = childNamed(start, QStringLiteral("via"));
    QImage folderPicture = real.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    QImage linkPicture = via.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    EXPECT_FALSE(linkPicture.isNull());
    EXPECT_NE(folderPicture, linkPicture);
    EXPECT_TRUE(via.data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("links to real")))
        << via.data(Qt::ToolTipRole).toString().toStdString();

    tree()->setCurrentIndex(via);
    const QByteArray target = current() + "/real";
    EXPECT_EQ(Form1->selectedFolder(), target);
    EXPECT_EQ(control<QLabel>(*Form1, "lblPath")->text(), QString::fromUtf8(target));
    EXPECT_TRUE(QTest::qWaitFor([&] { return files() == QStringList{QStringLiteral("inside.txt")}; }, 5000));

    dialogs.onSaveDialog = [](QFileDialog& dialog) {
        dialog.selectFile(QStringLiteral("list"));
        return true;
    };
    QTest::mouseClick(control<QToolButton>(*Form1, "cmdSave"), Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('\n')).toStdString();
    std::string listing = readFile(target.toStdString() + "/list.txt");
    EXPECT_NE(listing.find("Processed: " + target.toStdString() + "\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find(" inside.txt  1 Kb  A  "), std::string::npos) << listing;
    EXPECT_NE(listing.find(" inner  0 Kb  D  "), std::string::npos) << listing;

    // Opened, the link shows the folders of its target, and they are chosen by where they are.
    tree()->expand(via);
    ASSERT_TRUE(waitForChildren(via, {QStringLiteral("inner")}, 5000));
    tree()->setCurrentIndex(childNamed(via, QStringLiteral("inner")));
    EXPECT_EQ(Form1->selectedFolder(), target + "/inner");
}

// A selection 40 folders deep is in sight when the window opens, sideways too.
TEST_F(FolderTreeTest, ADeepSelectionIsScrolledIntoSight)
{
    QByteArray deep = current();
    for (int level = 1; level <= 40; ++level) {
        deep += "/level" + QByteArray::number(level);
        ASSERT_EQ(::mkdir(deep.constData(), 0755), 0);
    }
    ASSERT_EQ(::chdir(deep.constData()), 0);
    createWindows();
    Form1->show();
    ASSERT_EQ(Form1->selectedFolder(), deep);
    const QModelIndex selected = tree()->currentIndex();
    EXPECT_EQ(selected.data().toString(), QStringLiteral("level40"));
    // The tree follows the folders above as they come in; then the row is in sight.
    QWidget* viewport = tree()->viewport();
    auto inSight = [&] {
        QRect row = tree()->visualRect(tree()->currentIndex());
        return row.left() >= 0 && row.left() + 16 <= viewport->width() && row.top() >= 0
            && row.bottom() <= viewport->height();
    };
    EXPECT_TRUE(QTest::qWaitFor(inSight, 5000))
        << "row at " << tree()->visualRect(selected).x() << "," << tree()->visualRect(selected).y() << ", scrolled "
        << tree()->horizontalScrollBar()->value();
    EXPECT_GT(tree()->horizontalScrollBar()->value(), 0);
    Form1->close();
}

// A selected folder removed from outside hands the selection to the folder it was in, not to
// a sibling; with its parents gone too, to the nearest folder still there.
TEST_F(FolderTreeTest, ASelectedFolderThatGoesLeavesTheSelectionWithItsParent)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("a/b/c")));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("a/b/d")));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("a/b2")));
    const QByteArray top = current();
    ASSERT_EQ(::chdir("a/b/c"), 0);
    createWindows();
    ASSERT_EQ(Form1->selectedFolder(), top + "/a/b/c");
    // Wait until the folders above are read and watched.
    ASSERT_TRUE(waitForChildren(tree()->currentIndex().parent(), {QStringLiteral("c"), QStringLiteral("d")}, 5000));
    ASSERT_TRUE(
        waitForChildren(tree()->currentIndex().parent().parent(), {QStringLiteral("b"), QStringLiteral("b2")}, 5000));

    ASSERT_EQ(::rmdir((top + "/a/b/c").constData()), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form1->selectedFolder() == top + "/a/b"; }, 5000))
        << Form1->selectedFolder().toStdString();
    EXPECT_EQ(control<QLabel>(*Form1, "lblPath")->text(), QString::fromUtf8(top + "/a/b"));

    ASSERT_TRUE(QDir(QString::fromUtf8(top + "/a")).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form1->selectedFolder() == top; }, 5000))
        << Form1->selectedFolder().toStdString();
}

} // namespace
} // namespace zintrel::test
