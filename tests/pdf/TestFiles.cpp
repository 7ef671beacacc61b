#include "TestFiles.h"

#include "pdf/RenderListingPdf.h"
#include "platform/AtomicFile.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

#include <cerrno>
#include <fcntl.h>

#include <fstream>
#include <stdexcept>

std::string TestFolder::writeListing(const std::string& name, const std::vector<std::string>& lines) const
{
    std::string file = path(name);
    std::ofstream out(file, std::ios::binary);
    for (const std::string& line : lines)
        out << line << "\r\n";
    if (!out.flush())
        throw std::runtime_error("cannot write " + file);
    return file;
}

void renderFile(const std::string& listingPath, const std::string& outputPath, const zintrel::ListingOptions& options,
                const std::function<void(const std::string&)>& notice, const zintrel::CancelToken* cancel)
{
    zintrel::PdfRendering how{cancel ? *cancel : zintrel::CancelToken::none()};
    how.notice = notice;
    renderFile(listingPath, outputPath, options, how);
}

void renderFile(const std::string& listingPath, const std::string& outputPath, const zintrel::ListingOptions& options,
                const zintrel::PdfRendering& how)
{
    using namespace zintrel;
    FileDescriptor listingFd(::open(listingPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!listingFd)
        throw IoError(errno, listingPath);
    InputFile listing(listingFd.get(), listingPath);
    AtomicFile target(outputPath, temporaryFolder());
    OutputFile out(target.fd(), outputPath);
    RenderListingPdf(listing, out, options, how);
    out.flush();
    target.commit();
}
