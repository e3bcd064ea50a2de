#pragma once
// What the main window's title says about the build.
#include <cstdint>
#include <string>

namespace app {

// "Nummernwerk  v1.10": program name and version as the title shows them.
constexpr const char16_t* ProgramTitle = u"Nummernwerk  v1.10";

// "     [<tool> v<major>.<minor> (x64)  -  Unicode  -  <dd.mm.yyyy>  -  <dir>]"
std::u16string BuildInformationText();

// The build date (seconds as DateFromParts gives them) and the name of the
// build directory.
std::int64_t BuildDate();
std::u16string BuildDirectoryText();

}  // namespace app
