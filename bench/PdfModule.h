#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zintrel {

class OutputMaker;

// The PDF module, loaded from the first of its places that holds it for the saves of one
// program run, and stopped while the libraries it needs are still there.
class PdfModule {
public:
    PdfModule() = default;
    PdfModule(const PdfModule&) = delete;
    PdfModule& operator=(const PdfModule&) = delete;
    ~PdfModule();

    // null when no place holds a module that loads, with the loader's reason in error.
    const OutputMaker* start(const std::vector<std::filesystem::path>& places, int argc, char** argv,
                             std::string& error);

    // The module beside the running program.
    static std::filesystem::path besideProgram();

private:
    void (*m_stop)() = nullptr;
};

} // namespace zintrel
