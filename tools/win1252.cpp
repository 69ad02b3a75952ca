#include "win1252.h"

#include <cstdint>
#include <cstdio>

namespace {

/* Bytes 0x80..0x9F; 0 marks the five the code page leaves undefined. Every
 * other byte is the Unicode code point of the same value. */
const uint16_t HIGH_CONTROL_RANGE[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

uint32_t codePointOf(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return HIGH_CONTROL_RANGE[byte - 0x80];
    return byte;
}

std::optional<unsigned char> byteOf(uint32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    for (unsigned i = 0; i < 32; ++i)
        if (HIGH_CONTROL_RANGE[i] != 0 && HIGH_CONTROL_RANGE[i] == codePoint)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

/* Decodes one UTF-8 sequence at `at`, rejecting overlong forms, surrogates
 * and values past U+10FFFF; advances `at` past it. */
std::optional<uint32_t> decodeUtf8(const std::string &text, size_t &at)
{
    unsigned char lead = static_cast<unsigned char>(text[at]);
    unsigned extra;
    uint32_t value, minimum;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - at <= extra)
        return std::nullopt;
    for (unsigned i = 1; i <= extra; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    at += extra + 1;
    return value;
}

void appendUtf8(std::string &out, uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

bool isUndefinedInWin1252(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F && HIGH_CONTROL_RANGE[byte - 0x80] == 0;
}

std::optional<std::string> utf8ToWin1252(const std::string &utf8, std::string *badCharacter)
{
    std::string out;
    size_t at = 0;
    while (at < utf8.size()) {
        size_t start = at;
        std::optional<uint32_t> codePoint = decodeUtf8(utf8, at);
        if (!codePoint) {
            if (badCharacter)
                *badCharacter = "invalid UTF-8 at byte " + std::to_string(start + 1);
            return std::nullopt;
        }
        std::optional<unsigned char> byte = byteOf(*codePoint);
        if (!byte) {
            if (badCharacter) {
                char name[16];
                std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(*codePoint));
                *badCharacter = name;
            }
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
    }
    return out;
}

std::string win1252ToUtf8(const std::string &ansi)
{
    const uint32_t REPLACEMENT_CHARACTER = 0xFFFD;
    std::string out;
    for (char c : ansi) {
        uint32_t codePoint = codePointOf(static_cast<unsigned char>(c));
        appendUtf8(out, codePoint == 0 && c != '\0' ? REPLACEMENT_CHARACTER : codePoint);
    }
    return out;
}
