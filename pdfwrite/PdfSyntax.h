#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zintrel {

// The pieces of PDF syntax the writer is made of, numbers always in the classic form.

// A number as PDF writes it: no exponent, no trailing zeros, at most `decimals` digits after
// the point ("0", "-12", ".502", "556.152").
std::string pdfNumber(double value, int decimals = 3);
void appendPdfNumber(std::string& out, double value, int decimals = 3);
void appendInteger(std::string& out, std::int64_t value);

// Bytes as a literal string: (a\(b\)), with only the bytes that must be escaped escaped.
void appendLiteralString(std::string& out, std::string_view bytes);
// Bytes as a hexadecimal string: <48656C6C6F>.
std::string hexString(std::string_view bytes);

// A name: /Liberation#20Sans, every byte outside the regular printable ones as #xx.
std::string pdfName(std::string_view name);

// UTF-8 as UTF-16BE code units; bytes that are no UTF-8 become U+FFFD, one for each.
std::u16string utf16(std::string_view utf8);
// UTF-16 as the big-endian bytes a PDF string holds.
std::string utf16BytesBE(std::u16string_view text);

// A text string's bytes: printable ASCII as it is, anything else as UTF-16BE after its byte
// order mark.
std::string textStringBytes(std::string_view utf8);

} // namespace zintrel
