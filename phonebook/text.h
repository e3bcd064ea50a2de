#pragma once
// Small text helpers shared by the shell and the phonebook code.
#include <cstdint>
#include <string>

// Formats a date (seconds since 1970-01-01 00:00:00 local wall-clock time,
// -1 = invalid) with the tokens %yyyy %yy %mm %dd %hh %ii %ss, letters in
// either case. Everything else is copied.
std::u16string DateMask(const std::u16string& mask, std::int64_t date);

// Seconds since 1970 for a wall-clock date and time; -1 outside
// 1970-01-01 00:00:00 .. 2038-01-19 03:14:07.
std::int64_t DateFromParts(int year, int month, int day, int hour, int minute, int second);

// Everything up to and including the last "\" or "/" (a leading double quote
// skipped); empty when there is no separator.
std::u16string DirectoryPart(const std::u16string& path);
// Everything after the last "\" or "/".
std::u16string FilePart(const std::u16string& path);

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);
std::u16string DecimalText(long long value);
