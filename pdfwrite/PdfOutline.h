#pragma once

#include <string>
#include <vector>

namespace zintrel {

class PdfFileWriter;

// A bookmark of the document's outline: its title, the bookmark it is nested under, and
// where it leads.
struct PdfOutlineItem {
    std::string title; // UTF-8; bytes that are not become U+FFFD
    int parent = -1;   // index of an earlier item; -1: at the top (so is a parent that is no earlier item)
    int page = 0;      // from 0
    double top = 0;    // the height to show at the top of the window, in points from the bottom
};

// Writes the outline: its root as object rootNumber, then one object per item, numbered
// on from the writer, each nested under its parent with the siblings linked in order. The
// top level shows when the outline opens; every deeper level is closed. pages: the page
// objects' numbers in page order; an item's page beyond them leads to the last one.
void writeOutline(PdfFileWriter& writer, int rootNumber, const std::vector<PdfOutlineItem>& items,
                  const std::vector<int>& pages);

} // namespace zintrel
