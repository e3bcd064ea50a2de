#pragma once
// The information window shown on every start: usage notes, the tooltip
// switch and the XML parser's licence.
#include <cstdint>
#include <string>
#include <vector>

namespace app {

constexpr int InformationHeading = 32;
constexpr int InformationText = 33;
constexpr int ToolTipCheckBox = 34;
constexpr int CloseInformationButton = 35;

constexpr int InformationWindowWidth = 620;
constexpr int InformationWindowHeight = 500;

// The 43 lines of the information text.
const std::vector<std::u16string>& InformationLines();

// Opens window 1 owned by owner (a window number or ui::NoWindow) with its
// four widgets; the check box is ticked unless toolTipSetting is 0.
void BuildInformationWindow(int owner, std::int32_t toolTipSetting);

}  // namespace app
