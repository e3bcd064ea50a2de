// The build information in the main window's title.
//
// The build tool is the compiler that made the program ("GCC v12.2",
// "Clang v14.0"); the build date is the day the program was built
// (NW_BUILD_DATE as yyyymmdd, in a header that every build brings up to
// date); the build directory is only the last component
// of the CMake build tree (NW_BUILD_DIRECTORY, e.g. "build"), so that no
// machine's full path ends up in the program.
#include "app/build_info.h"

#include "app/build_date.h"
#include "base/date.h"
#include "base/text.h"

#ifndef NW_BUILD_DIRECTORY
#define NW_BUILD_DIRECTORY "build"
#endif

namespace app {
namespace {

// The compiler's name and version: "GCC v12.2".
std::u16string ToolText()
{
#if defined(__clang__)
    return u"Clang v" + DecimalText(__clang_major__) + u"." + DecimalText(__clang_minor__);
#elif defined(__GNUC__)
    return u"GCC v" + DecimalText(__GNUC__) + u"." + DecimalText(__GNUC_MINOR__);
#else
    return u"C++ v0.0";
#endif
}

// The word size: "64" or "86".
std::u16string ArchitectureText() { return sizeof(void*) == 8 ? u"64" : u"86"; }

}  // namespace

std::int64_t BuildDate()
{
    constexpr long date = NW_BUILD_DATE;
    return DateFromParts(int(date / 10000), int(date / 100 % 100), int(date % 100), 0, 0, 0);
}

std::u16string BuildDirectoryText() { return Utf8ToUtf16(NW_BUILD_DIRECTORY); }

std::u16string BuildInformationText()
{
    return u"     [" + ToolText() + u" (x" + ArchitectureText() + u")" + u"  -  Unicode" + u"  -  " +
           DateMask(u"%dd.%mm.%yyyy", BuildDate()) + u"  -  " + BuildDirectoryText() + u"]";
}

}  // namespace app
