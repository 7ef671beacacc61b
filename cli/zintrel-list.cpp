// zintrel-list: the window's Save from the command line. Same engine, same listings, same
// checks; the settings come from long options and a settings file instead of the dialog.

#include "bench/OptionsFile.h"
#include "bench/PdfModule.h"
#include "bench/PdfPlugin.h"
#include "bench/RunArguments.h"
#include "listing/ListingProgress.h"
#include "listing/ListingRun.h"
#include "listing/OutputFormats.h"
#include "listing/ScriptedUi.h"
#include "platform/CancelToken.h"
#include "platform/SaveSteps.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <termios.h>
#include <unistd.h>

using namespace zintrel;

namespace {

constexpr int kExitSaved = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnreadable = 3;
constexpr int kExitCancelled = 130;
constexpr const char* kHint = "Try 'zintrel-list --help' for more information.";

[[noreturn]] void usageError(const std::string& text)
{
    std::cerr << "zintrel-list: " << text << '\n' << kHint << '\n';
    std::exit(kExitUsage);
}

// One setting: its long option (and settings file key), the options file field it sets.
enum class Kind { Flag, Value };
struct Setting {
    const char* name;
    const char* field;
    Kind kind;
    const char* help;
};

const Setting kSettings[] = {
    {"show-name", "showName", Kind::Flag, "Name column (default on)"},
    {"show-size", "showSize", Kind::Flag, "Size column (default on)"},
    {"show-attributes", "showAttributes", Kind::Flag, "Attributes column (default on)"},
    {"show-date-time", "showDateTime", Kind::Flag, "Date and time column (default on)"},
    {"show-path", "showPath", Kind::Flag, "Path column (default on)"},
    {"show-level", "showLevel", Kind::Flag, "Level column (default on)"},
    {"spacing", "fieldSpacing", Kind::Value, "Spaces between columns, 0..10 (default 2)"},
    {"indent", "indentSize", Kind::Value, "Indent per level, 0..10 (default 3)"},
    {"mask", "fileMask", Kind::Value, "Filename mask, e.g. '*.txt;*.md' (default none)"},
    {"exclude-read-only", "excludeReadOnly", Kind::Flag, "Leave out read-only entries"},
    {"exclude-hidden", "excludeHidden", Kind::Flag, "Leave out hidden entries"},
    {"exclude-system", "excludeSystem", Kind::Flag, "Leave out system entries"},
    {"exclude-volume-id", "excludeVolumeId", Kind::Flag, "Leave out volume labels"},
    {"exclude-directory", "excludeDirectory", Kind::Flag, "Leave out folders"},
    {"exclude-archive", "excludeArchive", Kind::Flag, "Leave out archive entries"},
    {"exclude-any-file", "excludeAnyFile", Kind::Flag, "Leave out every file"},
    {"size-filter", "sizeFilterEnabled", Kind::Flag, "Filter by size (default off)"},
    {"size-mode", "sizeFilterMode", Kind::Value, "at-least, at-most or none (default at-least)"},
    {"size-kb", "sizeFilterKb", Kind::Value, "Size filter bound in Kb (default 0)"},
    {"date-filter", "dateFilterEnabled", Kind::Flag, "Filter by date (default off)"},
    {"date-from", "dateFrom", Kind::Value, "First day, YYYY-MM-DD (default today)"},
    {"date-to", "dateTo", Kind::Value, "Last day, YYYY-MM-DD (default today)"},
    {"subfolders", "includeSubfolders", Kind::Flag, "Include subfolders (default on)"},
    {"open", "openAfterCreation", Kind::Flag, "Open the listing after creation (default off here)"},
    {"title", "pdfTitle", Kind::Value, "PDF title"},
    {"author", "pdfAuthor", Kind::Value, "PDF author"},
    {"landscape", "landscape", Kind::Flag, "PDF in landscape (default on; --no-landscape: portrait)"},
    {"font", "", Kind::Value, "PDF font face (default 'MS Sans Serif')"},
    {"font-size", "", Kind::Value, "PDF font size in points (default 8)"},
    {"folder-color", "folderColor", Kind::Value, "Folder colour, a name or #rrggbb (default #800000)"},
    {"file-color", "fileColor", Kind::Value, "File colour, a name or #rrggbb (default #000080)"},
    {"allow-print", "allowPrint", Kind::Flag, "Encrypted PDF: allow printing"},
    {"allow-change", "allowChange", Kind::Flag, "Encrypted PDF: allow changes"},
    {"allow-copy", "allowCopy", Kind::Flag, "Encrypted PDF: allow copying"},
};

const Setting* settingNamed(const std::string& name)
{
    for (const Setting& setting : kSettings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The value as the options file takes it, or an empty optional when it is not one.
std::optional<std::string> fieldValue(const Setting& setting, const std::string& value)
{
    std::string name = setting.name;
    if (setting.kind == Kind::Flag) {
        std::string v = lower(value);
        if (v == "true" || v == "yes" || v == "on" || v == "1")
            return "true";
        if (v == "false" || v == "no" || v == "off" || v == "0")
            return "false";
        return std::nullopt;
    }
    if (name == "size-mode") {
        std::string v = lower(value);
        if (v == "at-least")
            return "0";
        if (v == "at-most")
            return "1";
        if (v == "none")
            return "-1";
        return std::nullopt;
    }
    if (name == "folder-color" || name == "file-color") {
        static const std::map<std::string, std::string> kNames = {
            {"black", "#000000"},   {"white", "#ffffff"}, {"red", "#ff0000"},    {"green", "#008000"},
            {"lime", "#00ff00"},    {"blue", "#0000ff"},  {"navy", "#000080"},   {"maroon", "#800000"},
            {"yellow", "#ffff00"},  {"olive", "#808000"}, {"purple", "#800080"}, {"teal", "#008080"},
            {"gray", "#808080"},    {"grey", "#808080"},  {"silver", "#c0c0c0"}, {"aqua", "#00ffff"},
            {"fuchsia", "#ff00ff"},
        };
        auto known = kNames.find(lower(value));
        return known != kNames.end() ? known->second : value;
    }
    return value;
}

// Applies one setting; a bad value is a usage error naming where it came from.
void applySetting(const Setting& setting, const std::string& value, ListingOptions& options, std::string& fontFace,
                  std::string& fontSize, const std::string& where)
{
    if (std::string(setting.name) == "font") {
        fontFace = value;
        return;
    }
    if (std::string(setting.name) == "font-size") {
        fontSize = value;
        return;
    }
    std::optional<std::string> field = fieldValue(setting, value);
    try {
        if (!field)
            throw OptionsFileError("");
        applyOptionLine(std::string(setting.field) + "=" + *field, options);
    } catch (const OptionsFileError&) {
        usageError(where + "bad value '" + value + "' for " + setting.name);
    }
}

void applySettingsFile(const std::string& path, ListingOptions& options, std::string& fontFace, std::string& fontSize)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        usageError(path + ": cannot be read");
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string where = path + ":" + std::to_string(number) + ": ";
        auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        auto equals = line.find('=');
        if (equals == std::string::npos)
            usageError(where + "no '=' in '" + line + "'");
        std::string key = line.substr(0, equals);
        key.erase(0, key.find_first_not_of(" \t"));
        key.erase(key.find_last_not_of(" \t") + 1);
        const Setting* setting = settingNamed(key);
        if (!setting)
            usageError(where + "unknown key '" + key + "'");
        std::string value = line.substr(equals + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        applySetting(*setting, value, options, fontFace, fontSize, where);
    }
}

// The first line of a file, without its line end.
std::string passwordFromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        usageError(path + ": cannot be read");
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// Asks on the terminal without echo; empty when there is no terminal.
std::optional<std::string> askPassword(const char* prompt)
{
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    int fd = ::fileno(tty);
    termios old{};
    bool restore = ::tcgetattr(fd, &old) == 0;
    if (restore) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::fputs(prompt, tty);
    std::fflush(tty);
    std::string text;
    int c;
    while ((c = std::fgetc(tty)) != EOF && c != '\n')
        text.push_back(static_cast<char>(c));
    if (restore)
        ::tcsetattr(fd, TCSAFLUSH, &old);
    std::fclose(tty);
    return text;
}

// For tests: ZINTREL_LIST_STOP_AT names a step of the save at which the program stops
// itself (SIGSTOP), to be signalled there and let go on. "started": before the save.
const char* g_stopAt = nullptr;
void stopAtStep(const char* step)
{
    if (std::strcmp(step, g_stopAt) == 0)
        ::raise(SIGSTOP);
}

CancelToken g_cancel;
void onInterrupt(int) { g_cancel.cancel(); }

// Progress on a terminal: one line, rewritten.
class TerminalProgress : public ListingProgress {
public:
    void folderEntered(const std::string&, std::int64_t folders, std::int64_t files) override
    {
        if (++m_calls % 64 == 0 || folders <= 1)
            std::fprintf(stderr, "\rReading: %lld folders, %lld entries", static_cast<long long>(folders),
                         static_cast<long long>(files));
    }
    void listed(std::int64_t folders, std::int64_t files) override
    {
        std::fprintf(stderr, "\rRead: %lld folders, %lld entries\n", static_cast<long long>(folders),
                     static_cast<long long>(files));
    }
    void drawing(std::int64_t line, std::int64_t lines, int page) override
    {
        if (++m_calls % 256 == 0 || line == lines)
            std::fprintf(stderr, "\rDrawing: line %lld of %lld, page %d", static_cast<long long>(line),
                         static_cast<long long>(lines), page);
    }
    void finishing() override { std::fputs("\nWriting the PDF\n", stderr); }

private:
    std::int64_t m_calls = 0;
};

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_TIME, "");
    std::string formatIds;
    for (const OutputFormat& format : outputFormats())
        formatIds += (formatIds.empty() ? "" : "|") + std::string(format.id);

