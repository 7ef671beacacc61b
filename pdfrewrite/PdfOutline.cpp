#include "PdfOutline.h"

#include <QString>

#include <algorithm>
#include <cstdio>

namespace zintrel {

namespace {

std::string ref(int number) { return std::to_string(number) + " 0 R"; }

// A height in the classic form, whole points without a fraction.
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

std::string utf16TextString(std::string_view title)
{
    const QString text = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    std::string bytes = "\xFE\xFF";
    bytes.reserve(2 + 2 * static_cast<std::size_t>(text.size()));
    for (QChar unit : text) {
        bytes += static_cast<char>(unit.unicode() >> 8);
        bytes += static_cast<char>(unit.unicode() & 0xFF);
    }
    return bytes;
}

std::vector<std::string> outlineObjects(const std::vector<PdfOutlineItem>& items, int firstNumber,
                                        const std::vector<ObjectId>& pages,
                                        const std::function<std::string(std::string_view)>& encodeString)
{
    // Children of each item, and of the root (the last slot), in the order of the items.
    const std::size_t root = items.size();
    std::vector<std::vector<std::size_t>> children(items.size() + 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        int parent = items[i].parent;
        bool valid = parent >= 0 && static_cast<std::size_t>(parent) < i;
        children[valid ? static_cast<std::size_t>(parent) : root].push_back(i);
    }
    auto numberOf = [firstNumber, root](std::size_t item) {
        return item == root ? firstNumber : firstNumber + 1 + static_cast<int>(item);
    };
    auto header = [](int object) { return std::to_string(object) + " 0 obj\n"; };

    // Where each item stands among its siblings.
    std::vector<std::size_t> parentOf(items.size()), position(items.size());
    for (std::size_t parent = 0; parent <= items.size(); ++parent) {
        for (std::size_t k = 0; k < children[parent].size(); ++k) {
            parentOf[children[parent][k]] = parent;
            position[children[parent][k]] = k;
        }
    }

    std::vector<std::string> objects;
    objects.reserve(items.size() + 1);
    const std::vector<std::size_t>& top = children[root];
    std::string outlines = header(firstNumber) + "<< /Type /Outlines";
    if (!top.empty())
        outlines += " /First " + ref(numberOf(top.front())) + " /Last " + ref(numberOf(top.back())) + " /Count "
            + std::to_string(top.size());
    objects.push_back(outlines + " >>\nendobj\n");

    for (std::size_t i = 0; i < items.size(); ++i) {
        const PdfOutlineItem& item = items[i];
        const std::vector<std::size_t>& siblings = children[parentOf[i]];
        const std::size_t k = position[i];
        std::string text = header(numberOf(i)) + "<< /Title " + encodeString(utf16TextString(item.title)) + " /Parent "
            + ref(numberOf(parentOf[i]));
        if (k > 0)
            text += " /Prev " + ref(numberOf(siblings[k - 1]));
        if (k + 1 < siblings.size())
            text += " /Next " + ref(numberOf(siblings[k + 1]));
        const std::vector<std::size_t>& own = children[i];
        if (!own.empty()) {
            // Closed: a negative count of what opening it shows.
            text += " /First " + ref(numberOf(own.front())) + " /Last " + ref(numberOf(own.back())) + " /Count -"
                + std::to_string(own.size());
        }
        if (!pages.empty()) {
            std::size_t page
                = std::min<std::size_t>(static_cast<std::size_t>(std::max(item.page, 0)), pages.size() - 1);
            text += " /Dest [" + std::to_string(pages[page].number) + " " + std::to_string(pages[page].generation)
                + " R /XYZ 0 " + number(item.top) + " null]";
        }
        objects.push_back(text + " >>\nendobj\n");
    }
    return objects;
}

} // namespace zintrel
