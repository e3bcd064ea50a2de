// Where the settings file lies: beside a program the user may write to,
// otherwise in the user's configuration folder, with the home folder as the
// panels' start directory.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings_location.h"
#include "app_fixture.h"
#include "phonebook/phonebook.h"

namespace fs = std::filesystem;
using apptest::AppTest;
using nwtest::TempDir;
using nwtest::U16;
using nwtest::U8;

namespace {

// Sets HOME and XDG_CONFIG_HOME for one test (nullopt: unset) and puts the
// old values back afterwards.
class Environment {
public:
    Environment(std::optional<std::string> home, std::optional<std::string> configHome)
        : home_(Get("HOME")), configHome_(Get("XDG_CONFIG_HOME"))
    {
        Set("HOME", home);
        Set("XDG_CONFIG_HOME", configHome);
    }
    ~Environment()
    {
        Set("HOME", home_);
        Set("XDG_CONFIG_HOME", configHome_);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    static std::optional<std::string> Get(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Set(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::optional<std::string> home_;
    std::optional<std::string> configHome_;
};

std::string PasswordHome()
{
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

struct FolderCase {
    const char* name;
    std::optional<std::string> home;
    std::optional<std::string> configHome;
    std::string homeDirectory;  // "<passwd>" stands for the password database's entry
    std::string settingsDirectory;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class SettingsFolders : public ::testing::TestWithParam<FolderCase> {};

TEST_P(SettingsFolders, FollowTheEnvironment)
{
    const FolderCase& c = GetParam();
    Environment environment(c.home, c.configHome);
    auto expand = [](std::string text) {
        if (text.rfind("<passwd>", 0) == 0)
            text = PasswordHome() + text.substr(8);
        return U16(text);
    };
    EXPECT_EQ(app::HomeDirectory(), expand(c.homeDirectory));
    EXPECT_EQ(app::UserSettingsDirectory(), expand(c.settingsDirectory));
}

const FolderCase kFolderCases[] = {
    {"ConfigHomeSet", "/home/anna", "/etc/anna", "/home/anna/", "/etc/anna/Nummernwerk/"},
    {"TrailingSlashesNotDoubled", "/home/anna/", "/cfg/", "/home/anna/", "/cfg/Nummernwerk/"},
    {"ConfigHomeUnset", "/home/anna", std::nullopt, "/home/anna/", "/home/anna/.config/Nummernwerk/"},
    {"ConfigHomeEmpty", "/home/anna", "", "/home/anna/", "/home/anna/.config/Nummernwerk/"},
    {"ConfigHomeRelativeIgnored", "/home/anna", "cfg", "/home/anna/", "/home/anna/.config/Nummernwerk/"},
    {"HomeNotLatin1", "/home/\xE7\x94\xA8\xE6\x88\xB7", std::nullopt, "/home/\xE7\x94\xA8\xE6\x88\xB7/",
     "/home/\xE7\x94\xA8\xE6\x88\xB7/.config/Nummernwerk/"},
    {"HomeUnsetUsesPasswordDatabase", std::nullopt, std::nullopt, "<passwd>/", "<passwd>/.config/Nummernwerk/"},
    {"HomeEmptyUsesPasswordDatabase", "", "/cfg", "<passwd>/", "/cfg/Nummernwerk/"},
};

INSTANTIATE_TEST_SUITE_P(AppSettingsLocation, SettingsFolders, ::testing::ValuesIn(kFolderCases),
                         [](const auto& info) { return std::string(info.param.name); });

class AppSettingsLocation : public ::testing::Test {
protected:
    void TearDown() override { app::SetDirectoryWritableFunction({}); }
};

TEST_F(AppSettingsLocation, ChosenByWhetherProgramDirectoryIsWritable)
{
    Environment environment("/home/anna", "/cfg");
    std::u16string asked;
    for (bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "writable" : "read-only");
        app::SetDirectoryWritableFunction([&](const std::u16string& dir) {
            asked = dir;
            return writable;
        });
        const app::SettingsLocation place = app::ChooseSettingsLocation(u"/usr/bin/");
        EXPECT_EQ(asked, u"/usr/bin/");
        EXPECT_EQ(place.directory, writable ? u"/usr/bin/" : u"/cfg/Nummernwerk/");
        EXPECT_EQ(place.defaultDirectory, writable ? u"/usr/bin/" : u"/home/anna/");
        EXPECT_EQ(place.createDirectory, !writable);
    }
}

// Runs check in a child process as the user nobody when this process is root
// (root passes every permission check); its result comes back as the exit code.
bool AsUnprivilegedUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    pid_t child = ::fork();
    if (child == 0) {
        bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : check() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop root rights";
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST_F(AppSettingsLocation, RealPermissionCheck)
{
    TempDir dir;
    fs::create_directory(dir / "offen");
    fs::create_directory(dir / "nurlesen");
    fs::create_directory(dir / "ohnesuche");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((dir / "offen").c_str(), 0777);
    ::chmod((dir / "nurlesen").c_str(), 0555);
    ::chmod((dir / "ohnesuche").c_str(), 0666);
    const std::string base = dir.path().string() + "/";
    const struct {
        std::string directory;
        bool writable;
    } cases[] = {
        {base + "offen/", true},
        {base + "nurlesen/", false},
        {base + "ohnesuche/", false},
        {base + "fehlt/", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory);
        EXPECT_EQ(AsUnprivilegedUser([&] { return app::DirectoryWritable(U16(c.directory)); }), c.writable);
    }
    // The system-wide case as a user meets it: no settings beside the program.
    Environment environment("/home/anna", "/cfg");
    EXPECT_TRUE(AsUnprivilegedUser([&] {
        return app::ChooseSettingsLocation(U16(base + "nurlesen/")).directory == u"/cfg/Nummernwerk/";
    }));
}

TEST_F(AppSettingsLocation, MakeDirectoriesCreatesPrivateFolders)
{
    TempDir dir;
    const fs::path deep = dir / "a" / "b" / "Nummernwerk";
    ASSERT_TRUE(app::MakeDirectories(U16(deep.string() + "/")));
    EXPECT_TRUE(fs::is_directory(deep));
    for (const fs::path& made : {dir / "a", dir / "a" / "b", deep}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }
    EXPECT_TRUE(app::MakeDirectories(U16(deep.string()))) << "an existing folder is fine";
    nwtest::WriteFileBytes(dir / "datei", "x");
    EXPECT_FALSE(app::MakeDirectories(U16((dir / "datei" / "Nummernwerk").string() + "/")));
    EXPECT_FALSE(app::MakeDirectories(U16((dir / "datei").string())));
}

// --- the whole start and shutdown ---------------------------------------------

// The program directory is dir_ (as in AppTest); the home and configuration
// folders lie in a second temporary folder.
class AppSettingsPlace : public AppTest {
protected:
    void UseProgramDirectoryWritable(bool writable)
    {
        app::SetDirectoryWritableFunction([writable](const std::u16string&) { return writable; });
    }
    void TearDown() override
    {
        AppTest::TearDown();
        app::SetDirectoryWritableFunction({});
    }

    std::string Home() const { return (user_ / "home").string() + "/"; }
    fs::path ConfigFile() const { return user_ / "config" / "Nummernwerk" / "Nummernwerk.ini"; }
    std::string ExpectedFile(const std::string& one, const std::string& two, int toolTip) const
    {
        return "\xEF\xBB\xBF\r\nTelefonbuch1 = " + one + "\r\nTelefonbuch2 = " + two + "\r\nToolTip = " +
               std::to_string(toolTip) + "\r\n";
    }

    TempDir user_;
    Environment environment_{(user_ / "home").string(), (user_ / "config").string()};
};

TEST_F(AppSettingsPlace, WritableProgramDirectoryKeepsFileBesideProgram)
{
    UseProgramDirectoryWritable(true);
    Start();
    EXPECT_EQ(app::SettingsDirectory(), ProgramDirectory());
    EXPECT_EQ(RememberedDirectory(1), ProgramDirectory());
    ShutDown();
    const std::string program = U8(ProgramDirectory());
    EXPECT_EQ(SettingsBytes(), ExpectedFile(program, program, 1));
    EXPECT_FALSE(fs::exists(user_ / "config"));
}

TEST_F(AppSettingsPlace, ReadOnlyProgramDirectoryUsesConfigFolderAndHome)
{
    UseProgramDirectoryWritable(false);
    // A file beside the program is not the user's and is not read.
    Start("Telefonbuch1 = /von/daneben/\r\nToolTip = 0\r\n");
    EXPECT_EQ(app::SettingsDirectory(), U16((user_ / "config" / "Nummernwerk").string() + "/"));
    EXPECT_EQ(RememberedDirectory(1), U16(Home()));
    EXPECT_EQ(RememberedDirectory(2), U16(Home()));
    EXPECT_EQ(app::ToolTipSetting(), 1);
    ShutDown();
    EXPECT_EQ(nwtest::ReadFileBytes(ConfigFile()), ExpectedFile(Home(), Home(), 1));
    EXPECT_EQ(SettingsBytes(), "Telefonbuch1 = /von/daneben/\r\nToolTip = 0\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(ConfigFile().parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(ui::RecordedMessages().empty());
}

TEST_F(AppSettingsPlace, ConfigFolderFileReadBackOnNextStart)
{
    UseProgramDirectoryWritable(false);
    Start();
    RememberedDirectory(2) = u"/srv/telefonbuecher/";
    app::ToolTipSetting() = 0;
    ShutDown();

    Start();
    EXPECT_EQ(RememberedDirectory(1), U16(Home()));
    EXPECT_EQ(RememberedDirectory(2), u"/srv/telefonbuecher/");
    EXPECT_EQ(app::ToolTipSetting(), 0);
    ShutDown();
    EXPECT_EQ(nwtest::ReadFileBytes(ConfigFile()), ExpectedFile(Home(), "/srv/telefonbuecher/", 0));
    EXPECT_FALSE(fs::exists(dir_ / "Nummernwerk.ini"));
}

TEST_F(AppSettingsPlace, ConfigFolderThatCannotBeMadeWritesNothing)
{
    UseProgramDirectoryWritable(false);
    nwtest::WriteFileBytes(user_ / "config", "kein Ordner");
    Start();
    EXPECT_EQ(RememberedDirectory(1), U16(Home()));
    ShutDown();
    EXPECT_EQ(nwtest::ReadFileBytes(user_ / "config"), "kein Ordner");
    EXPECT_FALSE(fs::exists(dir_ / "Nummernwerk.ini"));
    EXPECT_TRUE(ui::RecordedMessages().empty());
}

}  // namespace
