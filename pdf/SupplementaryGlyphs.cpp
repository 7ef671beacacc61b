#include "SupplementaryGlyphs.h"

#include "pdfrewrite/TrueTypeProgram.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPainter>
#include <QPdfWriter>
#include <QPointF>
#include <QTextLayout>
#include <QTextOption>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zintrel {

namespace {

struct EmbeddedFont {
    std::string name; // as the PDF names it: /DejaVuSans
    std::string program;
};

// The first embedded TrueType program among the fonts of pdf's pages.
std::optional<EmbeddedFont> firstEmbeddedFont(const QByteArray& pdf)
{
    QPDF document;
    document.setSuppressWarnings(true);
    document.processMemoryFile("glyphs", pdf.constData(), static_cast<std::size_t>(pdf.size()));
    for (QPDFObjectHandle page : document.getAllPages()) {
        QPDFObjectHandle resources = page.getKey("/Resources");
        QPDFObjectHandle fonts = resources.isDictionary() ? resources.getKey("/Font") : QPDFObjectHandle::newNull();
        if (!fonts.isDictionary())
            continue;
        for (const std::string& key : fonts.getKeys()) {
            QPDFObjectHandle font = fonts.getKey(key);
            if (!font.isDictionary() || !font.getKey("/BaseFont").isName())
                continue;
            QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
            if (!descendants.isArray() || descendants.getArrayNItems() < 1)
                continue;
            QPDFObjectHandle descendant = descendants.getArrayItem(0);
            QPDFObjectHandle descriptor = descendant.isDictionary() ? descendant.getKey("/FontDescriptor")
                                                                    : QPDFObjectHandle::newNull();
            QPDFObjectHandle program = descriptor.isDictionary() ? descriptor.getKey("/FontFile2")
                                                                 : QPDFObjectHandle::newNull();
            if (!program.isStream())
                continue;
            std::shared_ptr<Buffer> data = program.getStreamData();
            return EmbeddedFont{font.getKey("/BaseFont").getName(),
                                std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize())};
        }
    }
    return std::nullopt;
}

// What QPdfWriter embeds for glyphs of font drawn in this order, in a document of their own.
std::optional<EmbeddedFont> embed(const QRawFont& font, const QList<quint32>& glyphs)
{
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        QPainter painter;
        if (!painter.begin(&writer))
            return std::nullopt;
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes(glyphs);
        // Where they stand does not change what is embedded.
        run.setPositions(QList<QPointF>(glyphs.size()));
        painter.drawGlyphRun(QPointF(), run);
        if (!painter.end())
            return std::nullopt;
    }
    try {
        return firstEmbeddedFont(pdf);
    } catch (const std::exception&) {
        // qpdf's own failures too: the drawing is right without these glyphs; only the
        // text copied from them is poorer.
        return std::nullopt;
    }
}

} // namespace

void SupplementaryGlyphs::note(const QString& line, const QFont& font)
{
    // The fallback font is chosen by script, and a character of no script of its own (an
    // emoji) takes the script of the text around it: such a character is noted once for
    // every script it meets.
    const QList<uint> characters = line.toUcs4();
    auto hasScript = [](QChar::Script script) { return script > QChar::Script_Common; };
    QChar::Script context = QChar::Script_Common;
    for (uint c : characters) {
        if (hasScript(QChar::script(c))) {
            context = QChar::script(c);
            break;
        }
    }
    std::set<std::pair<QChar::Script, char32_t>>& noted = m_noted[font.families().join(u'\n')];
    std::vector<char32_t> fresh;
    for (uint c : characters) {
        const QChar::Script script = QChar::script(c);
        if (hasScript(script))
            context = script;
        if (QChar::requiresSurrogates(c) && noted.emplace(hasScript(script) ? script : context, c).second)
            fresh.push_back(c);
    }
    if (fresh.empty())
        return;

    // Laid out as QPainter::drawText lays it out, so that each character gets the fallback
    // font that draws it there.
    QTextLayout layout(line, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    for (char32_t c : fresh) {
        const QString text = QString::fromUcs4(&c, 1);
        for (const QGlyphRun& run : runs) {
            const QRawFont rawFont = run.rawFont();
            const QList<quint32> glyphs = rawFont.glyphIndexesForString(text);
            // Glyph 0 is the box for a character the font lacks.
            if (glyphs.size() != 1 || glyphs.front() == 0 || !run.glyphIndexes().contains(glyphs.front()))
                continue;
            Face& face = m_faces[rawFont.familyName() + u'\n' + rawFont.styleName()];
            if (!face.font.isValid())
                face.font = rawFont;
            face.characters.emplace(glyphs.front(), c);
            break;
        }
    }
}

GlyphCharacters SupplementaryGlyphs::characters() const
{
    GlyphCharacters result;
    std::set<std::pair<std::string, std::string>> ambiguous; // font name, signature
    for (const auto& [key, face] : m_faces) {
        QList<quint32> glyphs;
        for (const auto& entry : face.characters)
            glyphs.append(entry.first);
        std::optional<EmbeddedFont> embedded = embed(face.font, glyphs);
        if (!embedded)
            continue;
        std::optional<TrueTypeProgram> program = TrueTypeProgram::read(std::move(embedded->program));
        // The subset numbers its glyphs in the order they were first drawn, after the
        // missing-glyph box; any other count means it was not made the way this expects.
        if (!program || program->glyphCount() != static_cast<int>(glyphs.size()) + 1)
            continue;
        std::map<std::string, char32_t>& bySignature = result[embedded->name];
        int id = 1;
        for (const auto& entry : face.characters) {
            std::string signature = program->signature(id++);
            if (signature.empty() || ambiguous.count({embedded->name, signature}))
                continue;
            auto [found, added] = bySignature.emplace(signature, entry.second);
            if (!added && found->second != entry.second) {
                ambiguous.emplace(embedded->name, signature);
                bySignature.erase(found);
            }
        }
    }
    return result;
}

} // namespace zintrel
