#include "FontCatalog.h"

#include "FontSubstitutes.h"

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <stdexcept>
#include <strings.h>

namespace zintrel {

namespace {

FcConfig* config()
{
    static std::once_flag once;
    std::call_once(once, [] { FcInit(); });
    return FcConfigGetCurrent();
}

std::string stringOf(FcPattern* pattern, const char* object)
{
    FcChar8* value = nullptr;
    return FcPatternGetString(pattern, object, 0, &value) == FcResultMatch ? reinterpret_cast<char*>(value)
                                                                           : std::string();
}

// Outlines of a kind the PDF embeds.
bool embeddable(FcPattern* pattern)
{
    FcBool outline = FcFalse;
    if (FcPatternGetBool(pattern, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline)
        return false;
    const std::string format = stringOf(pattern, FC_FONTFORMAT);
    return format == "TrueType" || format == "CFF";
}

FontFace faceOf(FcPattern* pattern)
{
    FontFace face;
    face.path = stringOf(pattern, FC_FILE);
    int index = 0;
    FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
    face.index = index;
    face.family = stringOf(pattern, FC_FAMILY);
    return face;
}

FcPattern* patternFor(const std::string& family)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(config(), pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

// The regular face of exactly this family, if it is installed.
std::optional<FontFace> installed(const std::string& family)
{
    FcPattern* pattern = patternFor(family);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(config(), pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    std::optional<FontFace> found;
    for (int i = 0; sorted && i < sorted->nfont && !found; ++i) {
        FcPattern* candidate = sorted->fonts[i];
        if (!embeddable(candidate))
            continue;
        for (int k = 0;; ++k) {
            FcChar8* name = nullptr;
            if (FcPatternGetString(candidate, FC_FAMILY, k, &name) != FcResultMatch)
                break;
            if (::strcasecmp(reinterpret_cast<char*>(name), family.c_str()) == 0) {
                found = faceOf(candidate);
                found->family = reinterpret_cast<char*>(name);
                break;
            }
        }
    }
    if (sorted)
        FcFontSetDestroy(sorted);
    return found;
}

} // namespace

struct FontCatalog::CharSets {
    std::vector<FcCharSet*> sets;
    ~CharSets()
    {
        for (FcCharSet* set : sets)
            FcCharSetDestroy(set);
    }
};

std::optional<FontFace> FontCatalog::find(const std::string& family)
{
    if (std::optional<FontFace> face = installed(family))
        return face;
    for (const std::string& substitute : fontSubstitutes(family)) {
        if (std::optional<FontFace> face = installed(substitute))
            return face;
    }
    return std::nullopt;
}

FontFace FontCatalog::defaultFace()
{
    FcPattern* pattern = patternFor("sans-serif");
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(config(), pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    std::optional<FontFace> found;
    for (int i = 0; sorted && i < sorted->nfont && !found; ++i) {
        if (embeddable(sorted->fonts[i]))
            found = faceOf(sorted->fonts[i]);
    }
    if (sorted)
        FcFontSetDestroy(sorted);
    if (!found)
        throw std::runtime_error("No font is installed that a PDF can embed.");
    return *found;
}

FontCatalog::FontCatalog(const FontFace& primary)
    : m_charSets(std::make_unique<CharSets>())
{
    FcPattern* pattern = patternFor(primary.family);
    FcResult result = FcResultNoMatch;
    FcCharSet* covered = nullptr;
    FcFontSet* sorted = FcFontSort(config(), pattern, FcTrue, &covered, &result);
    FcPatternDestroy(pattern);
    if (covered)
        FcCharSetDestroy(covered);
    auto add = [this](const FontFace& face, FcCharSet* set) {
        for (const FontFace& known : m_faces) {
            if (known.path == face.path && known.index == face.index)
                return;
        }
        m_faces.push_back(face);
        m_charSets->sets.push_back(set ? FcCharSetCopy(set) : FcCharSetCreate());
    };
    // The primary face first, whatever fontconfig ranks first.
    FcCharSet* primarySet = nullptr;
    for (int i = 0; sorted && i < sorted->nfont; ++i) {
        FontFace face = faceOf(sorted->fonts[i]);
        if (face.path == primary.path && face.index == primary.index)
            FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &primarySet);
    }
    if (!primarySet) {
        // A face fontconfig did not sort in: its characters from its own record.
        FcPattern* query = FcPatternCreate();
        FcPatternAddString(query, FC_FILE, reinterpret_cast<const FcChar8*>(primary.path.c_str()));
        FcPatternAddInteger(query, FC_INDEX, primary.index);
        FcObjectSet* objects = FcObjectSetBuild(FC_CHARSET, nullptr);
        FcFontSet* listed = FcFontList(config(), query, objects);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(query);
        if (listed && listed->nfont > 0)
            FcPatternGetCharSet(listed->fonts[0], FC_CHARSET, 0, &primarySet);
        add(primary, primarySet);
        if (listed)
            FcFontSetDestroy(listed);
    } else {
        add(primary, primarySet);
    }
    for (int i = 0; sorted && i < sorted->nfont; ++i) {
        FcPattern* candidate = sorted->fonts[i];
        if (!embeddable(candidate))
            continue;
        FcCharSet* set = nullptr;
        FcPatternGetCharSet(candidate, FC_CHARSET, 0, &set);
        add(faceOf(candidate), set);
    }
    if (sorted)
        FcFontSetDestroy(sorted);
}

FontCatalog::~FontCatalog() = default;

bool FontCatalog::covers(std::size_t i, char32_t c) const
{
    return i < m_charSets->sets.size() && FcCharSetHasChar(m_charSets->sets[i], c);
}

} // namespace zintrel
