#include "PdfSyntax.h"

#include <charconv>
#include <cmath>

namespace zintrel {

void appendInteger(std::string& out, std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendPdfNumber(std::string& out, double value, int decimals)
{
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // The whole part apart from the fraction: value * scale would lose the last digits of a
    // large value, and not fit 64 bits beyond.
    const double magnitude = std::abs(value);
    double whole = std::trunc(magnitude);
    std::int64_t fraction = std::llround((magnitude - whole) * static_cast<double>(scale));
    if (fraction == scale) {
        whole += 1;
        fraction = 0;
    }
    if (whole == 0 && fraction == 0) {
        out += '0';
        return;
    }
    if (value < 0)
        out += '-';
    char buffer[400]; // the largest double has 309 digits
    constexpr double kBeyondInt64 = 9223372036854775808.0;
    if (whole != 0 && whole < kBeyondInt64) {
        appendInteger(out, static_cast<std::int64_t>(whole));
    } else if (whole != 0) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, whole, std::chars_format::fixed, 0);
        out.append(buffer, result.ptr);
    }
    if (fraction == 0)
        return;
    int digits = decimals;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    out += '.';
    auto result = std::to_chars(buffer, buffer + sizeof buffer, fraction);
    const auto written = static_cast<int>(result.ptr - buffer);
    out.append(static_cast<std::size_t>(digits - written), '0');
    out.append(buffer, result.ptr);
}

std::string pdfNumber(double value, int decimals)
{
    std::string out;
    appendPdfNumber(out, value, decimals);
    return out;
}

void appendLiteralString(std::string& out, std::string_view bytes)
{
    out += '(';
    for (char c : bytes) {
        switch (c) {
        case '(':
        case ')':
        case '\\':
            out += '\\';
            out += c;
            break;
        // A reader turns a bare carriage return into a line feed.
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    out += ')';
}

std::string hexString(std::string_view bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2 + 2);
    out += '<';
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    out += '>';
    return out;
}

std::string pdfName(std::string_view name)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "/";
    for (unsigned char c : name) {
        const bool regular = c > 0x20 && c < 0x7F && c != '#' && c != '/' && c != '%' && c != '(' && c != ')'
            && c != '<' && c != '>' && c != '[' && c != ']' && c != '{' && c != '}';
        if (regular) {
            out += static_cast<char>(c);
        } else {
            out += '#';
            out += kDigits[c >> 4];
            out += kDigits[c & 0xF];
        }
    }
    return out;
}

std::u16string utf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        char32_t c = s[i];
        std::size_t length = 1;
        char32_t minimum = 0;
        if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            c &= 0x07;
            minimum = 0x10000;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            c &= 0x0F;
            minimum = 0x800;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            c &= 0x1F;
            minimum = 0x80;
        } else if (c >= 0x80) {
            length = 0; // no lead byte
        }
        bool valid = length > 0 && i + length <= n;
        for (std::size_t k = 1; valid && k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                c = c << 6 | (s[i + k] & 0x3F);
        }
        if (valid && length > 1 && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return out;
}

std::string utf16BytesBE(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

std::string textStringBytes(std::string_view utf8)
{
    bool printable = true;
    for (unsigned char c : utf8)
        printable = printable && c >= 0x20 && c < 0x7F;
    if (printable)
        return std::string(utf8);
    return "\xFE\xFF" + utf16BytesBE(utf16(utf8));
}

} // namespace zintrel
