#include "FontProgram.h"

#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <stdexcept>

namespace zintrel {

namespace {

int readShort(const char* data, unsigned size, unsigned at)
{
    if (at + 2 > size)
        return 0;
    return static_cast<std::int16_t>(static_cast<unsigned char>(data[at]) << 8
                                     | static_cast<unsigned char>(data[at + 1]));
}

bool hasTable(hb_face_t* face, hb_tag_t tag)
{
    hb_blob_t* blob = hb_face_reference_table(face, tag);
    const bool found = hb_blob_get_length(blob) > 0;
    hb_blob_destroy(blob);
    return found;
}

// Letters, digits and a few signs: what a font name in a PDF may hold without escapes.
std::string nameFitForPdf(const std::string& name)
{
    std::string out;
    for (char c : name) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.';
        if (keep)
            out += c;
    }
    return out.empty() ? std::string("Font") : out;
}

} // namespace

FontProgram::FontProgram(const std::string& path, int index)
    : m_path(path)
    , m_index(index)
{
    hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
    if (!blob)
        throw std::runtime_error("The font " + path + " cannot be read.");
    m_face = hb_face_create(blob, static_cast<unsigned>(index));
    hb_blob_destroy(blob);
    m_glyphCount = hb_face_get_glyph_count(m_face);
    const bool trueType = hasTable(m_face, HB_TAG('g', 'l', 'y', 'f'));
    m_cff = !trueType && hasTable(m_face, HB_TAG('C', 'F', 'F', ' '));
    if (m_glyphCount == 0 || (!trueType && !m_cff)) {
        hb_face_destroy(m_face);
        throw std::runtime_error("The font " + path + " has no outlines a PDF can embed.");
    }
    m_unitsPerEm = hb_face_get_upem(m_face);
    m_font = hb_font_create(m_face);
    hb_font_set_scale(m_font, static_cast<int>(m_unitsPerEm), static_cast<int>(m_unitsPerEm));
    hb_font_make_immutable(m_font);

    hb_position_t value = 0;
    m_ascent = hb_ot_metrics_get_position(m_font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &value)
        ? value
        : static_cast<int>(m_unitsPerEm * 8 / 10);
    m_descent = hb_ot_metrics_get_position(m_font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &value)
        ? value
        : -static_cast<int>(m_unitsPerEm * 2 / 10);
    m_capHeight = hb_ot_metrics_get_position(m_font, HB_OT_METRICS_TAG_CAP_HEIGHT, &value) ? value : m_ascent;

    hb_blob_t* head = hb_face_reference_table(m_face, HB_TAG('h', 'e', 'a', 'd'));
    unsigned size = 0;
    const char* data = hb_blob_get_data(head, &size);
    for (int i = 0; i < 4; ++i)
        m_box[i] = readShort(data, size, 36 + 2 * static_cast<unsigned>(i));
    hb_blob_destroy(head);
    hb_blob_t* post = hb_face_reference_table(m_face, HB_TAG('p', 'o', 's', 't'));
    data = hb_blob_get_data(post, &size);
    if (size >= 8)
        m_italicAngle = readShort(data, size, 4) + static_cast<unsigned>(readShort(data, size, 6) & 0xFFFF) / 65536.0;
    hb_blob_destroy(post);

    char name[128];
    unsigned length = sizeof name;
    if (hb_ot_name_get_utf8(m_face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length, name) > 0)
        m_postScriptName = nameFitForPdf(std::string(name, length));
    else
        m_postScriptName = "Font";
}

FontProgram::~FontProgram()
{
    hb_font_destroy(m_font);
    hb_face_destroy(m_face);
}

std::string FontProgram::subset(const std::vector<std::uint32_t>& glyphs, const std::vector<char32_t>& characters) const
{
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        throw std::runtime_error("The font " + m_path + " cannot be embedded.");
    hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
    hb_set_add(glyphSet, 0);
    for (std::uint32_t glyph : glyphs)
        hb_set_add(glyphSet, glyph);
    hb_set_t* unicodes = hb_subset_input_unicode_set(input);
    for (char32_t c : characters)
        hb_set_add(unicodes, c);
    // Glyph numbers stay as the drawing used them; the missing-glyph box keeps its shape.
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NOTDEF_OUTLINE);
    // What only shaping reads: the drawing has shaped already.
    hb_set_t* dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (hb_tag_t tag : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
                         HB_TAG('k', 'e', 'r', 'n'), HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'),
                         HB_TAG('M', 'A', 'T', 'H'), HB_TAG('D', 'S', 'I', 'G'), HB_TAG('m', 'o', 'r', 'x')})
        hb_set_add(dropped, tag);
    hb_face_t* result = hb_subset_or_fail(m_face, input);
    hb_subset_input_destroy(input);
    if (!result)
        throw std::runtime_error("The font " + m_path + " cannot be embedded.");
    hb_blob_t* blob = hb_face_reference_blob(result);
    unsigned size = 0;
    const char* data = hb_blob_get_data(blob, &size);
    std::string program(data, size);
    hb_blob_destroy(blob);
    hb_face_destroy(result);
    if (program.empty())
        throw std::runtime_error("The font " + m_path + " cannot be embedded.");
    return program;
}

} // namespace zintrel
