#pragma once

// The maker's and the product's web addresses, for the windows and the PDF information,
// all in one place until the product has its own site.
namespace zintrel {

inline constexpr const char* kMakerWebSite = "https://www.example.org/";
inline constexpr const char* kProductHomePage = "https://www.example.org/zintrel/";
inline constexpr const char* kProductSupportPage = "https://www.example.org/zintrel/support/";

} // namespace zintrel
