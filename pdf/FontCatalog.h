#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zintrel {

// A font face a PDF can embed: its file and its place in it.
struct FontFace {
    std::string path;
    int index = 0;
    std::string family;
    bool operator==(const FontFace&) const = default;
};

// The installed fonts, as fontconfig knows them: the face that draws a family, and the
// faces that draw what it lacks. Only faces with TrueType or CFF outlines are taken: a
// colour font of bitmaps alone draws nothing in a PDF, and Type 1 fonts cannot be
// embedded here.
class FontCatalog {
public:
    // The regular face of the family, or of its first installed substitute; nullopt when
    // neither is installed.
    static std::optional<FontFace> find(const std::string& family);
    // The face of the system's default sans-serif.
    static FontFace defaultFace();

    // The faces to take characters from, best first: primary, then what fontconfig ranks
    // after it for the family.
    explicit FontCatalog(const FontFace& primary);
    ~FontCatalog();
    FontCatalog(const FontCatalog&) = delete;
    FontCatalog& operator=(const FontCatalog&) = delete;

    std::size_t size() const { return m_faces.size(); }
    const FontFace& face(std::size_t i) const { return m_faces[i]; }
    // Whether face i has a glyph for c, by fontconfig's record of its characters.
    bool covers(std::size_t i, char32_t c) const;

private:
    struct CharSets;
    std::vector<FontFace> m_faces;
    std::unique_ptr<CharSets> m_charSets;
};

} // namespace zintrel
