#include "PdfPermissions.h"

#include "platform/IoError.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <stdexcept>

namespace zintrel {

namespace {

// Bits of the /P entry, counted from 1 as the PDF reference numbers them.
constexpr std::uint32_t permissionBit(int bit) { return std::uint32_t{1} << (bit - 1); }
constexpr std::uint32_t kPermitPrint = permissionBit(3);
constexpr std::uint32_t kPermitModify = permissionBit(4);
constexpr std::uint32_t kPermitExtract = permissionBit(5);
constexpr std::uint32_t kPermitAnnotate = permissionBit(6);
constexpr std::uint32_t kPermitFillForms = permissionBit(9);
constexpr std::uint32_t kPermitAccessibility = permissionBit(10);
constexpr std::uint32_t kPermitAssemble = permissionBit(11);
constexpr std::uint32_t kPermitPrintHighQuality = permissionBit(12);
// Bits 7, 8 and 13 to 32 must be set, 1 and 2 clear.
constexpr std::uint32_t kPermissionBase = 0xFFFFF0C0u;

constexpr int kRandomPasswordBytes = 32;

} // namespace

std::uint32_t permissionValue(int print, int copy, int change, int annotate, int fillForms, int assemble,
                              int accessibility, int printHighQuality)
{
    for (int flag : {print, copy, change, annotate, fillForms, assemble, accessibility, printHighQuality}) {
        if (flag != 0 && flag != 1)
            throw std::runtime_error("A permission flag must be 0 or 1.");
    }
    std::uint32_t value = kPermissionBase | kPermitAccessibility;
    if (print)
        value |= kPermitPrint;
    if (print && printHighQuality)
        value |= kPermitPrintHighQuality;
    if (copy)
        value |= kPermitExtract;
    if (change)
        value |= kPermitModify;
    if (annotate)
        value |= kPermitAnnotate;
    if (fillForms)
        value |= kPermitFillForms;
    if (assemble)
        value |= kPermitAssemble;
    return value;
}

std::string randomPassword()
{
    static const char kHex[] = "0123456789abcdef";
    std::array<unsigned char, kRandomPasswordBytes> bytes{};
    for (std::size_t got = 0; got < bytes.size();) {
        const ssize_t n = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error("The system's random source cannot be read: " + errorText(errno) + ".");
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    std::string text;
    for (unsigned char byte : bytes) {
        text += kHex[byte & 0xF];
        text += kHex[byte >> 4];
    }
    return text;
}

} // namespace zintrel
