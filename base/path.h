#pragma once
// Paths as the program handles them: UTF-16 text that may use "\" or "/".
#include <string>
#include <string_view>

// Everything up to and including the last "\" or "/" (a leading double quote
// skipped); empty when there is no separator.
std::u16string DirectoryPart(std::u16string_view path);
// Everything after the last "\" or "/".
std::u16string FilePart(std::u16string_view path);

// The form the file system takes (UTF-8; a surrogate without its partner
// becomes U+FFFD), and back.
std::string NativePath(std::u16string_view path);
std::u16string PathText(std::string_view native);
