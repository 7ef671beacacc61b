// The Qt half of the OS layer: the volume list and the URLs handed to the desktop.

#include "platform/ShellOpen.h"
#include "platform/Volumes.h"

#include <QDir>

#include <gtest/gtest.h>

namespace zintrel::test {
namespace {

TEST(VolumesTest, KindFollowsFileSystemDeviceAndRemovableFlag)
{
    struct Row {
        const char* type;
        const char* device;
        bool removable;
        VolumeKind expected;
    };
    const Row rows[] = {
        {"ext4", "/dev/sda1", false, VolumeKind::Fixed},
        {"ext4", "/dev/sdb1", true, VolumeKind::Removable},
        {"vfat", "/dev/sdc1", true, VolumeKind::Removable},
        {"nfs4", "server:/export", false, VolumeKind::Network},
        {"cifs", "//server/share", false, VolumeKind::Network},
        {"fuse.sshfs", "me@host:", false, VolumeKind::Network},
        {"iso9660", "/dev/sr0", true, VolumeKind::Optical},
        {"udf", "/dev/sr1", false, VolumeKind::Optical},
        {"tmpfs", "tmpfs", false, VolumeKind::Ram},
        {"ext2", "/dev/ram0", false, VolumeKind::Ram},
        {"overlay", "overlay", false, VolumeKind::Fixed},
    };
    for (const Row& row : rows)
        EXPECT_EQ(volumeKind(row.type, row.device, row.removable), row.expected) << row.type << " " << row.device;
}

TEST(VolumesTest, ItemTextShowsNameOrShareByKind)
{
    struct Row {
        const char* root;
        VolumeKind kind;
        const char* name;
        const char* share;
        const char* expected;
    };
    const Row rows[] = {
        {"/", VolumeKind::Fixed, "system", "/dev/sda1", "/ [system]"},
        {"/home", VolumeKind::Fixed, "", "/dev/sda2", "/home"},
        {"/media/cd", VolumeKind::Optical, "DATA_2024", "/dev/sr0", "/media/cd [DATA_2024]"},
        {"/tmp", VolumeKind::Ram, "", "tmpfs", "/tmp"},
        {"/mnt/ram", VolumeKind::Ram, "scratch", "tmpfs", "/mnt/ram [scratch]"},
        {"/media/stick", VolumeKind::Removable, "STICK", "/dev/sdb1", "/media/stick"},
        {"/mnt/share", VolumeKind::Network, "ignored", "//server/share", "/mnt/share //server/share"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(
            volumeText(QString::fromUtf8(row.root), row.kind, QString::fromUtf8(row.name), QString::fromUtf8(row.share))
                .toStdString(),
            row.expected);
}

TEST(VolumesTest, PseudoFileSystemsAreLeftOut)
{
    for (const char* type : {"proc", "sysfs", "devpts", "cgroup", "cgroup2", "tracefs", "debugfs", "securityfs"})
        EXPECT_TRUE(isPseudoFileSystem(type)) << type;
    for (const char* type : {"ext4", "xfs", "btrfs", "tmpfs", "overlay", "nfs4", "vfat"})
        EXPECT_FALSE(isPseudoFileSystem(type)) << type;
}

TEST(VolumesTest, ListIsOrderedAndHoldsTheStartFolder)
{
    QList<Volume> volumes = mountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    for (int i = 1; i < volumes.size(); ++i)
        EXPECT_LT(volumes[i - 1].rootPath, volumes[i].rootPath);
    Volume start = volumeOf(QDir::currentPath());
    bool listed = false;
    for (const Volume& volume : volumes)
        listed = listed || volume.rootPath == start.rootPath;
    EXPECT_TRUE(listed) << start.rootPath.toStdString();
    EXPECT_TRUE(start.rootPath == QLatin1String("/") || QDir::currentPath() == start.rootPath
                || QDir::currentPath().startsWith(start.rootPath + QLatin1Char('/')));
}

// In a chroot or a container whose root is no mount point, no listed volume may hold the
// start folder: the root is added so the tree and the save still work.
TEST(VolumesTest, TheRootStandsInWhenNoVolumeHoldsTheStartFolder)
{
    const Volume home{QStringLiteral("/home"), QStringLiteral("/home"), VolumeKind::Fixed};
    const Volume media{QStringLiteral("/media/stick"), QStringLiteral("/media/stick"), VolumeKind::Removable};
    auto roots = [](const QList<Volume>& volumes) {
        QStringList paths;
        for (const Volume& volume : volumes)
            paths << volume.rootPath;
        return paths;
    };
    EXPECT_EQ(roots(withStartVolume({}, QStringLiteral("/srv/data"))), QStringList{QStringLiteral("/")});
    EXPECT_EQ(roots(withStartVolume({media, home}, QStringLiteral("/srv/data"))),
              (QStringList{QStringLiteral("/"), QStringLiteral("/home"), QStringLiteral("/media/stick")}));
    EXPECT_EQ(roots(withStartVolume({media, home}, QStringLiteral("/home/user"))),
              (QStringList{QStringLiteral("/home"), QStringLiteral("/media/stick")}));
    EXPECT_EQ(roots(withStartVolume({home}, QStringLiteral("/homework"))),
              (QStringList{QStringLiteral("/"), QStringLiteral("/home")}));
    QList<Volume> added = withStartVolume({}, QStringLiteral("/x"));
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0].text, QStringLiteral("/"));
    EXPECT_EQ(added[0].kind, VolumeKind::Fixed);
}

TEST(ShellOpenTest, FilesBecomeFileUrlsAndAddressesStay)
{
    struct Row {
        QString given;
        QUrl expected;
    };
    const QString longName = QStringLiteral("/tmp/") + QString(300, QLatin1Char('n')) + QStringLiteral(".pdf");
    const Row rows[] = {
        {QStringLiteral("https://www.example.org/"), QUrl(QStringLiteral("https://www.example.org/"))},
        {QStringLiteral("http://example.org/a b"), QUrl(QStringLiteral("http://example.org/a b"))},
        {QStringLiteral("/home/me/list.txt"), QUrl::fromLocalFile(QStringLiteral("/home/me/list.txt"))},
        {QStringLiteral("/home/me/a#b?.txt"), QUrl::fromLocalFile(QStringLiteral("/home/me/a#b?.txt"))},
        {longName, QUrl::fromLocalFile(longName)},
        {QStringLiteral("Zintrel.html"),
         QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("Zintrel.html")))},
    };
    for (const Row& row : rows) {
        QUrl url = urlForShell(row.given);
        EXPECT_EQ(url, row.expected) << row.given.toStdString();
        if (url.isLocalFile()) {
            EXPECT_EQ(url.toLocalFile(), QDir::current().absoluteFilePath(row.given));
        }
    }
}

// A file is handed over by its bytes: a name that is no UTF-8 keeps them, percent-encoded.
TEST(ShellOpenTest, FileUrlsKeepEveryByteOfThePath)
{
    EXPECT_EQ(urlForFile("/srv/list.txt"), QUrl::fromLocalFile(QStringLiteral("/srv/list.txt")));
    EXPECT_EQ(urlForFile("/srv/caf\xC3\xA9 a#b.pdf"), QUrl::fromLocalFile(QStringLiteral("/srv/caf\u00E9 a#b.pdf")));
    QUrl odd = urlForFile("/srv/\xFF/list.txt");
    EXPECT_TRUE(odd.isValid());
    EXPECT_EQ(odd.toEncoded(), QByteArray("file:///srv/%FF/list.txt"));
    EXPECT_EQ(urlForFile("list.txt"),
              QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("list.txt"))));
}

} // namespace
} // namespace zintrel::test
