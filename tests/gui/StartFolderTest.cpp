// The folder the window is given to start on ("Open with" from a file manager), and where
// Help looks for its page.

#include "StartFolder.h"
#include "HelpFile.h"
#include "WindowsFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

QByteArray here() { return QFile::encodeName(QDir::currentPath()); }

void touch(const QByteArray& path)
{
    QFile file(QFile::decodeName(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

class StartFolderTest : public WindowsFixture {};

TEST_F(StartFolderTest, PathsAndAddressesResolveToTheFolderAsTheFileSystemSpellsIt)
{
    const QByteArray top = here();
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("photos 2026/raw")));
    const QByteArray latin1 = top + "/caf\xe9"; // not UTF-8
    ASSERT_EQ(::mkdir(latin1.constData(), 0755), 0);
    touch(top + "/photos 2026/list.txt");
    ASSERT_EQ(::symlink("photos 2026", (top + "/link").constData()), 0);

    const struct {
        QByteArray argument;
        QByteArray folder;
    } rows[] = {
        {"photos 2026/raw", top + "/photos 2026/raw"},
        {"photos 2026/raw/", top + "/photos 2026/raw"},
        {".", top},
        {"photos 2026/./raw/..", top + "/photos 2026"},
        {top + "/photos 2026", top + "/photos 2026"},
        {"link/raw", top + "/photos 2026/raw"},         // where the link leads
        {"photos 2026/list.txt", top + "/photos 2026"}, // a file: the folder that holds it
        {"file://" + top + "/photos%202026/raw", top + "/photos 2026/raw"},
        {"file://" + top + "/caf%E9", latin1},
        {"caf\xe9", latin1},
        {"file://localhost" + top + "/photos%202026", top + "/photos 2026"},
        {"/", "/"},
    };
    for (const auto& row : rows) {
        const StartFolder start = resolveStartFolder(row.argument);
        EXPECT_EQ(start.folder, row.folder) << row.argument.toStdString();
        EXPECT_TRUE(start.problem.isEmpty()) << row.argument.toStdString() << ": " << start.problem.toStdString();
    }
}

TEST_F(StartFolderTest, WhatCannotBeOpenedIsRefusedWithItsNameAndReason)
{
    touch(here() + "/plain");
    const struct {
        QByteArray argument;
        QString named;
        QString reason;
    } rows[] = {
        {"no such folder", QStringLiteral("no such folder"), QStringLiteral("No such file or directory")},
        {"plain/inside", QStringLiteral("plain/inside"), QStringLiteral("Not a directory")},
        {"file://elsewhere.example.org/srv", QStringLiteral("file://elsewhere.example.org/srv"),
         QStringLiteral("No such file or directory")},
        {"file:///no%20such", QStringLiteral("/no such"), QStringLiteral("No such file or directory")},
        {"file:///tmp%00/etc", QStringLiteral("file:///tmp%00/etc"), QStringLiteral("No such file or directory")},
        {"", QString(), QStringLiteral("No such file or directory")},
    };
    for (const auto& row : rows) {
        const StartFolder start = resolveStartFolder(row.argument);
        EXPECT_TRUE(start.folder.isEmpty()) << row.argument.toStdString();
        EXPECT_TRUE(start.problem.contains(row.named)) << start.problem.toStdString();
        EXPECT_TRUE(start.problem.contains(row.reason)) << start.problem.toStdString();
        EXPECT_TRUE(start.problem.contains(QStringLiteral("starts in the current folder")))
            << start.problem.toStdString();
    }
}

// Given a folder, the window starts there: the tree selects it, the path shows it and the
// file list holds its files, on the volume that holds it, whatever the current folder is.
TEST_F(StartFolderTest, TheWindowStartsOnTheFolderItIsGiven)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("archive/2026")));
    const QByteArray folder = here() + "/archive/2026";
    touch(folder + "/b.txt");
    touch(folder + "/a.txt");
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));

    createWindows(folder);
    Form1->show();
    EXPECT_EQ(Form1->selectedFolder(), folder);
    EXPECT_EQ(control<QLabel>(*Form1, "lblPath")->text(), QString::fromUtf8(folder));
    auto* files = control<QListView>(*Form1, "FLB1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) == 2; }, 5000));
    EXPECT_EQ(files->model()->index(0, 0, files->rootIndex()).data().toString(), QStringLiteral("a.txt"));
    Form1->close();
}

TEST_F(StartFolderTest, AFolderOnAnotherVolumeSelectsThatVolume)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("mnt")));
    const QByteArray point = here() + "/mnt";
    if (::mount("zintrel-test", point.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        QByteArray point;
        ~Unmount() { ::umount2(point.constData(), MNT_DETACH); }
    } unmountAtEnd{point};
    ASSERT_EQ(::mkdir((point + "/inner").constData(), 0755), 0);

    createWindows(point + "/inner");
    auto* volumes = control<QComboBox>(*Form1, "DCB1");
    EXPECT_EQ(volumes->currentData().toString(), QString::fromUtf8(point));
    EXPECT_EQ(Form1->selectedFolder(), point + "/inner");
    Form1.reset();
}

TEST(HelpFileTest, TheFirstFolderThatHoldsThePageWins)
{
    QTemporaryDir beside, installed, current;
    const QString name = QString::fromLatin1(kHelpFileName);
    const QStringList folders{beside.path(), installed.path()};
    EXPECT_EQ(firstHelpFile(folders, current.path()), QDir(current.path()).absoluteFilePath(name));
    QFile(QDir(installed.path()).absoluteFilePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(firstHelpFile(folders, current.path()), QDir(installed.path()).absoluteFilePath(name));
    QFile(QDir(beside.path()).absoluteFilePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(firstHelpFile(folders, current.path()), QDir(beside.path()).absoluteFilePath(name));
    // A folder of that name is not the page.
    QDir(beside.path()).remove(name);
    QDir(beside.path()).mkdir(name);
    EXPECT_EQ(firstHelpFile(folders, current.path()), QDir(installed.path()).absoluteFilePath(name));
}

} // namespace
} // namespace zintrel::test