    CLI::App app{"Writes a listing of FOLDER to OUTPUT, as Zintrel's Save does.", "zintrel-list"};
    app.set_version_flag("--version", "zintrel-list " ZINTREL_VERSION);
    app.footer("Settings file: one 'key=value' a line, keys as the long options without '--'.\n"
               "Exit status: 0 saved, 3 saved but folders could not be read, 1 failed, 2 usage error.\n"
               "See zintrel-list(1).");
    std::string folder, output, formatId, settingsFile, passwordFile, now;
    std::string dateFormat, timeFormat;
    bool quiet = false;
    app.add_option("FOLDER", folder, "Folder to list")->required();
    app.add_option("OUTPUT", output, "Listing to write; '-' for standard output")->required();
    app.add_option("--format", formatId,
                   "Output format: " + formatIds + " (default: from OUTPUT's extension, else txt)");
    app.add_option("--settings", settingsFile, "File of settings, overridden by options");
    CLI::Option* passwordFileOption = app.add_option("--password-file", passwordFile,
                                                     "Encrypt the PDF with the password on this file's first line");
    CLI::Option* passwordOption
        = app.add_flag("--password")->description("Encrypt the PDF, asking for the password on the terminal");
    app.add_flag("-q,--quiet", quiet, std::string("No progress on stderr"));
    app.add_option("--now", now, "Time of the listing, YYYY-MM-DDTHH:MM:SS (default: now)");
    app.add_option("--date-format", dateFormat, "strftime format of dates in the listing")->group("");
    app.add_option("--time-format", timeFormat, "strftime format of times in the listing")->group("");

