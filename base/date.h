#pragma once
// Dates as seconds since 1970-01-01 00:00:00 local wall-clock time; -1 is an
// invalid date.
#include <cstdint>
#include <string>
#include <string_view>

// Formats a date with the tokens %yyyy %yy %mm %dd %hh %ii %ss, letters in
// either case. Everything else is copied; an invalid date gives zeros.
std::u16string DateMask(std::u16string_view mask, std::int64_t date);

// Seconds since 1970 for a wall-clock date and time; -1 outside
// 1970-01-01 00:00:00 .. 2038-01-19 03:14:07.
std::int64_t DateFromParts(int year, int month, int day, int hour, int minute, int second);
