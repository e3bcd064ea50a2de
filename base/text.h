#pragma once
// Text conversions. The program's text is UTF-16; files and the file system
// hold UTF-8. Both directions replace what has no encoding by U+FFFD: a
// surrogate without its partner, and every ill-formed piece of UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

std::string Utf16ToUtf8(std::u16string_view utf16);

// Each maximal ill-formed subpart becomes one U+FFFD (the practice Unicode
// recommends): a byte that starts no sequence (80..BF, C0, C1, F5..FF), or a
// lead byte with the continuation bytes that fit it up to the first one
// that does not (a cut sequence, an overlong form, an encoded surrogate, a
// code point above U+10FFFF). Decoding resumes at the byte that did not fit.
std::u16string Utf8ToUtf16(std::string_view utf8);

// True when the bytes are well-formed UTF-8 throughout (plain ASCII is).
bool IsValidUtf8(std::string_view bytes);

// ISO-8859-1: each byte is the code point of the same value.
std::u16string Latin1ToUtf16(std::string_view latin1);

// Windows-1252, the code page of German Windows: ISO-8859-1 except for
// 80..9F, which hold the euro sign, typographic quotes, dashes and a few
// letters. The five bytes the code page leaves free (81, 8D, 8F, 90, 9D)
// stand for the code points of the same value, as browsers read them.
std::u16string Windows1252ToUtf16(std::string_view bytes);

std::u16string DecimalText(long long value);

// True for a character that an XML 1.0 document can hold: tab, line feed,
// carriage return, U+0020 to U+D7FF, U+E000 to U+FFFD and U+10000 to
// U+10FFFF. Every other character (the other control characters, U+FFFE,
// U+FFFF, a surrogate standing alone) makes a file that no parser reads.
bool IsXmlCharacter(char32_t c);
// Whether text holds a character IsXmlCharacter refuses; a surrogate pair
// counts as the one character it stands for.
bool HoldsNonXmlCharacters(std::u16string_view text);
// text without those characters.
std::u16string WithoutNonXmlCharacters(std::u16string_view text);

// Building blocks for encoders with loops of their own (the XML writer).

// The code point at p < end (a surrogate pair taken together, a surrogate
// without its partner as U+FFFD); p moves past it.
inline char32_t NextCodePoint(const char16_t*& p, const char16_t* end)
{
    char32_t c = *p++;
    if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF)
        return 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
    return c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c;
}

// The code point at text[i] (i < text.size()), and in length how many
// units it takes: 2 for a surrogate pair, else 1 (a surrogate without its
// partner counts as itself).
inline char32_t CodePointAt(std::u16string_view text, std::size_t i, std::size_t& length)
{
    const char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        length = 2;
        return 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    }
    length = 1;
    return c;
}

// The UTF-8 form of code point c at out (room for 4 bytes); returns its
// length.
inline std::size_t EncodeUtf8(char32_t c, unsigned char* out)
{
    if (c < 0x80) {
        out[0] = static_cast<unsigned char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 4;
}