    std::map<std::string, CLI::Option*> given;
    std::map<std::string, bool> flagValues;
    std::map<std::string, std::string> values;
    for (const Setting& setting : kSettings) {
        std::string name = setting.name;
        if (setting.kind == Kind::Flag) {
            bool& value = flagValues[name];
            given[name] = app.add_flag("--" + name + ",!--no-" + name, value, std::string(setting.help));
        } else {
            given[name] = app.add_option("--" + name, values[name], setting.help);
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        usageError(e.what());
    }

    if ((g_stopAt = std::getenv("ZINTREL_LIST_STOP_AT"))) {
        setSaveStepHook(stopAtStep);
    }

    std::time_t clock = std::time(nullptr);
    if (!now.empty() && !parseLocalTime(now, clock))
        usageError("--now takes YYYY-MM-DDTHH:MM:SS");
    std::tm today{};
    localtime_r(&clock, &today);
    ListingOptions options = ListingOptions::defaults(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    options.openAfterCreation = false;
    std::string fontFace = options.listingFont.face;
    std::string fontSize = std::to_string(options.listingFont.pointSize);
    if (!settingsFile.empty())
        applySettingsFile(settingsFile, options, fontFace, fontSize);
    for (const Setting& setting : kSettings) {
        std::string name = setting.name;
        if (given[name]->count() == 0)
            continue;
        std::string value = setting.kind == Kind::Flag ? (flagValues[name] ? "true" : "false") : values[name];
        applySetting(setting, value, options, fontFace, fontSize, "");
    }
    try {
        applyOptionLine("listingFont=" + fontFace + "," + fontSize, options);
    } catch (const OptionsFileError&) {
        usageError("bad font '" + fontFace + "' or size '" + fontSize + "'");
    }

    // The format: asked for, else from the extension, else text.
    const OutputFormat* format = nullptr;
    if (!formatId.empty()) {
        format = outputFormatById(lower(formatId));
        if (!format)
            usageError("unknown format '" + formatId + "' (" + formatIds + ")");
    } else {
        std::string extension = lower(std::filesystem::path(output).extension().string());
        for (const OutputFormat& candidate : outputFormats())
            if (output != "-" && extension == candidate.extension)
                format = &candidate;
        if (!format)
            format = &outputFormat(OutputType::Text);
    }
    bool toStdout = output == "-";
    if (toStdout && format->type == OutputType::Pdf)
        usageError("a PDF cannot be written to standard output; name a file");

    if (passwordFileOption->count() && passwordOption->count())
        usageError("--password and --password-file exclude each other");
    if (passwordFileOption->count()) {
        options.pdfSecurity = true;
        options.pdfPassword = options.pdfPasswordConfirm = passwordFromFile(passwordFile);
    } else if (passwordOption->count()) {
        options.pdfSecurity = true;
        std::optional<std::string> first = askPassword("Password: ");
        if (!first)
            usageError("--password needs a terminal; use --password-file FILE");
        options.pdfPassword = *first;
        options.pdfPasswordConfirm = askPassword("Confirm password: ").value_or("");
    }

    SaveEnvironment environment;
    if (!dateFormat.empty())
        environment.dateTimeFormat.dateFormat = dateFormat;
    if (!timeFormat.empty())
        environment.dateTimeFormat.timeFormat = timeFormat;
    environment.clock = [clock] { return clock; };
    PdfModule pdfModule;
    if (format->type == OutputType::Pdf) {
        std::string error; // without the module, the save refuses the PDF with its own message
        char* args[] = {argv[0], nullptr};
        environment.pdfOutput = pdfModule.start(
            {PdfModule::besideProgram(), std::filesystem::path(ZINTREL_PDF_PLUGIN_BUILD_DIR) / kPdfPluginName,
             std::filesystem::path(ZINTREL_PDF_PLUGIN_INSTALL_DIR) / kPdfPluginName},
            1, args, error);
    }

    // Standard output: the listing is written to a file of our own, then copied out.
    std::string target = output;
    std::filesystem::path scratch;
    if (toStdout) {
        std::string pattern = (std::filesystem::temp_directory_path() / "zintrel-list.XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::cerr << "zintrel-list: no temporary folder: " << std::strerror(errno) << '\n';
            return kExitFailed;
        }
        scratch = pattern;
        target = (scratch / (std::string("listing") + format->extension)).string();
    }
    auto removeScratch = [&] {
        if (!scratch.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(scratch, ignored);
        }
    };

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    ScriptedUi ui;
    ui.choice = TargetChoice{target, format->type};
    std::optional<SavePlan> plan = ListingRun::prepare(options, treeSelection(folder), environment, ui);
    if (!plan) {
        for (const std::string& text : ui.messages)
            std::cerr << "zintrel-list: " << text << '\n';
        removeScratch();
        return kExitFailed;
    }
    if (g_stopAt && std::strcmp(g_stopAt, "started") == 0)
        ::raise(SIGSTOP);

    TerminalProgress terminalProgress;
    bool showProgress = !quiet && ::isatty(STDERR_FILENO);
    SaveResult result;
    std::string errorText;
    SaveOutcome outcome = outcomeOf(
        [&] {
            result = ListingRun::execute(*plan, environment, ui, showProgress ? &terminalProgress : nullptr, g_cancel);
        },
        errorText);
    for (const std::string& text : ui.messages)
        std::cerr << "zintrel-list: " << text << '\n';
    if (outcome == SaveOutcome::Cancelled || g_cancel.raised()) {
        std::error_code ignored;
        if (outcome == SaveOutcome::Saved && !toStdout)
            ; // finished before the request came: the listing stands
        else {
            removeScratch();
            std::cerr << "zintrel-list: cancelled\n";
            return kExitCancelled;
        }
    }
    if (outcome != SaveOutcome::Saved) {
        std::cerr << "zintrel-list: " << plan->target << ": " << errorText << '\n';
        removeScratch();
        return kExitFailed;
    }
    if (toStdout) {
        std::ifstream in(plan->target, std::ios::binary);
        std::cout << in.rdbuf();
        std::cout.flush();
        removeScratch();
        if (!std::cout) {
            std::cerr << "zintrel-list: standard output could not be written\n";
            return kExitFailed;
        }
    }
    if (options.openAfterCreation && !toStdout)
        ListingRun::finish(*plan, SaveResult{}, ui);
    if (result.unreadableFolders > 0) {
        std::cerr << "zintrel-list: " << result.unreadableFolders << " folder(s) could not be read:\n";
        for (const std::string& path : result.firstUnreadable)
            std::cerr << "  " << path << '\n';
        return kExitUnreadable;
    }
    return kExitSaved;
}
