#pragma once

// The maker's and the product's web addresses, all in one place until the product has its
// own site. Until then the windows' links open sections of the installed help page instead
// (helpPageAddress in ui/HelpFile.h): the one on the program for the maker's site and the
// home page, the one on support for the support page. The PDF document information still
// names the maker's address below.
namespace zintrel {

inline constexpr const char* kMakerWebSite = "https://www.example.org/";

// Sections of the help page (the ids of their headings).
inline constexpr const char* kProgramSection = "zintrel";
inline constexpr const char* kSupportSection = "support";

} // namespace zintrel
