// Start-up reads the settings file into the shell's state; shutdown writes it
// back in the one written form and frees the fonts.
#include <QFont>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/build_info.h"
#include "app/settings_file.h"
#include "app_fixture.h"
#include "base/date.h"
#include "phonebook/phonebook.h"

namespace fs = std::filesystem;
using apptest::AppTest;
using nwtest::U16;

namespace {

constexpr const char* kProgramDirectory = "<program directory>";

struct StartCase {
    const char* name;
    std::optional<std::string> settings;
    std::string telefonbuch1;  // kProgramDirectory stands for the default
    std::string telefonbuch2;
    int toolTip;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class AppStartSettings : public AppTest, public ::testing::WithParamInterface<StartCase> {
protected:
    std::u16string Expected(const std::string& text) const
    {
        return text == kProgramDirectory ? ProgramDirectory() : U16(text);
    }
};

TEST_P(AppStartSettings, ReadIntoShellState)
{
    const StartCase& c = GetParam();
    Start(c.settings);
    EXPECT_EQ(RememberedDirectory(1), Expected(c.telefonbuch1));
    EXPECT_EQ(RememberedDirectory(2), Expected(c.telefonbuch2));
    EXPECT_EQ(app::ToolTipSetting(), c.toolTip);
    EXPECT_EQ(app::ProgramDirectory(), ProgramDirectory());
    EXPECT_TRUE(ui::RecordedMessages().empty()) << "start-up never asks or reports";
}

const StartCase kStartCases[] = {
    {"NoSettingsFile", std::nullopt, kProgramDirectory, kProgramDirectory, 1},
    {"WrittenForm", "\xEF\xBB\xBF\r\nTelefonbuch1 = /a/\r\nTelefonbuch2 = /b/\r\nToolTip = 0\r\n", "/a/", "/b/", 0},
    {"HandWrittenLowerCase", "telefonbuch2=/home/anna/\n", kProgramDirectory, "/home/anna/", 1},
    {"AllKeysInAGroup", "[Nummernwerk]\r\nTelefonbuch1 = /a/\r\nTelefonbuch2 = /b/\r\nToolTip = 0\r\n",
     kProgramDirectory, kProgramDirectory, 1},
    {"EmptyValues", "Telefonbuch1 =\r\nTelefonbuch2=\r\nToolTip=\r\n", "", "", 0},
    {"Latin1Directory", "Telefonbuch1 = /home/j\xFCrgen/\r\n", "/home/j\xC3\xBCrgen/", kProgramDirectory, 1},
    {"Utf8DirectoryWithoutBom", "Telefonbuch1 = /home/j\xC3\xB6rg/\n", "/home/j\xC3\xB6rg/", kProgramDirectory, 1},
    {"ToolTipTwo", "ToolTip = 2\r\n", kProgramDirectory, kProgramDirectory, 2},
};

INSTANTIATE_TEST_SUITE_P(AppStartup, AppStartSettings, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

class AppStartup : public AppTest {};

// Worked out by hand: the old file's comment, group and other key are gone;
// the three keys follow in their fixed order and form.
TEST_F(AppStartup, ShutdownRewritesSettingsInWrittenForm)
{
    Start("; von Hand\r\nTOOLTIP=2\r\nAnderes = x\r\ntelefonbuch1=/home/j\xFCrgen/\r\n[Gruppe]\r\nTelefonbuch2 = /b/\r\n");
    ShutDown();
    EXPECT_EQ(SettingsBytes(), "\xEF\xBB\xBF\r\n"
                               "Telefonbuch1 = /home/j\xC3\xBCrgen/\r\n"
                               "Telefonbuch2 = " + dir_.path().string() + "/\r\n"
                               "ToolTip = 2\r\n");
}

TEST_F(AppStartup, FirstStartCreatesSettingsFile)
{
    Start();
    ShutDown();
    const std::string dir = dir_.path().string() + "/";
    EXPECT_EQ(SettingsBytes(),
              "\xEF\xBB\xBF\r\nTelefonbuch1 = " + dir + "\r\nTelefonbuch2 = " + dir + "\r\nToolTip = 1\r\n");
}

// A remembered directory whose name holds a line break cannot stand on one
// line; written as it is, its second part would read back as a key of its
// own. The file keeps its three lines, with the default directory instead.
TEST_F(AppStartup, DirectoryWithALineBreakIsNotStored)
{
    for (const char16_t* breakText : {u"\n", u"\r", u"\r\n"}) {
        Start("ToolTip = 1\r\n");
        RememberedDirectory(1) = std::u16string(u"/home/a") + breakText + u"ToolTip = 0" + breakText + u"/";
        RememberedDirectory(2) = u"/b/";
        ShutDown();
        const std::string dir = dir_.path().string() + "/";
        EXPECT_EQ(SettingsBytes(),
                  "\xEF\xBB\xBF\r\nTelefonbuch1 = " + dir + "\r\nTelefonbuch2 = /b/\r\nToolTip = 1\r\n");
    }
    SettingsFile settings;
    settings.WriteText(u"Telefonbuch1", u"/a/");
    settings.WriteText(u"Telefonbuch1", u"/x\ny/");
    EXPECT_EQ(settings.WrittenForm(), "\xEF\xBB\xBF\r\nTelefonbuch1 = /a/\r\n") << "the key keeps what it had";
}

TEST_F(AppStartup, FailedSettingsWriteLeavesOldFile)
{
    const std::string old = "Telefonbuch1 = /alt/\r\n";
    Start(old);
    app::ToolTipSetting() = 0;
    SetFileWriteFault({.afterBytes = 0});
    ShutDown();
    SetFileWriteFault({});
    EXPECT_EQ(SettingsBytes(), old);
    EXPECT_TRUE(ui::RecordedMessages().empty());
}

// What stands at the settings path: a thing, or a link to a thing in
// another folder. Only a regular file is read; only a writable one is
// replaced, through any link (which stays a link); anything else stays
// exactly as it was, and nothing is ever reported.
struct SettingsPathCase {
    const char* name;
    nwtest::PathThing thing;
    int links;  // 0: the thing itself, 1: a relative link, 2: a link to an absolute link
};

void PrintTo(const SettingsPathCase& c, std::ostream* os) { *os << c.name; }

class AppSettingsPath : public AppTest, public ::testing::WithParamInterface<SettingsPathCase> {};

TEST_P(AppSettingsPath, ReadsAndWritesOnlyWritableRegularFiles)
{
    using nwtest::PathThing;
    const SettingsPathCase& c = GetParam();
    const fs::path other = dir_ / "andere";
    fs::create_directory(other);
    const fs::path thing = c.links ? other / "ziel" : dir_ / "Nummernwerk.ini";
    nwtest::MakePathThing(c.thing, thing, "ToolTip = 0\r\n");
    if (c.links == 2)
        fs::create_symlink(thing, other / "zwischen");
    if (c.links)
        fs::create_symlink(c.links == 2 ? "andere/zwischen" : "andere/ziel", dir_ / "Nummernwerk.ini");
    auto expected = nwtest::DirectoryTree(dir_.path());
    const bool file = c.thing == PathThing::File || c.thing == PathThing::ReadOnlyFile;
    const bool written = c.thing == PathThing::File || c.thing == PathThing::Nothing;
    if (c.thing == PathThing::Nothing)
        expected.push_back("andere/ziel f");
    std::sort(expected.begin(), expected.end());

    Start();
    EXPECT_EQ(app::ToolTipSetting(), file ? 0 : 1);
    RememberedDirectory(1) = u"/neu/";
    ShutDown();

    EXPECT_TRUE(ui::RecordedMessages().empty());
    EXPECT_EQ(nwtest::DirectoryTree(dir_.path()), expected) << "a link was replaced or a temporary file left";
    if (written) {
        EXPECT_EQ(nwtest::ReadFileBytes(thing), "\xEF\xBB\xBF\r\nTelefonbuch1 = /neu/\r\nTelefonbuch2 = " +
                                                   dir_.path().string() + "/\r\nToolTip = " + (file ? "0" : "1") +
                                                   "\r\n");
        struct stat after {};
        ::stat(thing.c_str(), &after);
        EXPECT_TRUE(!file || (after.st_mode & 07777) == 0640) << "the replaced file keeps its mode";
    } else if (file) {
        EXPECT_EQ(nwtest::ReadFileBytes(thing), "ToolTip = 0\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    AppStartup, AppSettingsPath,
    ::testing::Values(SettingsPathCase{"Directory", nwtest::PathThing::Directory, 0},
                      SettingsPathCase{"NamedPipe", nwtest::PathThing::NamedPipe, 0},
                      SettingsPathCase{"LinkToDirectory", nwtest::PathThing::Directory, 1},
                      SettingsPathCase{"LinkToPipe", nwtest::PathThing::NamedPipe, 1},
                      SettingsPathCase{"ReadOnly", nwtest::PathThing::ReadOnlyFile, 0},
                      SettingsPathCase{"ReadOnlyBehindLink", nwtest::PathThing::ReadOnlyFile, 1},
                      SettingsPathCase{"Link", nwtest::PathThing::File, 1},
                      SettingsPathCase{"LinkChain", nwtest::PathThing::File, 2},
                      SettingsPathCase{"DanglingLink", nwtest::PathThing::Nothing, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppStartup, ProgramDirectoryOutsideLatin1)
{
    const fs::path sub = dir_ / "\xE7\x94\xA8\xE6\x88\xB7";
    fs::create_directory(sub);
    nwtest::WriteFileBytes(sub / "Nummernwerk.ini", "ToolTip = 0\r\n");
    ui::Init();
    ui::qt::ResetForTests();
    ui::RecordMessageBoxes(true);
    app::StartUp(U16(sub.string() + "/"));
    running_ = true;
    EXPECT_EQ(app::ToolTipSetting(), 0);
    EXPECT_EQ(RememberedDirectory(1), U16(sub.string() + "/"));
    ShutDown();
    EXPECT_EQ(nwtest::ReadFileBytes(sub / "Nummernwerk.ini"),
              "\xEF\xBB\xBF\r\nTelefonbuch1 = " + sub.string() + "/\r\nTelefonbuch2 = " + sub.string() +
                  "/\r\nToolTip = 0\r\n");
}

struct FontCase {
    int number;
    int pixels;  // at 96 dots per inch
    bool bold;
    bool underline;
};

TEST_F(AppStartup, FontsCreatedAndFreed)
{
    Start();
    ASSERT_EQ(ui::DisplayDpiY(), 96);
    const FontCase fonts[] = {
        {app::NormalFont, 13, true, false},
        {app::HeadingFont, 16, true, true},
        {app::ListFont, 12, false, false},
    };
    for (const FontCase& f : fonts) {
        SCOPED_TRACE("font " + std::to_string(f.number));
        ASSERT_TRUE(ui::FontExists(f.number));
        const QFont* font = ui::qt::FontObject(f.number);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->family(), QStringLiteral("Arial"));
        EXPECT_EQ(ui::FontPixelHeight(f.number), f.pixels);
        EXPECT_EQ(font->bold(), f.bold);
        EXPECT_EQ(font->underline(), f.underline);
    }
    ShutDown();
    for (const FontCase& f : fonts)
        EXPECT_FALSE(ui::FontExists(f.number));
}

TEST_F(AppStartup, ExecutableDirectoryHoldsTheRunningProgram)
{
    const std::u16string dir = app::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), u'/');
    EXPECT_TRUE(fs::is_regular_file(nwtest::U8(dir) + "app_tests"));
}

TEST(AppBuildInfo, DateIsValidAndDirectoryIsNoPath)
{
    const std::u16string date = DateMask(u"%dd.%mm.%yyyy", app::BuildDate());
    EXPECT_NE(date, u"00.00.0000");
    EXPECT_NE(app::BuildDate(), -1);
    const std::u16string dir = app::BuildDirectoryText();
    EXPECT_FALSE(dir.empty());
    EXPECT_EQ(dir.find_first_of(u"/\\"), std::u16string::npos);
}

// Every build brings the date up to date: it is the day this test program
// was linked (or the day before, for a build across midnight).
TEST(AppBuildInfo, DateIsTheDayOfTheBuild)
{
    if (std::getenv("SOURCE_DATE_EPOCH"))
        GTEST_SKIP() << "SOURCE_DATE_EPOCH fixes the date";
    struct stat program {};
    ASSERT_EQ(stat("/proc/self/exe", &program), 0);
    std::tm local{};
    ASSERT_NE(localtime_r(&program.st_mtime, &local), nullptr);
    const std::int64_t linked = DateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0);
    EXPECT_TRUE(app::BuildDate() == linked || app::BuildDate() == linked - 86400)
        << nwtest::U8(DateMask(u"%dd.%mm.%yyyy", app::BuildDate()));
}

}  // namespace
