#pragma once

#include <optional>
#include <string>
#include <vector>

// What a finished PDF holds, read back through libqpdf: page sizes, the text drawn on each
// page with its baseline position and fill colour (decoded through the fonts' ToUnicode
// maps), the document information and the encryption.

struct Rgb {
    double red = 0, green = 0, blue = 0;
};

// One glyph as a reader places it: where it starts on its line and how far it advances
// (points), how far it is raised, and what the text layer makes of it.
struct DrawnGlyph {
    double x = 0;
    double width = 0;
    double rise = 0;
    std::u32string text;
};

// One line of text: the glyphs shown on one baseline of one page, in drawing order.
struct DrawnLine {
    int page = 0; // from 1
    double x = 0;
    double y = 0;
    std::u32string text;
    std::vector<Rgb> colors;        // one per glyph
    std::vector<std::string> fonts; // base font names used on the line
    std::vector<DrawnGlyph> glyphs;
};

struct PageInfo {
    double width = 0;
    double height = 0;
};

struct Encryption {
    bool encrypted = false;
    int revision = 0;
    int version = 0;
    bool aes256 = false;
    bool printHighRes = false;
    bool printLowRes = false;
    bool extractAll = false;
    bool modifyOther = false;
    bool modifyAnnotation = false;
    bool modifyForm = false;
    bool modifyAssembly = false;
    bool accessibility = false;
    bool userPasswordMatched = false;
    bool ownerPasswordMatched = false;
};

// One bookmark of the outline, with those nested under it.
struct Bookmark {
    std::string title;  // UTF-8
    bool utf16 = false; // the title is stored as a UTF-16 text string
    int page = 0;       // from 1
    double top = 0;
    bool open = false; // shows its children when the outline opens
    std::vector<Bookmark> kids;
};

struct PdfContent {
    std::vector<PageInfo> pages;
    std::vector<Bookmark> outline;
    bool outlineShownAtOpen = false; // the catalog's /PageMode is /UseOutlines
    std::vector<DrawnLine> lines;
    std::optional<std::string> author, title, creator, producer; // UTF-8
    Encryption encryption;
};

// Throws std::exception when the file cannot be opened with the password (qpdf's
// QPDFExc with qpdf_e_password for a wrong or missing one), or when qpdf had to repair
// anything to read it.
PdfContent readPdf(const std::string& path, const std::string& password = "");

// True when qpdf refuses the file for its password.
bool passwordRefused(const std::string& path, const std::string& password);

// pdftotext's plain text of the whole document (UTF-8).
std::string pdfToText(const std::string& path, const std::string& password = "");

std::u32string toU32(const std::string& utf8);
std::string toUtf8(const std::u32string& text);
