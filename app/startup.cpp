// Start-up and shutdown, in the order the program's visible behaviour
// depends on: platform, record lists, title, program directory, fonts,
// settings, main window, information window; after the loop the settings are
// written, the fonts freed and everything torn down.
#include <filesystem>
#include <system_error>

#include "app/app.h"
#include "app/build_info.h"
#include "app/information_window.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/settings_location.h"
#include "phonebook/phonebook.h"
#include "base/path.h"
#include "base/text.h"
#include "xml/xml.h"

namespace app {
namespace {

struct ShellState {
    std::u16string programDirectory;
    SettingsLocation settings;
    std::u16string title;
    std::int32_t toolTip = 1;
};

ShellState& Shell()
{
    static ShellState state;
    return state;
}

struct FontDefinition {
    int number;
    int points;
    unsigned flags;
};

constexpr FontDefinition Fonts[] = {
    {NormalFont, 10, ui::FontBold | ui::FontHighQuality},
    {HeadingFont, 12, ui::FontBold | ui::FontUnderline | ui::FontHighQuality},
    {ListFont, 9, ui::FontHighQuality},
};

std::filesystem::path SettingsPath()
{
    return std::filesystem::path(Utf16ToUtf8(Shell().settings.directory + SettingsFileName));
}

void ReadSettings()
{
    SettingsFile settings;
    settings.OpenForReading(SettingsPath());  // a missing file leaves every default
    RememberedDirectory(1) = settings.ReadText(u"Telefonbuch1", Shell().settings.defaultDirectory);
    RememberedDirectory(2) = settings.ReadText(u"Telefonbuch2", Shell().settings.defaultDirectory);
    Shell().toolTip = settings.ReadInteger(u"ToolTip", 1);
    settings.Close();
}

// Nothing is reported when the file cannot be written; an existing file
// then stays as it was.
void WriteSettings()
{
    if (Shell().settings.createDirectory && !MakeDirectories(Shell().settings.directory))
        return;
    SettingsFile settings;
    if (!settings.CreateForWriting(SettingsPath()))
        return;
    // The file keeps one key per line: a directory whose name holds a line
    // break cannot be stored, and the next start begins in the default one.
    const auto storable = [](const std::u16string& directory) {
        return directory.find_first_of(u"\r\n") == std::u16string::npos ? directory
                                                                          : Shell().settings.defaultDirectory;
    };
    settings.WriteText(u"Telefonbuch1", storable(RememberedDirectory(1)));
    settings.WriteText(u"Telefonbuch2", storable(RememberedDirectory(2)));
    settings.WriteInteger(u"ToolTip", Shell().toolTip);
    settings.Close();
}

}  // namespace

const std::u16string& ProgramDirectory() { return Shell().programDirectory; }
const std::u16string& SettingsDirectory() { return Shell().settings.directory; }
const std::u16string& MainWindowTitle() { return Shell().title; }
std::int32_t& ToolTipSetting() { return Shell().toolTip; }

std::u16string ExecutableDirectory()
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return u"";
    return DirectoryPart(Utf8ToUtf16(executable.string()));
}

void StartUp(std::optional<std::u16string> programDirectory)
{
    ui::Init();
    // The program's texts are German, and so are those of the toolkit's own
    // dialogs and menus, whatever the system's language.
    ui::SetLanguage(u"de");
    ui::SetDesktopFileName(DesktopFileName);
    XmlLibraryInit();
    PhonebookInit();
    Shell().title = ProgramTitle + BuildInformationText();
    Shell().programDirectory = programDirectory ? *programDirectory : ExecutableDirectory();
    Shell().settings = ChooseSettingsLocation(Shell().programDirectory);
    for (const FontDefinition& font : Fonts)
        ui::CreateFont(font.number, u"Arial", font.points, font.flags);
    ReadSettings();
    BuildMainWindow(Shell().title, Shell().toolTip == 1);
    BuildInformationWindow(ui::WindowExists(MainWindow) ? MainWindow : ui::NoWindow, Shell().toolTip);
}

void ShutDown()
{
    WriteSettings();
    for (const FontDefinition& font : Fonts)
        if (ui::FontExists(font.number))
            ui::FreeFont(font.number);
    ui::CloseWindow(InformationWindow);
    ui::CloseWindow(MainWindow);
}

void TearDown()
{
    // The record lists and the XML library keep what they hold: the process
    // ends next, and the system takes back a large phonebook's memory at
    // once (see PhonebookShutdown).
    ui::Shutdown();
}

int Run()
{
    ui::SetNoDisplayMessage(NoDisplayMessage);
    if (!ui::Init())
        return 1;
    ui::FitToScreen(MainWindowWidth, MainWindowHeight);
    StartUp();
    RunEventLoop();
    ShutDown();
    TearDown();
    return 0;
}

}  // namespace app
