#pragma once

#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

namespace zintrel {
class CancelToken;
struct ListingOptions;
struct PdfRendering;
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
// PDF appears only when the whole render succeeded. Throws what RenderListingPdf throws,
// and IoError for a listing or output that cannot be opened.
void renderFile(const std::string& listingPath, const std::string& outputPath, const zintrel::ListingOptions& options,
                const std::function<void(const std::string&)>& notice = nullptr,
                const zintrel::CancelToken* cancel = nullptr);
// The same with the rendering's hooks given.
void renderFile(const std::string& listingPath, const std::string& outputPath, const zintrel::ListingOptions& options,
                const zintrel::PdfRendering& how);
