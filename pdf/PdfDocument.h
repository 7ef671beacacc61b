#pragma once

#include <memory>
#include <string>

namespace zintrel {

class CancelToken;
class OutputFile;
class PdfDocument;

// A new document's page: A4 portrait, in points.
inline constexpr double kDefaultPageWidth = 595;
inline constexpr double kDefaultPageHeight = 842;
// The largest text size, and page side, a PDF viewer must accept (200 inches).
inline constexpr int kMaxTextSize = 14400;

// The finished pages of a document, with what saving them needs: made by TakePages, then
// appended to the document it was made from. Movable; owns its temporary drawing.
class PdfPages {
public:
    PdfPages();
    ~PdfPages();
    PdfPages(PdfPages&&) noexcept;
    PdfPages& operator=(PdfPages&&) noexcept;

private:
    friend class PdfDocument;
    struct Data;
    std::unique_ptr<Data> m_data;
};

// One PDF document being built: pages are drawn in points from the bottom-left corner and
// their contents streamed, compressed, to a temporary file as they are finished; SaveTo
// then writes the document with its fonts (each embedded once, cut to the glyphs drawn),
// its information, its outline and its security. Text keeps every character as it was
// given in the text layer: each glyph's code maps to the very characters it stands for.
// Every failure throws an exception whose what() is the text for the error box.
class PdfDocument {
public:
    // Starts a document of one A4 portrait page (595 x 842) in the default sans-serif font.
    // displayName is the file failures name: the one the user chose, not the temporary
    // drawing, which means nothing to them.
    explicit PdfDocument(const std::string& displayName = {});
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // The size of the current page.
    double pagewidth() const;
    double pageheight() const;
    // Sizes the current page while nothing is drawn on it; once it has been drawn on, the
    // new size applies from the next page.
    void setpagedimensions(double width, double height);

    // flag 1: embed the font (the only kind this document makes). Non-zero when a font of
    // that family with outlines a PDF embeds, or of one of its registered substitutes, is
    // installed; it is then the current font. 0 otherwise, and the current font stays.
    int AddTrueTypeFont(const std::string& name, int flag);
    void settextsize(int points);
    // Fractions from 0 to 1.
    void settextcolor(double red, double green, double blue);
    // Draws one line of UTF-8 text with its baseline starting at (x, y), characters the
    // font lacks in the first installed font that has them; bytes that are not UTF-8
    // appear as U+FFFD. The bytes 0x01 and 0x02 open and close a bidi isolate that is not
    // part of the text (TextShaper). Nothing is wrapped or clipped.
    void DrawText(int x, int y, const std::string& text);
    // Gives the codes that drawing text will need the numbers they would get if it were
    // drawn now, without drawing anything. Text later drawn by parts, on other threads,
    // thus gets the codes it gets when it is all drawn here, in this order.
    void PrepareText(const std::string& text);
    // Adds a page of the current dimensions and makes it current; the font stays, the text
    // size is sent again by the caller.
    void newpage();
    // A bookmark in the reader's side panel that leads to the current page at the height
    // top (points from the bottom). parent: an earlier bookmark, counted from 0 in the
    // order they were added, or -1 for the top level. Titles are UTF-8.
    void AddBookmark(const std::string& title, int parent, int top);
    // The same on a page given by its number: from 0, over this document's pages and then
    // those of the parts appended.
    void AddBookmark(const std::string& title, int parent, int page, int top);

    // A document that draws pages of this one on another thread: its first page is of the
    // current page size, in the current font, text size and colour, and it shares this
    // document's fonts and codes. Made and drawn on any thread; its pages come back with
    // TakePages, and go after this document's with AppendPages.
    std::unique_ptr<PdfDocument> makePart() const;
    // Ends the drawing and hands the pages over; the document can do nothing more after.
    PdfPages TakePages();
    // Pages a part drew follow this document's when it is saved, in the order appended.
    // Only the pages count, not the part's information or security.
    void AppendPages(PdfPages pages);

    // 1 Author, 2 Title, 3 Subject, 4 Keywords, 5 Creator, 6 Producer.
    void SetInformation(int key, const std::string& value);
    // Each flag 1 (granted) or 0: print, copy text and graphics, change the document, add
    // or change annotations, fill in forms, assemble (insert, rotate, delete pages),
    // a seventh kept for callers that pass it (extraction for accessibility stays granted
    // whatever it says, so screen readers keep working), print at full quality. Returns
    // the permission value for Encrypt.
    int Permissions(int print, int copy, int change, int annotate, int fillForms, int assemble, int accessibility,
                    int printHighQuality);
    // level 1: AES-256 (revision 6). An empty owner password is replaced by a random one,
    // so the permissions hold for everybody; an empty user password opens the document
    // without asking. A password longer than 127 bytes, which no reader can use, is refused.
    void Encrypt(const std::string& ownerPassword, const std::string& userPassword, int level, int permissions);
    // Finishes the document and writes it to path (created or truncated). Drawing after
    // this throws.
    void SaveToFile(const std::string& path);
    // The same into out, which must stand at the start of an empty file; the caller
    // flushes it. Throws SaveCancelled when cancel is raised meanwhile.
    void SaveTo(OutputFile& out, const CancelToken& cancel);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zintrel
