// The settings file: lenient reading, the one written form, atomic replace.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings_file.h"
#include "test_support.h"

namespace fs = std::filesystem;
using nwtest::ReadFileBytes;
using nwtest::TempDir;
using nwtest::U16;
using nwtest::WriteFileBytes;

namespace {

constexpr const char* kDefault = "<default>";

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string telefonbuch1;  // UTF-8 of the expected text, kDefault when absent
    std::string telefonbuch2;
    int toolTip;               // read with default 1
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class SettingsRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SettingsRead, YieldsKeysAsWritten)
{
    const ReadCase& c = GetParam();
    SettingsFile settings;
    settings.Parse(c.bytes);
    EXPECT_EQ(settings.ReadText(u"Telefonbuch1", U16(kDefault)), U16(c.telefonbuch1));
    EXPECT_EQ(settings.ReadText(u"Telefonbuch2", U16(kDefault)), U16(c.telefonbuch2));
    EXPECT_EQ(settings.ReadInteger(u"ToolTip", 1), c.toolTip);
}

const ReadCase kReadCases[] = {
    {"WrittenForm", "\xEF\xBB\xBF\r\nTelefonbuch1 = /a/\r\nTelefonbuch2 = /b/\r\nToolTip = 0\r\n", "/a/", "/b/", 0},
    {"Utf8AfterBom", "\xEF\xBB\xBFTelefonbuch1 = /home/j\xC3\xBCrgen/\r\n", "/home/j\xC3\xBCrgen/", kDefault, 1},
    {"Latin1WithoutBom", "Telefonbuch1=C:\\M\xFCller\\\r\nTelefonbuch2=\xC4\xD6\xDC\xDF\r\n",
     "C:\\M\xC3\xBCller\\", "\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F", 1},
    // Without a byte-order mark: UTF-8 when every byte fits it, as editors
    // write it; a single byte that does not makes the whole file ISO 8859-1.
    {"Utf8WithoutBom", "Telefonbuch1=J\xC3\xBCrgen", "J\xC3\xBCrgen", kDefault, 1},
    {"Utf8WithoutBomFourBytes", "Telefonbuch1 = /home/j\xC3\xB6rg/\nTelefonbuch2 = /\xF0\x9F\x93\x9E/\n",
     "/home/j\xC3\xB6rg/", "/\xF0\x9F\x93\x9E/", 1},
    {"OneLatin1ByteMakesAllLatin1", "Telefonbuch1 = /j\xC3\xB6rg/\r\nTelefonbuch2 = /j\xF6rg/\r\n",
     "/j\xC3\x83\xC2\xB6rg/", "/j\xC3\xB6rg/", 1},
    {"CutUtf8SequenceIsLatin1", "Telefonbuch1 = /j\xC3", "/j\xC3\x83", kDefault, 1},
    {"EncodedSurrogateIsLatin1", "Telefonbuch1 = \xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80", kDefault, 1},
    {"BomAloneIsEmptyFile", "\xEF\xBB\xBF", kDefault, kDefault, 1},
    {"EmptyFile", "", kDefault, kDefault, 1},
    {"KeysIgnoreCase", "telefonbuch1=abc\nTELEFONBUCH2=def\ntOoLtIp=0\n", "abc", "def", 0},
    {"KeysAfterGroupHeaderIgnored", "[Nummernwerk]\r\nTelefonbuch1 = x\r\nToolTip = 0\r\n", kDefault, kDefault, 1},
    {"OnlyKeysBeforeFirstHeader", "ToolTip=0\r\n[a]b]c\r\nTelefonbuch1=x\r\n[b]\r\nTelefonbuch2=y", kDefault, kDefault, 0},
    {"IndentedHeaderStillAHeader", "  \t[g]\nToolTip=0", kDefault, kDefault, 1},
    {"FirstOccurrenceWins", "ToolTip = 0\r\nTelefonbuch1 = first\r\ntelefonbuch1 = second\r\nTOOLTIP = 1\r\n", "first",
     kDefault, 0},
    {"CommentLines", "; Telefonbuch1 = x\r\n;ToolTip=0\r\n \t; Telefonbuch2 = y\r\n", kDefault, kDefault, 1},
    {"RunsOfLineEnds", "\r\n\r\n\n\rTelefonbuch1 = a\r\r\r\nTelefonbuch2 = b\n\n\n", "a", "b", 1},
    {"CarriageReturnsOnly", "Telefonbuch1=a\rToolTip=0\r", "a", kDefault, 0},
    {"BlanksAndTabsTrimmed", " \t Telefonbuch1 \t= \t a b \t \r\n\tToolTip\t=\t0\t\r\n", "a b", kDefault, 0},
    {"EqualsSignInValue", "Telefonbuch1 = a=b = c\r\n", "a=b = c", kDefault, 1},
    {"BlankInsideKeyMustMatch", "Telefon buch1 = a\r\nTool Tip = 0\r\n", kDefault, kDefault, 1},
    {"SimilarKeysDoNotMatch", "Telefonbuch = a\r\nTelefonbuch12 = b\r\nToolTips = 0\r\n", kDefault, kDefault, 1},
    {"EmptyValues", "Telefonbuch1 =\r\nTelefonbuch2 =   \t\r\nToolTip =\r\n", "", "", 0},
    {"LineWithoutEquals", "Telefonbuch1\r\nTelefonbuch2   \r\nToolTip\r\n", "", "", 0},
    {"ToolTipTwo", "ToolTip = 2\r\n", kDefault, kDefault, 2},
    {"ToolTipLetters", "ToolTip = Ein\r\n", kDefault, kDefault, 0},
    {"ToolTipNegative", "ToolTip = -5\r\n", kDefault, kDefault, -5},
    {"ToolTipPlusThenLetter", "ToolTip = +7x\r\n", kDefault, kDefault, 7},
    {"ToolTipSignWithoutDigits", "ToolTip = - 5\r\n", kDefault, kDefault, 0},
    {"ToolTipLeadingZeros", "ToolTip = 0010\r\n", kDefault, kDefault, 10},
    {"ToolTipTooLarge", "ToolTip = 99999999999\r\n", kDefault, kDefault, 2147483647},
    {"ToolTipTooSmall", "ToolTip = -99999999999\r\n", kDefault, kDefault, -2147483647 - 1},
};

