#pragma once

#include <QString>
#include <QUrl>

namespace zintrel {

// Hands a file or a web address to the desktop's default program. Each call tells whether
// some program took it: false when the desktop has none to hand it to (no viewer or browser
// installed, no desktop at all). What the program then does with it is not known.
class ShellOpen {
public:
    virtual ~ShellOpen() = default;
    virtual bool open(const QString& fileOrAddress) = 0;
    // A file by its path in the file system's bytes, which need not be UTF-8.
    virtual bool openFile(const QByteArray& path) = 0;
};

// Through QDesktopServices; a text with a URL scheme is an address, anything else a file.
class DesktopShellOpen : public ShellOpen {
public:
    bool open(const QString& fileOrAddress) override;
    bool openFile(const QByteArray& path) override;
};

// The URL for a file path or a web address.
QUrl urlForShell(const QString& fileOrAddress);
// The file:// URL of a path given as bytes (relative to the current folder), each byte kept.
QUrl urlForFile(const QByteArray& path);

} // namespace zintrel
