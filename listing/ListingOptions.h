#pragma once

#include <cstdint>
#include <string>

#include "platform/LocalDateTime.h"

namespace zintrel {

struct RgbColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const RgbColor&) const = default;
};

// Only the face and the whole-point size reach the PDF; the rest is what the font dialog
// chose and the sample edit shows.
struct FontChoice {
    std::string face = "MS Sans Serif";
    int pointSize = 8;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const FontChoice&) const = default;
};

enum class SizeFilterMode : int { None = -1, AtLeast = 0, AtMost = 1 };

// Every choice that shapes a listing. The windows own the one live instance; a save works
// on a copy taken when it starts, so nothing changes under a running walk.
struct ListingOptions {
    // Columns of an entry line
    bool showName = true;
    bool showSize = true;
    bool showAttributes = true;
    bool showDateTime = true;
    bool showPath = true;
    bool showLevel = true;
    int fieldSpacing = 2; // 0..10
    int indentSize = 3;   // 0..10

    // Filename mask and attribute exclusions
    std::string fileMask;
    bool excludeReadOnly = false;
    bool excludeHidden = false;
    bool excludeSystem = false;
    bool excludeVolumeId = false;
    bool excludeDirectory = false;
    bool excludeArchive = false;
    bool excludeAnyFile = false;

    // Size and date filters
    bool sizeFilterEnabled = false;
    SizeFilterMode sizeFilterMode = SizeFilterMode::AtLeast;
    std::int64_t sizeFilterKb = 0; // 0 or more
    bool dateFilterEnabled = false;
    LocalDateTime dateFrom;
    LocalDateTime dateTo;

    // Walk and after-save
    bool includeSubfolders = true;
    bool openAfterCreation = true;

    // PDF document
    std::string pdfTitle;
    std::string pdfAuthor;
    bool pdfSecurity = false;
    std::string pdfPassword;
    std::string pdfPasswordConfirm;
    bool allowPrint = false;
    bool allowChange = false;
    bool allowCopy = false;
    bool landscape = true;
    FontChoice listingFont;
    RgbColor folderColor{128, 0, 0};
    RgbColor fileColor{0, 0, 128};

    // The defaults, with both dates on the given local day at their fixed times of day.
    static ListingOptions defaults(int year, int month, int day);

    bool operator==(const ListingOptions&) const = default;

    // False when PDF security is on and the password is empty or its confirmation differs.
    bool passwordsAcceptable() const
    {
        return !pdfSecurity || (!pdfPassword.empty() && pdfPassword == pdfPasswordConfirm);
    }
};

// Limits of the editors.
inline constexpr int kMaxFieldSpacing = 10;
inline constexpr int kMaxIndentSize = 10;
inline constexpr int kSizeFilterStepKb = 10;

// Texts by which the header names what is on.
inline constexpr const char* kSizeModeLabels[] = {"at least", "at most"};

} // namespace zintrel
