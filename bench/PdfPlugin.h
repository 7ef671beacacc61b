#pragma once

namespace zintrel {
class OutputMaker;
}

// The harness's PDF output, in a module of its own: a text listing never loads the font,
// shaping and PDF libraries, so its timings are the engine's and not their loading.
extern "C" {
// Starts what PDF output needs (once) and returns what makes the PDF output, which lives
// until zintrelStopPdf().
const zintrel::OutputMaker* zintrelStartPdf(int argc, char** argv);
// Ends it again, while the libraries it needs are still there (not at exit).
void zintrelStopPdf();
}

// The name of the module, beside the harness.
inline constexpr const char* kPdfPluginName = "zintrel-pdf-plugin.so";
inline constexpr const char* kPdfPluginStart = "zintrelStartPdf";
inline constexpr const char* kPdfPluginStop = "zintrelStopPdf";
