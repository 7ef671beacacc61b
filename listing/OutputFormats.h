#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace zintrel {

class ListingOutput;
struct ListingOptions;
struct OutputSetup;
struct SaveEnvironment;

enum class OutputType { Text, Pdf, Csv, Json, Html };

inline constexpr const char* kPasswordMessage = "Passwords do not match or not entered. Save operation aborted.";
inline constexpr const char* kPasswordTooLongMessage
    = "The password is too long for a PDF (at most 127 bytes). Save operation aborted.";
inline constexpr const char* kNoPdfMessage = "PDF output is not available in this build.";
// AES-256 takes the first 127 bytes of a password's UTF-8; a longer one no reader can use.
inline constexpr std::size_t kMaxPasswordBytes = 127;

// What a save can write. The file-save dialog offers the formats in the order of the table.
struct OutputFormat {
    OutputType type;
    const char* id;           // as harnesses name it: "txt"
    const char* extension;    // completes a target name that lacks it: ".txt"
    const char* dialogFilter; // the file-save dialog's file type: "Text File (*.txt)"
    // The message that refuses these settings for this format before anything is written;
    // empty when they are fine.
    std::string (*refusal)(const ListingOptions& options, const SaveEnvironment& environment);
    // A new output for one save; throws when the format cannot be written here.
    std::unique_ptr<ListingOutput> (*make)(const OutputSetup& setup, const SaveEnvironment& environment);
};

std::span<const OutputFormat> outputFormats();
const OutputFormat& outputFormat(OutputType type);
// null for an id no format has.
const OutputFormat* outputFormatById(std::string_view id);

// The chosen target name with the format's extension appended unless it already ends in
// it, in any mix of case.
std::string completeTargetName(const std::string& name, OutputType type);

} // namespace zintrel
