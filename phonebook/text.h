#pragma once
// Small text helpers shared by the shell and the phonebook code.
#include <cstdint>
#include <string>
#include <string_view>

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
