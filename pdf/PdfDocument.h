#pragma once

#include <memory>
#include <string>

namespace zintrel {

class CancelToken;
class OutputFile;
class PdfDocument;

// The finished pages of a document, with what saving them needs: made by TakePages, then
// appended to another document. Movable; owns its temporary drawing.
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
// streamed to a temporary file as they are finished; SaveToFile then adds the document
// information and the security and writes the result. Needs a QGuiApplication. Every
// failure throws an exception whose what() is the text for the error box.
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

    // flag 1: embed the font (the only kind this document makes). Non-zero when a scalable
    // font of that family, or of one of its registered substitutes, is installed; it is then
    // the current font. 0 otherwise, and the current font stays.
    int AddTrueTypeFont(const std::string& name, int flag);
    void settextsize(int points);
    // Fractions from 0 to 1.
    void settextcolor(double red, double green, double blue);
    // Draws one line of UTF-8 text with its baseline starting at (x, y); bytes that are not
    // UTF-8 appear as U+FFFD. Nothing is wrapped or clipped.
    void DrawText(int x, int y, const std::string& text);
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
    // Ends the drawing and hands the pages over; the document can do nothing more after.
    // A document drawn on another thread gives its pages there, and is best destroyed
    // there too: its fonts belong to that thread.
    PdfPages TakePages();
    // Pages another document drew follow this one's when it is saved, in the order
    // appended. Only the pages count, not the other document's information or security.
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
    // without asking.
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
