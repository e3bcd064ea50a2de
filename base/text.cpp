#include "base/text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Eight bytes (or four UTF-16 units) at p, all below 0x80.
bool EightAsciiBytes(const unsigned char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0x8080808080808080ull) == 0;
}
bool FourAsciiUnits(const char16_t* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0xFF80FF80FF80FF80ull) == 0;
}

struct Decoded {
    char32_t code;     // U+FFFD for an ill-formed subpart
    std::size_t bytes; // at least 1
    bool valid;
};

// The sequence starting at s[0] (n >= 1 bytes left), by the table of
// well-formed sequences: the second byte's range depends on the lead byte
// (E0: A0..BF, ED: 80..9F, F0: 90..BF, F4: 80..8F), every other
// continuation byte is 80..BF.
Decoded DecodeOne(const unsigned char* s, std::size_t n)
{
    const unsigned lead = s[0];
    if (lead < 0x80)
        return {lead, 1, true};
    std::size_t need;
    char32_t code;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {Replacement, 1, false};
    }
    std::size_t i = 1;
    for (; i <= need; ++i) {
        if (i >= n || s[i] < low || s[i] > high)
            return {Replacement, i, false};
        code = (code << 6) | (s[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {code, i, true};
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    const char16_t* p = utf16.data();
    const char16_t* const end = p + utf16.size();
    while (p < end) {
        if (end - p >= 4 && FourAsciiUnits(p)) {
            const char b[4] = {static_cast<char>(p[0]), static_cast<char>(p[1]), static_cast<char>(p[2]),
                               static_cast<char>(p[3])};
            out.append(b, 4);
            p += 4;
            continue;
        }
        unsigned char b[4];
        out.append(reinterpret_cast<const char*>(b), EncodeUtf8(NextCodePoint(p, end), b));
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const unsigned char* const end = s + utf8.size();
    while (s < end) {
        if (end - s >= 8 && EightAsciiBytes(s)) {
            out.append(s, s + 8);
            s += 8;
            continue;
        }
        const Decoded d = DecodeOne(s, static_cast<std::size_t>(end - s));
        s += d.bytes;
        if (d.code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((d.code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((d.code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(d.code));
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = s + bytes.size();
    while (s < end) {
        if (end - s >= 8 && EightAsciiBytes(s)) {
            s += 8;
            continue;
        }
        const Decoded d = DecodeOne(s, static_cast<std::size_t>(end - s));
        if (!d.valid)
            return false;
        s += d.bytes;
    }
    return true;
}

std::u16string Latin1ToUtf16(std::string_view latin1)
{
    std::u16string out(latin1.size(), u'\0');
    for (std::size_t i = 0; i < latin1.size(); ++i)
        out[i] = static_cast<unsigned char>(latin1[i]);
    return out;
}

std::u16string Windows1252ToUtf16(std::string_view bytes)
{
    static constexpr char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        out[i] = b >= 0x80 && b < 0xA0 ? High[b - 0x80] : b;
    }
    return out;
}

std::u16string DecimalText(long long value)
{
    char buf[32];
    const int len = std::snprintf(buf, sizeof buf, "%lld", value);
    return std::u16string(buf, buf + len);
}
bool IsXmlCharacter(char32_t c)
{
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r';
    return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

namespace {

// The length (1, or 2 for a surrogate pair) of the character at text[i], and
// in fits whether XML can hold it.
std::size_t CharacterAt(std::u16string_view text, std::size_t i, bool& fits)
{
    const char16_t c = text[i];
    if (c >= 0x20 && c < 0xD800) {  // by far the most common case
        fits = true;
        return 1;
    }
    std::size_t length = 1;
    fits = IsXmlCharacter(CodePointAt(text, i, length));
    return length;
}

}  // namespace

bool HoldsNonXmlCharacters(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] >= 0x20 && text[i] < 0xD800) {
            ++i;
            continue;
        }
        bool fits = true;
        i += CharacterAt(text, i, fits);
        if (!fits)
            return true;
    }
    return false;
}

std::u16string WithoutNonXmlCharacters(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool fits = true;
        const std::size_t length = CharacterAt(text, i, fits);
        if (fits)
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}
