#include "base/date.h"

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
bool StartsWithToken(std::u16string_view mask, std::size_t pos, std::u16string_view token)
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

std::u16string DateMask(std::u16string_view mask, std::int64_t date)
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
