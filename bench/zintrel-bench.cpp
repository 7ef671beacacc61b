// Headless harness for benchmarks and acceptance runs: one save of FOLDER to TARGET through
// the same engine as the windows, with the user's answers given on the command line.

#include "OptionsFile.h"
#include "PdfModule.h"
#include "RunArguments.h"
#include "listing/ListingRun.h"
#include "listing/OutputFormats.h"
#include "listing/ScriptedUi.h"
#include "platform/SaveSteps.h"

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>

using namespace zintrel;

namespace {

constexpr int kExitMessage = 1;
constexpr int kExitError = 2;

const char* const kUsageRest = "] [--options FILE] [--now YYYY-MM-DDTHH:MM:SS]\n"
                               "                     [--date-format FMT] [--time-format FMT] [--drawing-threads N]\n"
                               "                     FOLDER TARGET\n";

// For tests that put a fault at one exact moment of a save: ZINTREL_BENCH_STOP_AT names a
// step, at which the harness stops itself (SIGSTOP) each time, to be signalled and let go on.
// "started" is the harness's own: up and running, the save not begun.
const char* g_stopAt = nullptr;
constexpr const char* kStepStarted = "started";

void stopAtStep(const char* step)
{
    if (std::strcmp(step, g_stopAt) == 0)
        ::raise(SIGSTOP);
}

int usage()
{
    std::cerr << "usage: zintrel-bench [--type ";
    const char* bar = "";
    for (const OutputFormat& format : outputFormats()) {
        std::cerr << bar << format.id;
        bar = "|";
    }
    std::cerr << kUsageRest;
    return kExitError;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_TIME, "");
    if ((g_stopAt = std::getenv("ZINTREL_BENCH_STOP_AT"))) {
        setSaveStepHook(stopAtStep);
        stopAtStep(kStepStarted);
    }
    const OutputFormat* format = &outputFormat(OutputType::Text);
    const char* optionsPath = nullptr;
    std::time_t now = std::time(nullptr);
    SaveEnvironment environment;
    std::vector<std::string> positional;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--type" && hasValue) {
            format = outputFormatById(argv[++i]);
            if (!format)
                return usage();
        } else if (arg == "--options" && hasValue) {
            optionsPath = argv[++i];
        } else if (arg == "--now" && hasValue) {
            if (!parseLocalTime(argv[++i], now)) {
                std::cerr << "zintrel-bench: --now takes YYYY-MM-DDTHH:MM:SS\n";
                return kExitError;
            }
        } else if (arg == "--date-format" && hasValue) {
            environment.dateTimeFormat.dateFormat = argv[++i];
        } else if (arg == "--time-format" && hasValue) {
            environment.dateTimeFormat.timeFormat = argv[++i];
        } else if (arg == "--drawing-threads" && hasValue) {
            environment.drawingThreads = std::atoi(argv[++i]);
            if (environment.drawingThreads < 1)
                return usage();
        } else if (arg.starts_with("--")) {
            return usage();
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
        return usage();

    std::tm today{};
    localtime_r(&now, &today);
    ListingOptions options = ListingOptions::defaults(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    if (optionsPath) {
        try {
            applyOptionsFile(optionsPath, options);
        } catch (const OptionsFileError& error) {
            std::cerr << "zintrel-bench: " << error.what() << '\n';
            return kExitError;
        }
    }
    environment.clock = [now] { return now; };

    // Qt comes up only for a PDF, so text listings are timed without it.
    PdfModule pdfModule;
    if (format->type == OutputType::Pdf) {
        std::string error;
        environment.pdfOutput = pdfModule.start({PdfModule::besideProgram()}, argc, argv, error);
        if (!environment.pdfOutput) {
            std::cerr << "zintrel-bench: no PDF output: " << error << '\n';
            return kExitError;
        }
    }

    ScriptedUi ui;
    ui.choice = TargetChoice{positional[1], format->type};
    ui.echo = &std::cerr;
    SaveResult result;
    auto start = std::chrono::steady_clock::now();
    SaveOutcome outcome = ListingRun::save(options, treeSelection(positional[0]), environment, ui, &result);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (outcome == SaveOutcome::Failed || !ui.errors.empty())
        return kExitError;
    if (outcome != SaveOutcome::Saved)
        return ui.messages.empty() ? kExitError : kExitMessage;
    for (const std::string& path : ui.opened)
        std::cout << "would open: " << path << '\n';
    std::printf("folders %lld files %lld total %lld Kb in %.3f s\n", static_cast<long long>(result.folders),
                static_cast<long long>(result.files), static_cast<long long>(result.totalSizeKb), seconds);
    return 0;
}
