#pragma once

#include "PdfFinisher.h"
#include "PdfTokens.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

// The objects of a document outline: first its root (number firstNumber), then one
// object per item, numbered on from it, each nested under its parent with the siblings
// linked in order. The top level shows when the outline opens; every deeper level is
// closed. pages: the page objects in page order. encodeString turns a title's bytes (a
// UTF-16BE text string with its byte order mark) into the PDF string that stands for it,
// encrypted or not.
std::vector<std::string> outlineObjects(const std::vector<PdfOutlineItem>& items, int firstNumber,
                                        const std::vector<ObjectId>& pages,
                                        const std::function<std::string(std::string_view)>& encodeString);

// A title as a PDF text string: a byte order mark, then UTF-16BE; bytes of title that are
// no UTF-8 become U+FFFD.
std::string utf16TextString(std::string_view title);

} // namespace zintrel
