#include "PdfOutline.h"

#include "PdfFileWriter.h"
#include "PdfSyntax.h"

#include <algorithm>

namespace zintrel {

namespace {

void appendReference(std::string& out, int number)
{
    appendInteger(out, number);
    out += " 0 R";
}

} // namespace

void writeOutline(PdfFileWriter& writer, int rootNumber, const std::vector<PdfOutlineItem>& items,
                  const std::vector<int>& pages)
{
    // Children of each item, and of the root (the last slot), in the order of the items.
    const std::size_t root = items.size();
    std::vector<std::vector<std::size_t>> children(items.size() + 1);
    std::vector<std::size_t> parentOf(items.size()), position(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int parent = items[i].parent;
        const bool valid = parent >= 0 && static_cast<std::size_t>(parent) < i;
        parentOf[i] = valid ? static_cast<std::size_t>(parent) : root;
        position[i] = children[parentOf[i]].size();
        children[parentOf[i]].push_back(i);
    }
    std::vector<int> numbers(items.size());
    for (int& number : numbers)
        number = writer.newNumber();
    auto numberOf = [&](std::size_t item) { return item == root ? rootNumber : numbers[item]; };

    std::string text = "<< /Type /Outlines";
    const std::vector<std::size_t>& top = children[root];
    if (!top.empty()) {
        text += " /First ";
        appendReference(text, numberOf(top.front()));
        text += " /Last ";
        appendReference(text, numberOf(top.back()));
        text += " /Count ";
        appendInteger(text, static_cast<std::int64_t>(top.size()));
    }
    writer.object(rootNumber, text + " >>");

    for (std::size_t i = 0; i < items.size(); ++i) {
        const PdfOutlineItem& item = items[i];
        const std::vector<std::size_t>& siblings = children[parentOf[i]];
        const std::size_t k = position[i];
        text = "<< /Title ";
        appendLiteralString(text, textStringBytes(item.title));
        text += " /Parent ";
        appendReference(text, numberOf(parentOf[i]));
        if (k > 0) {
            text += " /Prev ";
            appendReference(text, numberOf(siblings[k - 1]));
        }
        if (k + 1 < siblings.size()) {
            text += " /Next ";
            appendReference(text, numberOf(siblings[k + 1]));
        }
        const std::vector<std::size_t>& own = children[i];
        if (!own.empty()) {
            // Closed: a negative count of what opening it shows.
            text += " /First ";
            appendReference(text, numberOf(own.front()));
            text += " /Last ";
            appendReference(text, numberOf(own.back()));
            text += " /Count -";
            appendInteger(text, static_cast<std::int64_t>(own.size()));
        }
        if (!pages.empty()) {
            const std::size_t page
                = std::min<std::size_t>(static_cast<std::size_t>(std::max(item.page, 0)), pages.size() - 1);
            text += " /Dest [";
            appendReference(text, pages[page]);
            text += " /XYZ null ";
            appendPdfNumber(text, item.top);
            text += " null]";
        }
        writer.object(numbers[i], text + " >>");
    }
}

} // namespace zintrel
