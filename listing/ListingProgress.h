#pragma once

#include <cstdint>
#include <string>

namespace zintrel {

// Told of every folder the walk enters, on the walking thread; keep it cheap.
class ListingProgress {
public:
    virtual ~ListingProgress() = default;
    virtual void folderEntered(const std::string& path, std::int64_t folders, std::int64_t files) = 0;
};

} // namespace zintrel
