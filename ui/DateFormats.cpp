#include "DateFormats.h"

#include <algorithm>
#include <langinfo.h>

namespace zintrel {

namespace {

// strftime conversions and what a QDateEdit shows for them. %e pads with a blank, which a
// date edit cannot; an unpadded day is the nearest.
QString qtConversion(char conversion)
{
    switch (conversion) {
    case 'd':
        return QStringLiteral("dd");
    case 'e':
        return QStringLiteral("d");
    case 'm':
        return QStringLiteral("MM");
    case 'y':
        return QStringLiteral("yy");
    case 'Y':
        return QStringLiteral("yyyy");
    case 'b':
    case 'h':
        return QStringLiteral("MMM");
    case 'B':
        return QStringLiteral("MMMM");
    case 'a':
        return QStringLiteral("ddd");
    case 'A':
        return QStringLiteral("dddd");
    case 'D':
        return QStringLiteral("MM/dd/yy");
    case 'F':
        return QStringLiteral("yyyy-MM-dd");
    case '%':
        return QStringLiteral("%");
    default:
        return {};
    }
}

} // namespace

std::string shortDateFormat()
{
    const char* format = ::nl_langinfo(D_FMT);
    return format ? format : "";
}

QString qtDateFormat(const std::string& strftimeFormat)
{
    QString result;
    QString literal;
    auto flushLiteral = [&] {
        // Letters would be read as date parts; quoted, they are text (a quote is doubled).
        bool quote = std::any_of(literal.begin(), literal.end(), [](QChar c) {
            return c == QLatin1Char('\'') || (c.unicode() < 0x80 && c.isLetter());
        });
        if (quote) {
            literal.replace(QLatin1Char('\''), QStringLiteral("''"));
            literal = QLatin1Char('\'') + literal + QLatin1Char('\'');
        }
        result += literal;
        literal.clear();
    };
    const QString format = QString::fromLocal8Bit(strftimeFormat.c_str());
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('%')) {
            literal += format[i];
            continue;
        }
        if (++i < format.size() && (format[i] == QLatin1Char('E') || format[i] == QLatin1Char('O')))
            ++i; // the locale's alternative digits or era: shown as the plain conversion
        if (i >= format.size())
            return {};
        QString part = qtConversion(static_cast<char>(format[i].toLatin1()));
        if (part.isEmpty())
            return {};
        if (part == QLatin1String("%")) {
            literal += part;
            continue;
        }
        flushLiteral();
        result += part;
    }
    flushLiteral();
    return result.isEmpty() ? QString() : result;
}

} // namespace zintrel
