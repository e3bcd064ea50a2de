#pragma once
// The main window: two identical phonebook panels side by side, their
// widgets numbered as phonebook/panel.h says.
#include <cstdint>
#include <string>
#include <vector>

#include "phonebook/panel.h"

namespace app {

constexpr int MainWindowWidth = 1630;
constexpr int MainWindowHeight = 920;
constexpr int IconSize = 16;

// Opens window 0 with both empty panels; tooltips only when toolTips is set.
void BuildMainWindow(const std::u16string& title, bool toolTips);

// "Telefonbuch 1" or "Telefonbuch 2": the title of panel 1 or 2.
std::u16string PanelTitleText(int panel);

// The widgets that take the keyboard focus, in the order Tab walks them:
// each panel as it is read, row by row from left to right (the buttons, the
// Name and Datei fields, the list), panel 1 before panel 2.
std::vector<int> MainWindowTabOrder();

// The program's 16 x 16 icon as ARGB pixels, row by row.
std::vector<std::uint32_t> ProgramIcon();

}  // namespace app
