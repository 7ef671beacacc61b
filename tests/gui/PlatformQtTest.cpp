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
        EXPECT_EQ(volumeText(QString::fromUtf8(row.root), row.kind, QString::fromUtf8(row.name),
                             QString::fromUtf8(row.share))
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
    EXPECT_TRUE(start.rootPath == QLatin1String("/")
                || QDir::currentPath() == start.rootPath
                || QDir::currentPath().startsWith(start.rootPath + QLatin1Char('/')));
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
        {QStringLiteral("Zintrel.html"), QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("Zintrel.html")))},
    };
    for (const Row& row : rows) {
        QUrl url = urlForShell(row.given);
        EXPECT_EQ(url, row.expected) << row.given.toStdString();
        if (url.isLocalFile()) {
            EXPECT_EQ(url.toLocalFile(), QDir::current().absoluteFilePath(row.given));
        }
    }
}

} // namespace
} // namespace zintrel::test
