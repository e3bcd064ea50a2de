#include "base/path.h"

#include "base/text.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::u16string DirectoryPart(std::u16string_view path)
{
    const std::size_t start = (!path.empty() && path[0] == u'"') ? 1 : 0;
    for (std::size_t i = path.size(); i > start; --i)
        if (IsSeparator(path[i - 1]))
            return std::u16string(path.substr(start, i - start));
    return {};
}

std::u16string FilePart(std::u16string_view path)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return std::u16string(path.substr(i));
    return std::u16string(path);
}

std::string NativePath(std::u16string_view path) { return Utf16ToUtf8(path); }

std::u16string PathText(std::string_view native) { return Utf8ToUtf16(native); }
