#pragma once
// The application shell: start-up, the global state it owns, the event loop
// and shutdown. The program is StartUp, RunEventLoop, ShutDown, TearDown.
#include <cstdint>
#include <optional>
#include <string>

#include "ui/toolkit.h"

namespace app {

// Windows and fonts by number.
constexpr int MainWindow = 0;
constexpr int InformationWindow = 1;
constexpr int NormalFont = 0;   // Arial 10 pt bold
constexpr int HeadingFont = 1;  // Arial 12 pt bold, underlined
constexpr int ListFont = 2;     // Arial 9 pt

constexpr const char16_t* SettingsFileName = u"Nummernwerk.ini";
// The desktop entry (packaging/<name>.desktop) that task bars match the
// windows to.
constexpr const char16_t* DesktopFileName = u"de.nummernwerk.Nummernwerk";
// The one line on standard error when there is no display to show windows on.
constexpr const char16_t* NoDisplayMessage =
    u"Nummernwerk braucht eine grafische Oberfläche, kann aber keine Anzeige öffnen.";

// Global state, alive from StartUp to ShutDown.
const std::u16string& ProgramDirectory();
// The folder of Nummernwerk.ini: the program directory when the user may
// write there, otherwise the user's configuration folder (settings_location.h).
const std::u16string& SettingsDirectory();
const std::u16string& MainWindowTitle();
// 1 attaches tooltips at the next start; any other value does not, and only
// 0 leaves the information window's check box unticked.
std::int32_t& ToolTipSetting();

// The directory of the running executable, ending with "/".
std::u16string ExecutableDirectory();

// Brings everything up and opens both windows. Without a program directory
// the executable's own directory is used (tests pass their own).
void StartUp(std::optional<std::u16string> programDirectory = std::nullopt);
// Writes the settings file, frees the fonts and closes both windows.
void ShutDown();
// Ends the toolkit, right before the process ends.
void TearDown();
// The whole program; the exit code is 0, or 1 when there is no display.
int Run();

// Event loop --------------------------------------------------------------
// Handles one event; false when it ends the loop: a close request from the
// main window, once the unsaved changes of both panels are settled. A close
// request from the information window closes only that window.
bool HandleEvent(ui::Event event);
// Waits for events and handles them until the loop ends.
void RunEventLoop();

}  // namespace app
