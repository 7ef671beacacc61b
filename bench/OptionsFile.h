#pragma once

#include "listing/ListingOptions.h"

#include <stdexcept>
#include <string>

namespace zintrel {

// A line of an options file that names no field or holds a bad value.
class OptionsFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Applies "field=value" lines (field names as in ListingOptions) to options. Dates change
// only their calendar date. Throws OptionsFileError naming the line.
void applyOptionsFile(const std::string& path, ListingOptions& options);
void applyOptionLine(const std::string& line, ListingOptions& options);

} // namespace zintrel