INSTANTIATE_TEST_SUITE_P(AppSettings, SettingsRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AppSettings, CaseFoldingCoversOnlyAsciiLetters)
{
    SettingsFile settings;
    settings.Parse("\xC4pfel = 1\r\n\xFC" "ber = 2\r\n");
    EXPECT_EQ(settings.ReadInteger(U16("\xC3\xA4pfel"), -1), -1);
    EXPECT_EQ(settings.ReadInteger(U16("\xC3\x84PFEL"), -1), 1);
    EXPECT_EQ(settings.ReadInteger(U16("\xC3\xBc" "BER"), -1), 2);
}

TEST(AppSettings, MissingFileGivesDefaults)
{
    TempDir dir;
    SettingsFile settings;
    EXPECT_FALSE(settings.OpenForReading(dir / "Nummernwerk.ini"));
    EXPECT_EQ(settings.ReadText(u"Telefonbuch1", u"/prog/"), u"/prog/");
    EXPECT_EQ(settings.ReadInteger(u"ToolTip", 1), 1);
}

TEST(AppSettings, OpenForReadingForgetsEarlierContent)
{
    TempDir dir;
    SettingsFile settings;
    settings.Parse("ToolTip = 0\r\n");
    EXPECT_FALSE(settings.OpenForReading(dir / "missing.ini"));
    EXPECT_EQ(settings.ReadInteger(u"ToolTip", 1), 1);
}

