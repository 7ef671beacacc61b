#pragma once

#include "PdfTokens.h"
#include "TrueTypeProgram.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

class InputFile;

// A range of a drawing that holds one object.
struct ObjectPlace {
    ObjectId id;
    std::uint64_t offset;
    std::uint64_t end;
};

// Reads a PDF that QPdfWriter drew, object by object: where each object lies (from the
// cross-reference table), which are the catalog and the information, and the text and
// stream data of any object on demand. Holds the table, never the objects. Throws
// UnreadableDrawing for a drawing that is not such a PDF, IoError for file trouble.
class DrawingReader {
public:
    explicit DrawingReader(const InputFile& drawing);

    // In the order of the file.
    const std::vector<ObjectPlace>& places() const { return m_places; }
    const ObjectId& root() const { return m_root; }
    const std::optional<ObjectId>& info() const { return m_info; }
    // What the drawing's own /Info says (UTF-8).
    const std::map<std::string, std::string>& information() const { return m_information; }
    // One more than the highest object number.
    int nextNumber() const { return m_nextNumber; }

    std::string objectText(const ObjectPlace& place) const;
    std::optional<ObjectTokens> objectTokens(const ObjectId& id) const;
    // The bytes a stream object stores (still compressed), its /Length followed where it is
    // an object of its own.
    std::string storedData(const std::string& text, const ObjectTokens& parsed) const;
    // The page objects, in page order.
    std::vector<ObjectId> pages() const;
    // The TrueType program embedded for a Type0 font (its DescendantFonts, FontDescriptor,
    // FontFile2), inflated; nullopt when it has none that reads.
    std::optional<TrueTypeProgram> embeddedProgram(const std::vector<PdfToken>& font) const;

    // The name that key of an object's own dictionary has.
    static std::optional<std::string> nameValue(const std::vector<PdfToken>& tokens, std::string_view key);
    // The object that key of an object's own dictionary refers to, directly or as the first
    // item of an array.
    static std::optional<ObjectId> referenceValue(const std::vector<PdfToken>& tokens, std::string_view key);
    // Whether a stream's dictionary says its data is Flate-compressed.
    static bool isFlate(const std::vector<PdfToken>& tokens);

private:
    std::int64_t integerObject(const ObjectId& id) const;

    const InputFile& m_drawing;
    std::vector<ObjectPlace> m_places;
    std::map<ObjectId, std::size_t> m_placeOf;
    ObjectId m_root;
    std::optional<ObjectId> m_info;
    std::map<std::string, std::string> m_information;
    int m_nextNumber = 1;
};

// Compresses or inflates with zlib, as PDF's FlateDecode.
std::string deflated(const std::string& data);
std::string inflated(const std::string& data);

} // namespace zintrel
