#include "JsonListing.h"

#include "Attributes.h"
#include "ListingOptions.h"
#include "platform/OutputFile.h"

#include <charconv>
#include <cstdio>

namespace zintrel {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD

void appendNumber(std::string& out, std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

// The length of the well-formed UTF-8 sequence at text[at], or 0 (overlong forms,
// surrogates and code points beyond U+10FFFF are not well-formed).
std::size_t sequenceLength(std::string_view text, std::size_t at)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

// A JSON string of text; returns false when a byte was not UTF-8 and was replaced.
bool appendString(std::string& out, std::string_view text)
{
    bool exact = true;
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x80) { // control characters, DEL among them
            out += "\\u00";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
            ++i;
        } else if (std::size_t length = sequenceLength(text, i)) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += kReplacement;
            exact = false;
            ++i;
        }
    }
    out += '"';
    return exact;
}

// "name" and, for a name that is not UTF-8, "name_hex" with its bytes.
void appendName(std::string& out, std::string_view name)
{
    out += "\"name\":";
    if (appendString(out, name))
        return;
    out += ",\"name_hex\":\"";
    for (char c : name) {
        out += kHexDigits[static_cast<unsigned char>(c) >> 4];
        out += kHexDigits[static_cast<unsigned char>(c) & 15];
    }
    out += '"';
}

void appendTimes(std::string& out, const char* key, std::time_t time, IsoTimeText& times)
{
    out += ",\"";
    out += key;
    out += "\":";
    appendNumber(out, time);
    out += ",\"";
    out += key;
    out += "_iso\":";
    const std::size_t mark = out.size();
    out += '"';
    if (times.append(out, time))
        out += '"';
    else
        out.replace(mark, std::string::npos, "null");
}

std::string_view lastComponent(std::string_view path)
{
    if (path.ends_with('/'))
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

JsonListing::JsonListing(const ListingOptions& options, OutputFile& out)
    : m_options(options)
    , m_out(out)
{
}

void JsonListing::appendSettings()
{
    const ListingOptions& o = m_options;
    m_text += "\"settings\":{\"columns\":{\"name\":";
    appendBool(m_text, o.showName);
    m_text += ",\"size\":";
    appendBool(m_text, o.showSize);
    m_text += ",\"attributes\":";
    appendBool(m_text, o.showAttributes);
    m_text += ",\"date_time\":";
    appendBool(m_text, o.showDateTime);
    m_text += ",\"path\":";
    appendBool(m_text, o.showPath);
    m_text += ",\"level\":";
    appendBool(m_text, o.showLevel);
    m_text += "},\"file_mask\":";
    appendString(m_text, o.fileMask);
    m_text += ",\"exclude\":\"";
    const bool excluded[] = {o.excludeReadOnly, o.excludeHidden,    o.excludeSystem,
                             o.excludeVolumeId, o.excludeDirectory, o.excludeArchive};
    for (int bit = 0; bit < kAttributeCount; ++bit) {
        if (excluded[bit])
            m_text += kAttributeLetters[bit];
    }
    m_text += "\",\"exclude_any_file\":";
    appendBool(m_text, o.excludeAnyFile);
    m_text += ",\"size_filter\":";
    if (o.sizeFilterEnabled && o.sizeFilterMode != SizeFilterMode::None) {
        m_text += o.sizeFilterMode == SizeFilterMode::AtLeast ? "{\"at_least_kb\":" : "{\"at_most_kb\":";
        appendNumber(m_text, o.sizeFilterKb);
        m_text += '}';
    } else {
        m_text += "null";
    }
    m_text += ",\"date_filter\":";
    if (o.dateFilterEnabled) {
        auto appendDate = [&](const LocalDateTime& value) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", value.year, value.month,
                          value.day, value.hour, value.minute, value.second);
            m_text += buffer;
        };
        m_text += "{\"from\":";
        appendDate(o.dateFrom);
        m_text += ",\"to\":";
        appendDate(o.dateTo);
        m_text += '}';
    } else {
        m_text += "null";
    }
    m_text += ",\"include_subfolders\":";
    appendBool(m_text, o.includeSubfolders);
    m_text += ",\"open_after_creation\":";
    appendBool(m_text, o.openAfterCreation);
    m_text += '}';
}

