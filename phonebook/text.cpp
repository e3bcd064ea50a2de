#include "phonebook/text.h"

#include <cstdio>

namespace {

constexpr std::int64_t SecondsPerDay = 86400;
constexpr std::int64_t LastValidDate = 2147483647;  // 2038-01-19 03:14:07

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

Civil CivilFromDate(std::int64_t date)
{
    Civil c;
    std::int64_t days = date / SecondsPerDay;
    std::int64_t rest = date % SecondsPerDay;
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    days += 719468;
    const std::int64_t era = days / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (c.month <= 2));
    return c;
}

char16_t Lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

// True when mask[pos..] starts with token (lower-case letters), ignoring case.
bool StartsWithToken(const std::u16string& mask, std::size_t pos, std::u16string_view token)
{
    if (mask.size() - pos < token.size())
        return false;
    for (std::size_t i = 0; i < token.size(); ++i)
        if (Lower(mask[pos + i]) != token[i])
            return false;
    return true;
}

void AppendDigits(std::u16string& out, int value, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    for (const char* p = buf; *p; ++p)
        out.push_back(static_cast<char16_t>(*p));
}

bool IsSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

}  // namespace

std::int64_t DateFromParts(int year, int month, int day, int hour, int minute, int second)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return -1;
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > monthDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return -1;
    const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const std::int64_t date = days * SecondsPerDay + hour * 3600 + minute * 60 + second;
    if (date < 0 || date > LastValidDate)
        return -1;
    return date;
}

std::u16string DateMask(const std::u16string& mask, std::int64_t date)
{
    const bool valid = date >= 0 && date <= LastValidDate;
    Civil c;
    if (valid)
        c = CivilFromDate(date);

    std::u16string out;
    out.reserve(mask.size() + 8);
    std::size_t i = 0;
    while (i < mask.size()) {
        if (mask[i] != u'%') {
            out.push_back(mask[i++]);
            continue;
        }
        const std::size_t at = i + 1;
        if (StartsWithToken(mask, at, u"yyyy")) {
            AppendDigits(out, valid ? c.year : 0, 4);
            i = at + 4;
            continue;
        }
        struct Token {
            std::u16string_view letters;
            int value;
        };
        const Token tokens[] = {
            {u"yy", c.year % 100}, {u"mm", c.month},  {u"dd", c.day},
            {u"hh", c.hour},       {u"ii", c.minute}, {u"ss", c.second},
        };
        bool matched = false;
        for (const Token& t : tokens) {
            if (StartsWithToken(mask, at, t.letters)) {
                AppendDigits(out, valid ? t.value : 0, 2);
                i = at + 2;
                matched = true;
                break;
            }
        }
        if (!matched)
            out.push_back(mask[i++]);  // a "%" that starts no token stays as it is
    }
    return out;
}

std::u16string DirectoryPart(const std::u16string& path)
{
    const std::size_t start = (!path.empty() && path[0] == u'"') ? 1 : 0;
    for (std::size_t i = path.size(); i > start; --i)
        if (IsSeparator(path[i - 1]))
            return path.substr(start, i - start);
    return {};
}

std::u16string FilePart(const std::u16string& path)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return path.substr(i);
    return path;
}

std::u16string Utf8ToUtf16(const std::string& utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int extra;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(0xFFFD);  // stray continuation or invalid lead byte
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int got = 0;
        while (got < extra && j < n && (static_cast<unsigned char>(utf8[j]) & 0xC0) == 0x80) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
            ++j;
            ++got;
        }
        if (got < extra || cp > 0x10FFFF) {
            out.push_back(0xFFFD);
            i = j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i = j;
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16)
{
    std::string out;
    out.reserve(utf16.size());
    const std::size_t n = utf16.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // unpaired surrogate
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
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
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        fits = IsXmlCharacter(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
        return 2;
    }
    fits = IsXmlCharacter(c);
    return 1;
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
