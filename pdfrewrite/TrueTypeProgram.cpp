#include "TrueTypeProgram.h"

#include <algorithm>
#include <cstdint>

namespace zintrel {

namespace {

// Where the fields this reader needs lie, as the OpenType tables define them.
constexpr std::size_t kTableCountAt = 4;
constexpr std::size_t kTableRecordsAt = 12;
constexpr std::size_t kTableRecordSize = 16;
constexpr std::size_t kRecordOffsetAt = 8;
constexpr std::size_t kRecordLengthAt = 12;
constexpr std::size_t kHeadLocaFormatAt = 50;
constexpr std::size_t kMaxpGlyphCountAt = 4;
constexpr std::size_t kHheaMetricCountAt = 34;
constexpr std::size_t kLongMetricSize = 4;  // advance width, left side bearing
constexpr std::size_t kShortOffsetUnit = 2; // short loca offsets count words

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

bool fits(std::size_t at, std::size_t width, std::size_t size) { return at <= size && width <= size - at; }

} // namespace

TrueTypeProgram::TrueTypeProgram(std::string program)
    : m_program(std::move(program))
{
}

std::optional<TrueTypeProgram> TrueTypeProgram::read(std::string program)
{
    TrueTypeProgram result(std::move(program));
    if (!result.readTables())
        return std::nullopt;
    return result;
}

std::optional<TrueTypeProgram::Range> TrueTypeProgram::table(std::string_view tag) const
{
    const std::string_view all = m_program;
    if (!fits(kTableCountAt, 2, all.size()))
        return std::nullopt;
    const std::size_t count = bigEndian(all, kTableCountAt, 2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = kTableRecordsAt + i * kTableRecordSize;
        if (!fits(record, kTableRecordSize, all.size()))
            return std::nullopt;
        if (all.substr(record, tag.size()) != tag)
            continue;
        Range range{bigEndian(all, record + kRecordOffsetAt, 4), bigEndian(all, record + kRecordLengthAt, 4)};
        if (!fits(range.offset, range.size, all.size()))
            return std::nullopt;
        return range;
    }
    return std::nullopt;
}

std::string_view TrueTypeProgram::bytes(Range range) const
{
    return std::string_view(m_program).substr(range.offset, range.size);
}

bool TrueTypeProgram::readTables()
{
    std::optional<Range> head = table("head");
    std::optional<Range> maxp = table("maxp");
    std::optional<Range> hhea = table("hhea");
    std::optional<Range> glyf = table("glyf");
    std::optional<Range> loca = table("loca");
    std::optional<Range> hmtx = table("hmtx");
    if (!head || !maxp || !hhea || !glyf || !loca || !hmtx)
        return false;
    if (!fits(kHeadLocaFormatAt, 2, head->size) || !fits(kMaxpGlyphCountAt, 2, maxp->size)
        || !fits(kHheaMetricCountAt, 2, hhea->size))
        return false;
    m_longOffsets = bigEndian(bytes(*head), kHeadLocaFormatAt, 2) != 0;
    m_glyphCount = static_cast<int>(bigEndian(bytes(*maxp), kMaxpGlyphCountAt, 2));
    m_metricCount = static_cast<int>(bigEndian(bytes(*hhea), kHheaMetricCountAt, 2));
    const std::size_t offsetSize = m_longOffsets ? 4 : 2;
    if (loca->size < (static_cast<std::size_t>(m_glyphCount) + 1) * offsetSize)
        return false;
    if (m_metricCount < 1 || hmtx->size < static_cast<std::size_t>(m_metricCount) * kLongMetricSize)
        return false;
    m_glyf = *glyf;
    m_loca = *loca;
    m_hmtx = *hmtx;
    return true;
}

std::size_t TrueTypeProgram::outlineOffset(int glyph) const
{
    const std::string_view loca = bytes(m_loca);
    const std::size_t index = static_cast<std::size_t>(glyph);
    if (m_longOffsets)
        return bigEndian(loca, index * 4, 4);
    return bigEndian(loca, index * 2, 2) * kShortOffsetUnit;
}

std::string TrueTypeProgram::signature(int glyph) const
{
    if (glyph < 0 || glyph >= m_glyphCount)
        return {};
    const std::size_t start = outlineOffset(glyph);
    const std::size_t end = outlineOffset(glyph + 1);
    if (end < start || end > m_glyf.size)
        return {};
    const std::size_t metric = static_cast<std::size_t>(std::min(glyph, m_metricCount - 1)) * kLongMetricSize;
    std::string result(bytes(m_glyf).substr(start, end - start));
    result.append(bytes(m_hmtx).substr(metric, 2)); // the advance width
    return result;
}

} // namespace zintrel
