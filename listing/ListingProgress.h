#pragma once

#include <cstdint>
#include <string>

namespace zintrel {

// Where a save stands, told on the thread that runs it; every call must be cheap.
class ListingProgress {
public:
    virtual ~ListingProgress() = default;
    // Reading: every folder the walk enters, with the lines listed so far.
    virtual void folderEntered(const std::string& path, std::int64_t folders, std::int64_t files) = 0;
    // The walk is over: the lines it listed.
    virtual void listed(std::int64_t, std::int64_t) {}
    // Drawing a PDF: line of lines drawn, on page (both from 1).
    virtual void drawing(std::int64_t, std::int64_t, int) {}
    // Encrypting and writing the finished PDF.
    virtual void finishing() {}
};

} // namespace zintrel
