#pragma once

#include <QTemporaryDir>

#include <string>
#include <vector>

// A private folder for one test, removed with it.
class TestFolder {
public:
    std::string path(const std::string& name) const { return m_dir.filePath(QString::fromStdString(name)).toStdString(); }
    // Writes the lines, each ended by CR LF as listings are.
    std::string writeListing(const std::string& name, const std::vector<std::string>& lines) const;

private:
    QTemporaryDir m_dir;
};
