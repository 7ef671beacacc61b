#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zintrel {

class CancelToken;
class InputFile;
class OutputFile;

// Characters that fonts' ToUnicode maps leave out, found by the glyph that draws each: the
// font's PDF name (/DejaVuSans), then the glyph's TrueTypeProgram::signature in the font
// program embedded for it, then the character.
using GlyphCharacters = std::map<std::string, std::map<std::string, char32_t>>;

// A bookmark of the document's outline: its title, the bookmark it is nested under, and
// where it leads.
struct PdfOutlineItem {
    std::string title; // UTF-8; bytes that are not become U+FFFD
    int parent = -1;   // index of an earlier item; -1: at the top
    int page = 0;      // from 0, in the order of the drawing
    double top = 0;    // the height to show at the top of the window, in points from the bottom
};

// What the finished document gets besides the drawing.
struct PdfFinish {
    std::map<std::string, std::string> information; // PDF key ("/Author") to UTF-8 text
    bool encrypt = false;                           // AES-256, revision 6
    std::string userPassword;
    std::string ownerPassword;
    std::uint32_t permissions = 0;       // the /P bits
    std::function<bool(char32_t)> drawn; // the characters drawn, for repairToUnicode
    GlyphCharacters glyphCharacters;     // for completeToUnicode
    // Shown in the reader's side panel, with the top level open and the rest closed.
    std::vector<PdfOutlineItem> outline;
};

// The PDF rewriter: copies drawn PDFs to target one object at a time, adding the document
// information, the outline and the encryption and repairing the fonts' ToUnicode maps.
//
// What it accepts: unencrypted PDFs of a single revision whose objects all stand in the
// file in the order of their offsets, found through a classic cross-reference table (no
// object streams, no cross-reference streams), with a catalog whose /Pages is one page
// tree, as QPdfWriter writes them. Type0 fonts with a /ToUnicode map and an embedded
// TrueType program (/FontFile2) get their maps repaired; other objects are copied with
// their numbers moved and, when encrypting, their strings and streams encrypted.
// Anything else is refused with UnreadableDrawing.
//
// Several drawings are joined, their pages in the order given, under one page tree; the
// first one's catalog and information stand for the document. Memory stays that of the
// largest object and the cross-reference table, however many pages there are (a
// whole-document rewrite holds every page's objects at once). Throws IoError for file
// trouble, UnreadableDrawing for a drawing it cannot read, SaveCancelled when cancel is
// raised (looked at for every object).
void finishPdf(const std::vector<const InputFile*>& drawings, OutputFile& target, const PdfFinish& finish,
               const CancelToken& cancel);

} // namespace zintrel
