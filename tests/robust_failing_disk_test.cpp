// A disk that fails part-way through a write, for every file the program
// writes: the saved phonebook, the formatted copy written on loading, and the
// settings file. Whatever the point of failure, the target holds either its
// complete old content or the complete new one, no temporary file is left,
// the save says that it failed, and a load whose copy failed is complete and
// silent.
#include "phonebook_fixture.h"

#include "app/settings_file.h"
#include "base/atomic_file.h"

#include <algorithm>

using nwtest::ReadFileBytes;
using nwtest::U16;
using nwtest::U8;
using nwtest::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

enum class Writer { SavedPhonebook, FormattedCopy, SettingsFile };

struct FailurePoint {
    const char* name;
    // Bytes written before the disk fails, from the size of the whole new
    // content; -1 for a disk that does not fail.
    long long (*after)(long long size);
};

const FailurePoint kPoints[] = {
    {"AtFirstByte", [](long long) { return 0LL; }},
    {"AfterOneByte", [](long long) { return 1LL; }},
    {"MidFile", [](long long size) { return size / 2; }},
    {"AtLastByte", [](long long size) { return size - 1; }},
    {"Never", [](long long) { return -1LL; }},
};

struct Case {
    Writer writer;
    FailurePoint point;
    bool oldFile;  // the target exists before the write
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    const char* writer = info.param.writer == Writer::SavedPhonebook  ? "Save"
                         : info.param.writer == Writer::FormattedCopy ? "FormattedCopy"
                                                                      : "Settings";
    return std::string(writer) + "_" + info.param.point.name + (info.param.oldFile ? "_OldFile" : "_NoFile");
}

void PrintTo(const Case& c, std::ostream* os)
{
    *os << CaseName(::testing::TestParamInfo<Case>(c, 0));
}

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (Writer w : {Writer::SavedPhonebook, Writer::FormattedCopy, Writer::SettingsFile})
        for (const FailurePoint& p : kPoints)
            for (bool old : {false, true})
                cases.push_back({w, p, old});
    return cases;
}

// A phonebook several write buffers long, with characters of every UTF-8 length.
std::string LargePhonebook()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<phonebooks>\n <phonebook name=\"Gro\xC3\x9F\">\n";
    for (int i = 0; i < 120; ++i)
        xml += "  <contact><category>0</category><person><realName>M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80 " +
               std::to_string(i) + "</realName></person><telephony><number type=\"home\">0301234" +
               std::to_string(i) + "</number></telephony><uniqueid>" + std::to_string(i) +
               "</uniqueid></contact>\n";
    return xml + " </phonebook>\n</phonebooks>\n";
}

// An earlier save of another phonebook: what a failed write must leave.
const std::string kOldContent =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<phonebooks>\n   <phonebook name=\"Alt\">\n      <contact>\n"
    "         <realName>Bleibt</realName>\n      </contact>\n   </phonebook>\n</phonebooks>\n";

std::vector<std::string> FileNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RobustFailingDisk : public pbtest::PanelTest, public ::testing::WithParamInterface<Case> {
protected:
    void TearDown() override
    {
        SetFileWriteFault({});
        PanelTest::TearDown();
    }

    // The target after the write: the complete old content (or no file) when
    // the disk failed, the complete new content otherwise; and beside it only
    // the files that were there before.
    void ExpectOldOrNew(const fs::path& target, const std::string& fresh, bool failed,
                        std::vector<std::string> before)
    {
        const Case c = GetParam();
        if (failed && c.oldFile)
            EXPECT_EQ(ReadFileBytes(target), kOldContent) << "the old file was damaged";
        else if (failed)
            EXPECT_FALSE(fs::exists(target)) << "a failed write left a file";
        else
            EXPECT_EQ(ReadFileBytes(target), fresh) << "the new file is not complete";
        if (!failed || c.oldFile)
            before.push_back(target.filename().string());
        std::sort(before.begin(), before.end());
        before.erase(std::unique(before.begin(), before.end()), before.end());
        EXPECT_EQ(FileNames(dir.path()), before) << "a temporary file was left";
    }
};

