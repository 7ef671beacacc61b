#include "OutputFormats.h"

#include "Capitals.h"
#include "CsvListing.h"
#include "JsonListing.h"
#include "HtmlListing.h"
#include "ListingOptions.h"
#include "ListingOutput.h"
#include "ListingRun.h"
#include "TextListing.h"

#include <stdexcept>

namespace zintrel {

namespace {

// A mistyped password, or a font the PDF cannot draw, is caught before a long walk, not
// after it.
std::string pdfRefusal(const ListingOptions& options, const SaveEnvironment& environment)
{
    if (!options.passwordsAcceptable())
        return kPasswordMessage;
    if (options.pdfSecurity && options.pdfPassword.size() > kMaxPasswordBytes)
        return kPasswordTooLongMessage;
    return environment.pdfOutput ? environment.pdfOutput->refusal(options) : std::string();
}

std::unique_ptr<ListingOutput> makeHtml(const OutputSetup& setup, const SaveEnvironment&)
{
    return makeHtmlListing(setup);
}

std::string noRefusal(const ListingOptions&, const SaveEnvironment&) { return {}; }

std::unique_ptr<ListingOutput> makeText(const OutputSetup& setup, const SaveEnvironment&)
{
    return makeTextListing(setup);
}

std::unique_ptr<ListingOutput> makeCsv(const OutputSetup& setup, const SaveEnvironment&)
{
    return makeCsvListing(setup);
}

std::unique_ptr<ListingOutput> makeJson(const OutputSetup& setup, const SaveEnvironment&)
{
    return makeJsonListing(setup);
}

// The PDF output comes from the program that runs the save, which may have none.
std::unique_ptr<ListingOutput> makePdf(const OutputSetup& setup, const SaveEnvironment& environment)
{
    if (!environment.pdfOutput)
        throw std::runtime_error(kNoPdfMessage);
    return environment.pdfOutput->make(setup);
}

constexpr OutputFormat kFormats[] = {
    {OutputType::Text, "txt", ".txt", "Text File (*.txt)", noRefusal, makeText},
    {OutputType::Pdf, "pdf", ".pdf", "PDF File (*.pdf)", pdfRefusal, makePdf},
    {OutputType::Csv, "csv", ".csv", "CSV File (*.csv)", noRefusal, makeCsv},
    {OutputType::Json, "json", ".json", "JSON File (*.json)", noRefusal, makeJson},
    {OutputType::Html, "html", ".html", "HTML File (*.html)", noRefusal, makeHtml},
};

} // namespace

std::span<const OutputFormat> outputFormats() { return kFormats; }

const OutputFormat& outputFormat(OutputType type)
{
    for (const OutputFormat& format : kFormats) {
        if (format.type == type)
            return format;
    }
    return kFormats[0];
}

const OutputFormat* outputFormatById(std::string_view id)
{
    for (const OutputFormat& format : kFormats) {
        if (id == format.id)
            return &format;
    }
    return nullptr;
}

std::string completeTargetName(const std::string& name, OutputType type)
{
    const std::string_view extension = outputFormat(type).extension;
    if (name.size() >= extension.size()
        && toUpperAscii(std::string_view(name).substr(name.size() - extension.size())) == toUpperAscii(extension))
        return name;
    return name + std::string(extension);
}

} // namespace zintrel
