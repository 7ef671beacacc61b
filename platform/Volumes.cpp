#include "Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace zintrel {

namespace {

constexpr const char* kPseudoFileSystems[] = {
    "proc",    "sysfs",           "devpts",      "devtmpfs", "cgroup",   "cgroup2",    "tracefs",
    "debugfs", "securityfs",      "pstore",      "bpf",      "mqueue",   "hugetlbfs",  "configfs",
    "fusectl", "binfmt_misc",     "autofs",      "nsfs",     "efivarfs", "rpc_pipefs", "selinuxfs",
    "rootfs",  "fuse.gvfsd-fuse", "fuse.portal", "nfsd",     "sockfs",   "pipefs",
};

constexpr const char* kNetworkFileSystems[] = {
    "nfs",        "nfs4",  "cifs",  "smb3",        "smbfs",     "ncpfs", "afs",         "9p",
    "fuse.sshfs", "sshfs", "davfs", "fuse.davfs2", "glusterfs", "ceph",  "fuse.rclone",
};

constexpr const char* kOpticalFileSystems[] = {"iso9660", "udf"};
constexpr const char* kRamFileSystems[] = {"tmpfs", "ramfs"};

template <std::size_t N> bool contains(const char* const (&names)[N], const QByteArray& name)
{
    return std::any_of(std::begin(names), std::end(names), [&](const char* entry) { return name == entry; });
}

// /sys/block/<disk>/removable for a device such as /dev/sdb1.
bool isRemovableDevice(const QByteArray& device)
{
    if (!device.startsWith("/dev/"))
        return false;
    QString canonical = QFileInfo(QString::fromLocal8Bit(device)).canonicalFilePath();
    QString name = QFileInfo(canonical.isEmpty() ? QString::fromLocal8Bit(device) : canonical).fileName();
    // A partition's own sysfs entry links into its disk's folder, which holds the flag.
    QString partition = QStringLiteral("/sys/class/block/") + name;
    QString disk = QFileInfo(partition).canonicalFilePath();
    for (QString folder : {disk, QFileInfo(disk).path()}) {
        QFile flag(folder + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() == "1";
    }
    return false;
}

QString cleanRoot(const QString& path)
{
    QString root = QDir::cleanPath(path);
    return root.isEmpty() ? QStringLiteral("/") : root;
}

Volume toVolume(const QStorageInfo& info)
{
    Volume volume;
    volume.rootPath = cleanRoot(info.rootPath());
    volume.kind = volumeKind(info.fileSystemType(), info.device(), isRemovableDevice(info.device()));
    volume.text = volumeText(volume.rootPath, volume.kind, info.name(), QString::fromLocal8Bit(info.device()));
    return volume;
}

} // namespace

bool isPseudoFileSystem(const QByteArray& fileSystemType) { return contains(kPseudoFileSystems, fileSystemType); }

VolumeKind volumeKind(const QByteArray& fileSystemType, const QByteArray& device, bool removableDevice)
{
    if (contains(kNetworkFileSystems, fileSystemType) || device.startsWith("//"))
        return VolumeKind::Network;
    if (contains(kOpticalFileSystems, fileSystemType) || device.startsWith("/dev/sr"))
        return VolumeKind::Optical;
    if (contains(kRamFileSystems, fileSystemType) || device.startsWith("/dev/ram") || device.startsWith("/dev/zram"))
        return VolumeKind::Ram;
    if (removableDevice)
        return VolumeKind::Removable;
    return VolumeKind::Fixed;
}

QString volumeText(const QString& rootPath, VolumeKind kind, const QString& name, const QString& share)
{
    switch (kind) {
    case VolumeKind::Network:
        return share.isEmpty() ? rootPath : rootPath + QLatin1Char(' ') + share;
    case VolumeKind::Removable:
        return rootPath;
    case VolumeKind::Fixed:
    case VolumeKind::Optical:
    case VolumeKind::Ram:
        break;
    }
    return name.isEmpty() ? rootPath : rootPath + QStringLiteral(" [") + name + QLatin1Char(']');
}

QList<Volume> mountedVolumes()
{
    QList<Volume> volumes;
    auto addUnlisted = [&volumes](const QStorageInfo& info) {
        if (!info.isValid() || isPseudoFileSystem(info.fileSystemType()))
            return;
        Volume volume = toVolume(info);
        bool listed = std::any_of(volumes.begin(), volumes.end(),
                                  [&](const Volume& known) { return known.rootPath == volume.rootPath; });
        if (!listed)
            volumes.append(volume);
    };
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes())
        addUnlisted(info);
    // Qt leaves out volumes whose device is no path (an overlay root, a network share), yet
    // the root and the folder the program was started in must be reachable.
    addUnlisted(QStorageInfo(QStringLiteral("/")));
    addUnlisted(QStorageInfo(QDir::currentPath()));
    return withStartVolume(volumes, QDir::currentPath());
}

bool holds(const QString& root, const QString& path)
{
    return root == QLatin1String("/") || path == root || path.startsWith(root + QLatin1Char('/'));
}

QList<Volume> withStartVolume(QList<Volume> volumes, const QString& startFolder)
{
    // In a chroot or a container whose root is no mount point, nothing listed may hold the
    // start folder; the root then stands for it, so the tree and the save still work.
    QString start = cleanRoot(QFileInfo(startFolder).absoluteFilePath());
    bool held = std::any_of(volumes.begin(), volumes.end(), [&](const Volume& v) { return holds(v.rootPath, start); });
    if (!held)
        volumes.append(Volume{QStringLiteral("/"), QStringLiteral("/"), VolumeKind::Fixed});
    std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) { return a.rootPath < b.rootPath; });
    return volumes;
}

Volume volumeOf(const QString& path)
{
    QString clean = cleanRoot(QFileInfo(path).absoluteFilePath());
    Volume best;
    best.rootPath = QStringLiteral("/");
    best.text = best.rootPath;
    int bestLength = -1;
    for (const Volume& volume : mountedVolumes()) {
        const QString& root = volume.rootPath;
        if (holds(root, clean) && root.size() > bestLength) {
            best = volume;
            bestLength = root.size();
        }
    }
    return best;
}

} // namespace zintrel
