#pragma once

#include "listing/TextListing.h"

#include <string>
#include <string_view>

namespace zintrel {

// Around a name in the listing a PDF is drawn from, these keep a right-to-left name (or
// one holding a direction override) inside its own column: the line stays left to right.
// They are the drawing's own marks for a bidi isolate (TextShaper), bytes no listing line
// holds otherwise, so that a first strong isolate in a name stays part of the name.
inline constexpr std::string_view kIsolateStart = "\x01";
inline constexpr std::string_view kIsolateEnd = "\x02";

// Whether UTF-8 text holds a letter written right to left (Hebrew, Arabic, ...) or a
// character that sets the direction itself: only such a name can move the columns around
// it, and needs the isolates. Bytes that are no UTF-8 hold neither.
bool hasRightToLeft(std::string_view text);

// Names and paths in isolates where they hold right-to-left text; others as they are, as
// the isolates start a bidi algorithm that costs the drawing dearly.
class IsolatedNames : public NameForm {
public:
    void appendName(std::string& line, std::string_view name) const override;
    void appendPath(std::string& line, std::string_view folder, std::string_view name) const override;
    void appendFolder(std::string& line, std::string_view folder) const override;
};

} // namespace zintrel
