#pragma once

#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace zintrel {
class PdfRenderer;
struct ListingOptions;
struct RenderHooks;
} // namespace zintrel

// A private folder for one test, removed with it.
class TestFolder {
public:
    std::string path(const std::string& name) const
    {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }
    // Writes the lines, each ended by CR LF as listings are.
    std::string writeListing(const std::string& name, const std::vector<std::string>& lines) const;

private:
    QTemporaryDir m_dir;
};

// Renders the listing file at listingPath into a PDF at outputPath, as a save does: the
// PDF appears only when the whole render succeeded. Throws what the renderer throws, and
// IoError for a listing or output that cannot be opened.
void renderFile(zintrel::PdfRenderer& renderer, const std::string& listingPath, const std::string& outputPath,
                const zintrel::ListingOptions& options, const std::function<void(const std::string&)>& notice = nullptr,
                const std::atomic<bool>* cancel = nullptr);
// The same with the hooks given.
void renderFile(zintrel::PdfRenderer& renderer, const std::string& listingPath, const std::string& outputPath,
                const zintrel::ListingOptions& options, const zintrel::RenderHooks& hooks);
