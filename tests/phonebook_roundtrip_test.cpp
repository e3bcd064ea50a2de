// Real router exports and generated phonebooks: load, save, load again.
#include "phonebook_fixture.h"

#include <algorithm>
#include <filesystem>
#include <random>

using nwtest::ReadFileBytes;
using nwtest::U16;
using nwtest::U8;
using pbtest::ElementSummary;
using pbtest::Row;

namespace {

std::vector<std::filesystem::path> RealFiles()
{
    std::vector<std::filesystem::path> files;
    const auto folder = nwtest::SharedTestData() / "real";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        // Only the exports themselves: a load writes its tidied copy beside
        // the file, and such copies are not part of the set.
        if (entry.path().extension() == ".xml" &&
            entry.path().filename().string().find("_Formatiert") == std::string::npos &&
            entry.path().filename().string().find("_NEU") == std::string::npos)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A phonebook with the shapes routers and tools write, and the awkward
// values: umlauts, markup characters, bars and backslashes in attributes,
// line breaks and runs of blanks in texts, empty and nested elements.
std::string GeneratedPhonebook(int contacts, unsigned seed)
{
    std::mt19937 random(seed);
    const char* const names[] = {"Jörg Müller", "A &amp; B", "O'Neil", "x &lt; y", "Ärztin\n   Dr. Weiß",
                                 "  Tab\there", "Zoë \"Z\""};
    const char* const values[] = {"home", "a|b", "C:\\pfad\\", "|\\", "&quot;zitat&quot;", "", "mobile"};
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<phonebooks>\n<phonebook owner=\"1\" "
                      "name=\"Gen|" + std::to_string(seed) + "\">\n";
    for (int i = 0; i < contacts; ++i) {
        const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        if (pick(10) == 0) {
            xml += "<contact/>\n";
            continue;
        }
        xml += "<contact>\n  <category>" + std::to_string(pick(2)) + "</category>\n";
        xml += "  <person><realName>" + std::string(names[pick(7)]) + "</realName></person>\n";
        xml += "  <telephony nid=\"" + std::to_string(pick(4)) + "\">\n";
        for (int n = pick(4); n > 0; --n)
            xml += "    <number type=\"" + std::string(values[pick(7)]) + "\" prio=\"" + std::to_string(pick(2)) +
                   "\">0" + std::to_string(random() % 100000) + "</number>\n";
        if (pick(3) == 0)
            xml += "    <number type=\"work\"/>\n";
        xml += "  </telephony>\n";
        if (pick(2))
            xml += "  <services><email classifier=\"" + std::string(values[pick(7)]) + "\">a@b.de</email></services>\n";
        if (pick(4))
            xml += "  <uniqueid>" + std::to_string(i) + "</uniqueid>\n";
        xml += "</contact>\n";
    }
    xml += "</phonebook>\n</phonebooks>\n";
    return xml;
}

class PhonebookRoundTrip : public pbtest::PanelTest {
protected:
    // Loads file into panel 1, saves it, loads the saved file into panel 2
    // and compares rows and elements.
    void RoundTrip(const std::filesystem::path& file)
    {
        const std::string source = ReadFileBytes(file);
        ui::ClearRecordedMessages();
        Load(1, file);
        // No parse error; Information boxes for comments and the like only.
        for (const ui::RecordedMessage& m : Messages())
            EXPECT_EQ(U8(m.title), "Information") << file << ": " << U8(m.text);
        const auto rows1 = Rows(1);
        EXPECT_EQ(rows1.size(), static_cast<std::size_t>(pbtest::CountContactTags(source))) << file;
        EXPECT_FALSE(rows1.empty()) << file;
        EXPECT_TRUE(PanelRowsInStep(1));

        const std::u16string loadedName = PhonebookName();
        ui::SetText(PanelWidgetNumber(1, FileFieldWidget), pbtest::PathText(dir / "kopie"));
        SavePhonebook(1);
        const auto saved = dir / "kopie_NEU.xml";
        ASSERT_TRUE(std::filesystem::exists(saved)) << file;
        const std::string savedBytes = ReadFileBytes(saved);

        ui::ClearRecordedMessages();
        Load(2, saved);
        EXPECT_TRUE(Messages().empty()) << file;
        std::vector<Row> expected = rows1;
        for (Row& r : expected)
            r.nr.replace(r.nr.size() - 2, 1, "2");
        EXPECT_EQ(Rows(2), expected) << file;
        EXPECT_EQ(PhonebookName(), loadedName);

        // Same elements, attributes (the phonebook's name as the Name field
        // gave it) and texts as the source, in the same order.
        auto original = pbtest::ExpatElements(source);
        for (ElementSummary& e : original)
            if (e.name == "phonebook")
                for (auto& a : e.attributes)
                    if (a.first == "name")
                        a.second = U8(loadedName);
        bool wellFormed = false;
        const auto again = pbtest::ExpatElements(savedBytes, &wellFormed);
        EXPECT_TRUE(wellFormed) << file;
        ASSERT_EQ(again.size(), original.size()) << file;
        for (std::size_t i = 0; i < original.size(); ++i)
            ASSERT_EQ(again[i], original[i]) << file << ": element " << i << " <" << original[i].name << ">";

        // Saving the reloaded panel gives the same file again.
        ui::SetText(PanelWidgetNumber(2, FileFieldWidget), pbtest::PathText(dir / "zwei"));
        SavePhonebook(2);
        EXPECT_EQ(pbtest::ExpatElements(ReadFileBytes(dir / "zwei_NEU.xml")), again) << file;
    }
};

TEST_F(PhonebookRoundTrip, RealRouterExports)
{
    const auto files = RealFiles();
    if (files.empty())
        GTEST_SKIP() << "no real phonebooks in " << (nwtest::SharedTestData() / "real");
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        // Loading writes beside the file; the shared exports stay untouched.
        const auto copy = dir / file.filename();
        std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
        RoundTrip(copy);
    }
}

TEST_F(PhonebookRoundTrip, GeneratedPhonebooks)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        const auto file = dir / ("gen" + std::to_string(seed) + ".xml");
        nwtest::WriteFileBytes(file, GeneratedPhonebook(150, seed));
        SCOPED_TRACE(seed);
        RoundTrip(file);
    }
}

}  // namespace