TEST_P(RobustFailingDisk, TargetIsCompleteOldOrCompleteNew)
{
    const Case c = GetParam();
    const std::string xml = LargePhonebook();

    switch (c.writer) {
    case Writer::SavedPhonebook: {
        LoadText(1, "pb.xml", xml);
        ASSERT_EQ(Rows(1).size(), 120u);
        // The content a save that works writes.
        ui::SetText(PanelWidgetNumber(1, FileFieldWidget), pbtest::PathText(dir / "ref.xml"));
        SavePhonebook(1);
        const std::string fresh = ReadFileBytes(dir / "ref.xml_NEU.xml");
        ASSERT_GT(fresh.size(), 3 * 4096u);
        fs::remove(dir / "ref.xml_NEU.xml");

        const fs::path target = dir / "ziel.xml_NEU.xml";
        if (c.oldFile)
            WriteFileBytes(target, kOldContent);
        const auto before = FileNames(dir.path());
        const long long after = c.point.after(static_cast<long long>(fresh.size()));
        ui::SetText(PanelWidgetNumber(1, FileFieldWidget), pbtest::PathText(dir / "ziel.xml"));
        ui::ClearRecordedMessages();
        SetFileWriteFault({.afterBytes = after});
        SavePhonebook(1);
        SetFileWriteFault({});

        const bool failed = after >= 0;
        ExpectOldOrNew(target, fresh, failed, before);
        if (failed) {
            ASSERT_EQ(Messages().size(), 1u);
            EXPECT_EQ(U8(Messages()[0].title), "Fehlermeldung");
            EXPECT_EQ(Messages()[0].icon, ui::Icon::Error);
            EXPECT_NE(Messages()[0].text.find(u"kann nicht gespeichert werden"), std::u16string::npos);
            EXPECT_NE(Messages()[0].text.find(u"ziel.xml_NEU.xml"), std::u16string::npos);
        } else {
            EXPECT_TRUE(Messages().empty());
        }
        // The panel is untouched either way, and a later save on a sound disk
        // writes the whole phonebook.
        EXPECT_EQ(Rows(1).size(), 120u);
        EXPECT_TRUE(PanelRowsInStep(1));
        SavePhonebook(1);
        EXPECT_EQ(ReadFileBytes(target), fresh);
        break;
    }
    case Writer::FormattedCopy: {
        // The copy a load on a sound disk writes, and the panel it gives.
        LoadText(2, "ref.xml", xml);
        const std::string fresh = ReadFileBytes(dir / "ref.xml_Formatiert.xml");
        ASSERT_GT(fresh.size(), 3 * 4096u);
        const auto rows = Rows(2);
        const std::size_t records = Panel(2).records.Size();

        WriteFileBytes(dir / "pb.xml", xml);
        const fs::path target = dir / "pb.xml_Formatiert.xml";
        if (c.oldFile)
            WriteFileBytes(target, kOldContent);
        const auto before = FileNames(dir.path());
        const long long after = c.point.after(static_cast<long long>(fresh.size()));
        ui::ClearRecordedMessages();
        SetFileWriteFault({.afterBytes = after});
        Load(1, dir / "pb.xml");
        SetFileWriteFault({});

        ExpectOldOrNew(target, fresh, after >= 0, before);
        EXPECT_TRUE(Messages().empty()) << "a failed formatted copy is not reported";
        EXPECT_EQ(ReadFileBytes(dir / "pb.xml"), xml) << "the loaded file was changed";
        // The load is complete: the same contacts as on a sound disk.
        const auto got = Rows(1);
        ASSERT_EQ(got.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(got[i].id, rows[i].id);
            EXPECT_EQ(got[i].name, rows[i].name);
            EXPECT_EQ(got[i].telefon, rows[i].telefon);
        }
        EXPECT_EQ(Panel(1).records.Size(), records);
        EXPECT_EQ(U8(Text(1, NameFieldWidget)), "Gro\xC3\x9F");
        EXPECT_EQ(Count(1), " Anz.: 120");
        EXPECT_TRUE(PanelRowsInStep(1));
        break;
    }
    case Writer::SettingsFile: {
        const fs::path target = dir / "Nummernwerk.ini";
        if (c.oldFile)
            WriteFileBytes(target, kOldContent);
        const auto before = FileNames(dir.path());
        SettingsFile settings;
        ASSERT_TRUE(settings.CreateForWriting(target));
        settings.WriteText(u"Telefonbuch1", U16("/home/b\xC3\xBC" "cher/eins/"));
        settings.WriteText(u"Telefonbuch2", u"/home/zwei/");
        settings.WriteInteger(u"ToolTip", 1);
        const std::string fresh = settings.WrittenForm();
        const long long after = c.point.after(static_cast<long long>(fresh.size()));
        SetFileWriteFault({.afterBytes = after});
        const bool closed = settings.Close();
        SetFileWriteFault({});
        EXPECT_EQ(closed, after < 0);
        ExpectOldOrNew(target, fresh, after >= 0, before);
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(Robust, RobustFailingDisk, ::testing::ValuesIn(AllCases()), CaseName);

// A failing disk in the middle of a working session: the panels go on, the
// next save on a sound disk writes every contact, and the file of an earlier
// save is never damaged by a failed later one.
class RobustSession : public pbtest::PanelTest {};

TEST_F(RobustSession, FailedSavesLoseNothing)
{
    LoadText(1, "eins.xml", LargePhonebook());
    NewPhonebook(2);
    ui::SetText(PanelWidgetNumber(2, FileFieldWidget), pbtest::PathText(dir / "zwei.xml"));
    const fs::path saved = dir / "zwei.xml_NEU.xml";
    std::string lastGood;
    for (int round = 0; round < 6; ++round) {
        // Move two contacts over, then save with a disk that fails every
        // other time, at a different point each time.
        TickRows(1, {0, 1});
        MoveContacts(1);
        ui::ClearRecordedMessages();
        const bool fails = round % 2 == 0;
        SetFileWriteFault({.afterBytes = fails ? round * 250 : -1});
        SavePhonebook(2);
        SetFileWriteFault({});
        EXPECT_EQ(Messages().size(), fails ? 1u : 0u) << "round " << round;
        if (fails) {
            EXPECT_EQ(fs::exists(saved) ? ReadFileBytes(saved) : std::string(), lastGood) << "round " << round;
        } else {
            lastGood = ReadFileBytes(saved);
            EXPECT_EQ(pbtest::CountContactTags(lastGood), 2 * (round + 1)) << "round " << round;
        }
        EXPECT_TRUE(PanelRowsInStep(1));
        EXPECT_TRUE(PanelRowsInStep(2));
    }
    EXPECT_EQ(Rows(1).size(), 108u);
    EXPECT_EQ(Rows(2).size(), 12u);
    EXPECT_EQ(FileNames(dir.path()),
              (std::vector<std::string>{"eins.xml", "eins.xml_Formatiert.xml", "zwei.xml_NEU.xml"}))
        << "a temporary file was left";
}

}  // namespace