// Worked out by hand: BOM, empty line, three "Key = value" lines, CR LF each;
// "ü" is C3 BC in UTF-8.
TEST(AppSettings, WrittenFileByteForByte)
{
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", "; alter Kommentar\r\n[Gruppe]\r\nAnderer = Wert\r\n");
    SettingsFile settings;
    ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
    settings.WriteText(u"Telefonbuch1", U16("C:\\Telefonb\xC3\xBC" "cher\\"));
    settings.WriteText(u"Telefonbuch2", u"/home/anna/ ");
    settings.WriteInteger(u"ToolTip", -5);
    ASSERT_TRUE(settings.Close());
    EXPECT_EQ(ReadFileBytes(dir / "Nummernwerk.ini"),
              "\xEF\xBB\xBF\r\n"
              "Telefonbuch1 = C:\\Telefonb\xC3\xBC" "cher\\\r\n"
              "Telefonbuch2 = /home/anna/ \r\n"
              "ToolTip = -5\r\n");
}

TEST(AppSettings, RewrittenKeyKeepsItsPlace)
{
    SettingsFile settings;
    settings.WriteText(u"Telefonbuch1", u"a");
    settings.WriteInteger(u"ToolTip", 1);
    settings.WriteText(u"TELEFONBUCH1", u"b");
    settings.WriteInteger(u"ToolTip", 0);
    EXPECT_EQ(settings.WrittenForm(), "\xEF\xBB\xBF\r\nTelefonbuch1 = b\r\nToolTip = 0\r\n");
}

TEST(AppSettings, DirectoryOutsideLatin1SurvivesWriteAndRead)
{
    TempDir dir;
    const std::u16string directory = U16("/home/\xE7\x94\xA8\xE6\x88\xB7/Telefonb\xC3\xBC" "cher/");
    {
        SettingsFile settings;
        ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
        settings.WriteText(u"Telefonbuch1", directory);
        settings.WriteText(u"Telefonbuch2", u"/tmp/");
        settings.WriteInteger(u"ToolTip", 2);
        ASSERT_TRUE(settings.Close());
    }
    SettingsFile settings;
    ASSERT_TRUE(settings.OpenForReading(dir / "Nummernwerk.ini"));
    EXPECT_EQ(settings.ReadText(u"Telefonbuch1", u""), directory);
    EXPECT_EQ(settings.ReadText(u"Telefonbuch2", u""), u"/tmp/");
    EXPECT_EQ(settings.ReadInteger(u"ToolTip", 1), 2);
}

// --- atomic replace -------------------------------------------------------

const std::string kOldFile = "\xEF\xBB\xBF\r\nTelefonbuch1 = /alt/\r\nTelefonbuch2 = /alt/\r\nToolTip = 1\r\n";

std::vector<std::string> DirectoryNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteThreeKeys(SettingsFile& settings)
{
    settings.WriteText(u"Telefonbuch1", u"/neu/eins/");
    settings.WriteText(u"Telefonbuch2", u"/neu/zwei/");
    settings.WriteInteger(u"ToolTip", 0);
}

struct WriteFailure {
    const char* name;
    std::size_t bytesBeforeFailure;
    bool shortWrites;  // hand over at most 3 bytes per call before failing
};

void PrintTo(const WriteFailure& c, std::ostream* os) { *os << c.name; }

class SettingsAtomicWrite : public ::testing::TestWithParam<WriteFailure> {
protected:
    void TearDown() override { SetFileWriteFault({}); }
};

TEST_P(SettingsAtomicWrite, FailurePartWayLeavesOldFile)
{
    const WriteFailure failure = GetParam();
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", kOldFile);
    SetFileWriteFault({.afterBytes = static_cast<long long>(failure.bytesBeforeFailure),
                       .writeSize = failure.shortWrites ? 3u : 0u});

    SettingsFile settings;
    ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
    WriteThreeKeys(settings);
    ASSERT_GT(settings.WrittenForm().size(), failure.bytesBeforeFailure);
    EXPECT_FALSE(settings.Close());
    EXPECT_EQ(ReadFileBytes(dir / "Nummernwerk.ini"), kOldFile);
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"Nummernwerk.ini"});
}

