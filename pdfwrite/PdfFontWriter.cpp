#include "PdfFontWriter.h"

#include "Flate.h"
#include "FontProgram.h"
#include "PdfFileWriter.h"
#include "PdfSyntax.h"

#include <algorithm>

namespace zintrel {

namespace {

constexpr int kCompression = 6;
// The most entries one begin...end block of a CMap may hold.
constexpr std::size_t kMaxBlockEntries = 100;
// A symbolic font: its glyphs are reached through the CIDs, not a standard encoding.
constexpr int kSymbolicFlag = 4;
constexpr int kGuessedStemV = 80;

void appendReference(std::string& out, int number)
{
    appendInteger(out, number);
    out += " 0 R";
}

double thousandths(const FontProgram& program, int units) { return units * 1000.0 / program.unitsPerEm(); }

std::string hexCode(std::string_view bytes) { return hexString(bytes); }

const char* const kCMapHead = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                              "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n";
const char* const kCMapTail = "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

// Code to text, as bfchar entries: some readers garble every bfrange array.
std::string toUnicodeMap(const std::string& tag, const std::vector<FontCode>& codes)
{
    std::string map = kCMapHead;
    map += "/CMapName /" + tag + "-UCS def\n/CMapType 2 def\n1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<const FontCode*> mapped;
    for (const FontCode& code : codes) {
        if (!code.text.empty())
            mapped.push_back(&code);
    }
    for (std::size_t start = 0; start < mapped.size(); start += kMaxBlockEntries) {
        const std::size_t end = std::min(mapped.size(), start + kMaxBlockEntries);
        appendInteger(map, static_cast<std::int64_t>(end - start));
        map += " beginbfchar\n";
        for (std::size_t i = start; i < end; ++i) {
            map += hexCode(mapped[i]->code);
            map += ' ';
            map += hexString(utf16BytesBE(mapped[i]->text));
            map += '\n';
        }
        map += "endbfchar\n";
    }
    return map + kCMapTail;
}

// [cid [w w ...] cid [w ...]]: one array for each run of consecutive CIDs.
std::string widthArray(const std::vector<FontGlyph>& glyphs)
{
    std::string w = "[";
    for (std::size_t i = 0; i < glyphs.size();) {
        std::size_t end = i + 1;
        while (end < glyphs.size() && glyphs[end].cid == glyphs[end - 1].cid + 1)
            ++end;
        appendInteger(w, glyphs[i].cid);
        w += " [";
        for (std::size_t k = i; k < end; ++k) {
            if (k > i)
                w += ' ';
            appendPdfNumber(w, glyphs[k].width);
        }
        w += "] ";
        i = end;
    }
    w += ']';
    return w;
}

} // namespace

std::string subsetTag(const FontProgram& program, const std::vector<FontGlyph>& glyphs)
{
    // FNV-1a over the font's name and the glyphs shown.
    std::uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](std::uint64_t value) {
        for (int b = 0; b < 8; ++b) {
            hash ^= (value >> (8 * b)) & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    for (char c : program.postScriptName())
        mix(static_cast<unsigned char>(c));
    mix(static_cast<std::uint64_t>(program.index()));
    for (const FontGlyph& glyph : glyphs) {
        mix(glyph.cid);
        mix(glyph.glyph);
    }
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag += static_cast<char>('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

void writeFont(PdfFileWriter& writer, int type0Number, const FontProgram& program, const std::vector<FontGlyph>& glyphs,
               const std::vector<FontCode>& codes)
{
    const std::string baseFont = subsetTag(program, glyphs) + "+" + program.postScriptName();
    const int cidFont = writer.newNumber();
    const int descriptor = writer.newNumber();
    const int fontFile = writer.newNumber();
    const int toUnicode = writer.newNumber();
    bool identity = true;
    for (const FontGlyph& glyph : glyphs)
        identity = identity && glyph.cid == glyph.glyph;
    const int cidToGid = identity || program.cff() ? 0 : writer.newNumber();

    std::string type0
        = "<< /Type /Font /Subtype /Type0 /BaseFont " + pdfName(baseFont) + " /Encoding /Identity-H /DescendantFonts [";
    appendReference(type0, cidFont);
    type0 += "] /ToUnicode ";
    appendReference(type0, toUnicode);
    writer.object(type0Number, type0 + " >>");

    std::string cid = "<< /Type /Font /Subtype ";
    cid += program.cff() ? "/CIDFontType0" : "/CIDFontType2";
    cid += " /BaseFont " + pdfName(baseFont)
        + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor ";
    appendReference(cid, descriptor);
    cid += " /DW 0 /W " + widthArray(glyphs);
    if (!program.cff()) {
        cid += " /CIDToGIDMap ";
        if (cidToGid)
            appendReference(cid, cidToGid);
        else
            cid += "/Identity";
    }
    writer.object(cidFont, cid + " >>");

    std::string fd = "<< /Type /FontDescriptor /FontName " + pdfName(baseFont) + " /Flags ";
    appendInteger(fd, kSymbolicFlag);
    fd += " /FontBBox [";
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            fd += ' ';
        appendPdfNumber(fd, thousandths(program, program.boundingBox()[i]), 0);
    }
    fd += "] /ItalicAngle ";
    appendPdfNumber(fd, program.italicAngle());
    fd += " /Ascent ";
    appendPdfNumber(fd, thousandths(program, program.ascent()), 0);
    fd += " /Descent ";
    appendPdfNumber(fd, thousandths(program, program.descent()), 0);
    fd += " /CapHeight ";
    appendPdfNumber(fd, thousandths(program, program.capHeight()), 0);
    fd += " /StemV ";
    appendInteger(fd, kGuessedStemV);
    fd += program.cff() ? " /FontFile3 " : " /FontFile2 ";
    appendReference(fd, fontFile);
    writer.object(descriptor, fd + " >>");

    std::vector<std::uint32_t> shown;
    for (const FontGlyph& glyph : glyphs)
        shown.push_back(glyph.glyph);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    std::vector<char32_t> characters;
    for (const FontCode& code : codes) {
        if (code.text.size() == 1 && (code.text[0] < 0xD800 || code.text[0] > 0xDFFF))
            characters.push_back(code.text[0]);
    }
    const std::string subset = program.subset(shown, characters);
    writer.stream(fontFile, program.cff() ? "/Subtype /OpenType /Filter /FlateDecode" : "/Filter /FlateDecode",
                  deflated(subset, kCompression));

    writer.stream(toUnicode, "/Filter /FlateDecode", deflated(toUnicodeMap(baseFont, codes), kCompression));
    if (cidToGid) {
        const std::uint32_t last = glyphs.empty() ? 0 : glyphs.back().cid;
        // CIDs no code shows draw the missing-glyph box.
        std::string map(2 * (static_cast<std::size_t>(last) + 1), '\0');
        for (const FontGlyph& glyph : glyphs) {
            map[2 * glyph.cid] = static_cast<char>(glyph.glyph >> 8);
            map[2 * glyph.cid + 1] = static_cast<char>(glyph.glyph & 0xFF);
        }
        writer.stream(cidToGid, "/Filter /FlateDecode", deflated(map, kCompression));
    }
}

} // namespace zintrel
