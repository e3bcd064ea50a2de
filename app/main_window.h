#pragma once
// The main window: two identical phonebook panels side by side.
#include <cstdint>
#include <string>
#include <vector>

namespace app {

// Widget numbers of panel 1; panel 2's are PanelOffset higher.
constexpr int PanelOffset = 16;
constexpr int PanelContainer = 0;
constexpr int PanelTitle = 1;
constexpr int CountLabel = 2;
constexpr int NewButton = 3;
constexpr int LoadButton = 4;
constexpr int SaveButton = 5;
constexpr int NameCaption = 6;
constexpr int NameField = 7;
constexpr int FileCaption = 8;
constexpr int FileField = 9;
constexpr int TickButton = 10;
constexpr int UntickButton = 11;
constexpr int CopyButton = 12;
constexpr int MoveButton = 13;
constexpr int DeleteButton = 14;
constexpr int ContactList = 15;

// The widget number of a panel 1 widget in panel 1 or 2.
constexpr int InPanel(int panel, int widget) { return widget + (panel - 1) * PanelOffset; }

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