void JsonListing::begin(const std::string& folder, std::time_t now)
{
    m_text = "{\"listing\":{\"folder\":";
    appendString(m_text, folder);
    appendTimes(m_text, "time", now, m_times);
    m_text += ',';
    appendSettings();
    m_text += "},\n\"tree\":";
    m_out.write(m_text);
    m_listedFolder = folder;
}

void JsonListing::closeOpenEntry()
{
    if (m_entryOpen) {
        m_out.put('}');
        m_entryOpen = false;
    }
}

// The separator before an item of the innermost folder's contents.
void JsonListing::startItem()
{
    Folder& folder = m_folders.back();
    m_out.write(folder.empty ? "\n" : ",\n");
    folder.empty = false;
}

// Writes the openings of the folders entered whose lines were not listed.
void JsonListing::writeFolders()
{
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        Folder& folder = m_folders[i];
        if (folder.written)
            continue;
        m_text.clear();
        if (i > 0) {
            m_text += m_folders[i - 1].empty ? "\n" : ",\n";
            m_folders[i - 1].empty = false;
        }
        m_text += "{\"type\":\"directory\",";
        appendName(m_text, folder.name);
        if (i > 0)
            m_text += ",\"listed\":false";
        m_text += ",\"contents\":[";
        m_out.write(m_text);
        folder.written = true;
    }
}

void JsonListing::folderEntered(std::string_view path, int, bool listed)
{
    if (listed && m_entryOpen) {
        m_out.write(",\"contents\":[");
        m_entryOpen = false;
        m_folders.push_back({std::string(), true, true});
        return;
    }
    closeOpenEntry();
    // The listed folder goes by its name as the folder tree gave it.
    m_folders.push_back({m_folders.empty() ? m_listedFolder : std::string(lastComponent(path)), false, true});
}

void JsonListing::folderLeft()
{
    closeOpenEntry();
    if (m_folders.size() <= 1)
        return; // the listed folder closes in finish()
    if (m_folders.back().written)
        m_out.write(m_folders.back().empty ? "]}" : "\n]}");
    m_folders.pop_back();
}

void JsonListing::entry(const ListedEntry& entry)
{
    closeOpenEntry();
    writeFolders();
    startItem();
    const bool isFolder = (entry.attributes & kDirectory) != 0;
    m_text.assign(isFolder ? "{\"type\":\"directory\"," : "{\"type\":\"file\",");
    appendName(m_text, entry.name);
    m_text += ",\"size\":";
    appendNumber(m_text, entry.size);
    appendTimes(m_text, "time", entry.time, m_times);
    m_text += ",\"attributes\":\"";
    appendAttributeLetters(m_text, entry.attributes);
    m_text += '"';
    m_out.write(m_text);
    if (!isFolder)
        m_listedBytes += entry.size;
    // A folder's brace waits: its contents may follow.
    if (isFolder)
        m_entryOpen = true;
    else
        m_out.put('}');
}

void JsonListing::finish(const ListingTotals& totals)
{
    closeOpenEntry();
    while (m_folders.size() > 1)
        folderLeft();
    if (m_folders.empty())
        m_folders.push_back({m_listedFolder, false, true});
    writeFolders();
    m_text.assign(m_folders.back().empty ? "]}" : "\n]}");
    m_text += ",\n\"totals\":{\"folders\":";
    appendNumber(m_text, totals.folders);
    m_text += ",\"files\":";
    appendNumber(m_text, totals.files);
    m_text += ",\"size_kb\":";
    appendNumber(m_text, totals.totalSizeKb);
    m_text += ",\"size_bytes\":";
    appendNumber(m_text, m_listedBytes);
    m_text += "}}\n";
    m_out.write(m_text);
}

std::unique_ptr<ListingOutput> makeJsonListing(const OutputSetup& setup)
{
    return std::make_unique<JsonListing>(setup.options, setup.out);
}

} // namespace zintrel
