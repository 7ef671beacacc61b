#pragma once

#include <QList>
#include <QString>

namespace zintrel {

enum class VolumeKind { Fixed, Removable, Network, Optical, Ram };

// One mounted volume as the volume list shows it.
struct Volume {
    QString rootPath; // the mount path, without a final "/" except for "/" itself
    QString text;     // the item text
    VolumeKind kind = VolumeKind::Fixed;
};

// The mounted volumes that hold files a user may list, in order of their mount path. Kernel
// pseudo file systems (proc, sysfs, cgroup, ...) are left out. Read afresh on every call.
QList<Volume> mountedVolumes();

// volumes as listed, and the root "/" as a fixed volume when none of them holds the start
// folder; in the order of their mount paths.
QList<Volume> withStartVolume(QList<Volume> volumes, const QString& startFolder);

// Whether the volume mounted at root holds path (both clean and absolute).
bool holds(const QString& root, const QString& path);

// The volume that holds path (the mounted volume with the longest mount path above it).
Volume volumeOf(const QString& path);

// The item text of a volume: the mount path, then for a fixed, optical or RAM volume with a
// name a blank and the name in brackets; for a network volume a blank and its share.
QString volumeText(const QString& rootPath, VolumeKind kind, const QString& name, const QString& share);

// The kind of a volume by its file system type, its device and the device's removable flag.
VolumeKind volumeKind(const QByteArray& fileSystemType, const QByteArray& device, bool removableDevice);

// Whether a file system type is a kernel pseudo file system that holds no user files.
bool isPseudoFileSystem(const QByteArray& fileSystemType);

} // namespace zintrel
