#pragma once

#include <QString>
#include <QUrl>

namespace zintrel {

// Hands a file or a web address to the desktop's default program. The outcome is never
// looked at: a missing viewer or browser leaves the program as it was, without a message.
class ShellOpen {
public:
    virtual ~ShellOpen() = default;
    virtual void open(const QString& fileOrAddress) = 0;
    // A file by its path in the file system's bytes, which need not be UTF-8.
    virtual void openFile(const QByteArray& path) = 0;
};

// Through QDesktopServices; a text with a URL scheme is an address, anything else a file.
class DesktopShellOpen : public ShellOpen {
public:
    void open(const QString& fileOrAddress) override;
    void openFile(const QByteArray& path) override;
};

// The URL for a file path or a web address.
QUrl urlForShell(const QString& fileOrAddress);
// The file:// URL of a path given as bytes (relative to the current folder), each byte kept.
QUrl urlForFile(const QByteArray& path);

} // namespace zintrel