const WriteFailure kWriteFailures[] = {
    {"AtOnce", 0, false},
    {"InsideBom", 2, false},
    {"InsideFirstKey", 12, false},
    {"OneByteShort", 71, false},
    {"AfterShortWrites", 40, true},
};

INSTANTIATE_TEST_SUITE_P(AppSettings, SettingsAtomicWrite, ::testing::ValuesIn(kWriteFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AppSettings, ShortWritesStillGiveWholeFile)
{
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", kOldFile);
    SetFileWriteFault({.writeSize = 1});
    SettingsFile settings;
    ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
    WriteThreeKeys(settings);
    EXPECT_TRUE(settings.Close());
    SetFileWriteFault({});
    EXPECT_EQ(ReadFileBytes(dir / "Nummernwerk.ini"),
              "\xEF\xBB\xBF\r\nTelefonbuch1 = /neu/eins/\r\nTelefonbuch2 = /neu/zwei/\r\nToolTip = 0\r\n");
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"Nummernwerk.ini"});
}

// Runs attempt in a child process without root's rights (root ignores
// directory permissions); returns what it returned.
bool RunAsUnprivilegedUser(bool (*attempt)(const fs::path&), const fs::path& dir)
{
    if (::geteuid() != 0)
        return attempt(dir);
    pid_t child = ::fork();
    if (child == 0) {
        bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : attempt(dir) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop root rights";
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(AppSettings, UnwritableDirectoryLeavesOldFile)
{
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", kOldFile);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    bool anythingSucceeded = RunAsUnprivilegedUser(
        [](const fs::path& d) {
            SettingsFile settings;
            bool created = settings.CreateForWriting(d / "Nummernwerk.ini");
            WriteThreeKeys(settings);
            bool closed = settings.Close();
            return created || closed;
        },
        dir.path());
    EXPECT_FALSE(anythingSucceeded);
    EXPECT_EQ(ReadFileBytes(dir / "Nummernwerk.ini"), kOldFile);
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"Nummernwerk.ini"});
}

TEST(AppSettings, MissingDirectoryCannotBeCreated)
{
    TempDir dir;
    SettingsFile settings;
    EXPECT_FALSE(settings.CreateForWriting(dir / "fehlt" / "Nummernwerk.ini"));
    EXPECT_FALSE(fs::exists(dir / "fehlt"));
}

TEST(AppSettings, FailedRenameLeavesTargetAndNoTemporary)
{
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", kOldFile);
    SettingsFile settings;
    ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
    WriteThreeKeys(settings);
    SetFileWriteFault({.step = FileWriteStep::Rename, .error = EXDEV});
    EXPECT_FALSE(settings.Close());
    SetFileWriteFault({});
    EXPECT_EQ(ReadFileBytes(dir / "Nummernwerk.ini"), kOldFile);
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"Nummernwerk.ini"});
}

TEST(AppSettings, CloseWithoutWritesKeepsOldFile)
{
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", kOldFile);
    {
        SettingsFile settings;
        ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
        EXPECT_TRUE(settings.Close());
    }
    {
        SettingsFile settings;
        ASSERT_TRUE(settings.OpenForReading(dir / "Nummernwerk.ini"));
        EXPECT_TRUE(settings.Close());
    }
    {
        // Abandoned without Close: the temporary file goes with the object.
        SettingsFile settings;
        ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
        WriteThreeKeys(settings);
    }
    EXPECT_EQ(ReadFileBytes(dir / "Nummernwerk.ini"), kOldFile);
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"Nummernwerk.ini"});
}

TEST(AppSettings, ReplacedFileKeepsPermissions)
{
    TempDir dir;
    WriteFileBytes(dir / "Nummernwerk.ini", kOldFile);
    ::chmod((dir / "Nummernwerk.ini").c_str(), 0640);
    SettingsFile settings;
    ASSERT_TRUE(settings.CreateForWriting(dir / "Nummernwerk.ini"));
    WriteThreeKeys(settings);
    ASSERT_TRUE(settings.Close());
    struct stat info {};
    ASSERT_EQ(::stat((dir / "Nummernwerk.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
