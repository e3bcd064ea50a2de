#pragma once
// Shared pieces of the phonebook tests: parsing small documents into records,
// and a main window with both panels' widgets on the real toolkit.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/text.h"
#include "phonebook/core.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "phonebook_checks.h"
#include "test_support.h"
#include "ui/toolkit.h"
#include "xml/xml.h"

namespace pbtest {

// Brings up the XML library and the toolkit once per process.
void EnsureLibraries();

std::u16string PathText(const std::filesystem::path& path);

// A document parsed from text, formatted as loading does (0x58) and flattened.
struct Flattened {
    RecordList records;
    std::u16string name = u"Unbekannt";
    std::vector<int> ignoredKinds;
    int status = 0;
};
Flattened FlattenXml(const std::string& xml, const std::u16string& suffix = u" (1)");

// One record as a test writes it down.
struct Rec {
    const char* nr;
    int depth;
    const char* name;
    const char* attributes;
    const char* text;
};
// Compares records field by field and names the first difference.
void ExpectRecords(const RecordList& records, const std::vector<Rec>& expected);

// One list row's columns 1 to 4 (Nr., ID, Name, Telefon), as UTF-8.
struct Row {
    std::string nr, id, name, telefon;
    bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Row& row);
std::vector<Row> RowsOf(const std::vector<ContactRow>& rows);

// The elements of a document file as Expat sees them, independently of the
// project's XML library: name, attributes in order, and the element's own
// character data without line breaks, runs of blanks and tabs made one blank,
// trimmed.
struct ElementSummary {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    int depth = 0;
    bool operator==(const ElementSummary&) const = default;
};
std::vector<ElementSummary> ExpatElements(const std::string& bytes, bool* wellFormed = nullptr);

// Counts the start tags "<contact" followed by a blank, ">" or "/" in raw bytes.
int CountContactTags(const std::string& bytes);

// The main window with both panels' widgets 2..15 and 18..31, made once per
// process; every test starts with empty panels, fields and lists, recorded
// message boxes and no queued dialog answers.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Answers the open-file dialog with path and presses "Laden".
    void Load(int panel, const std::filesystem::path& path);
    void LoadText(int panel, const std::string& name, const std::string& xml);

    static int List(int panel) { return PanelWidgetNumber(panel, ContactListWidget); }
    static std::u16string Text(int panel, PanelWidget widget) { return ui::GetText(PanelWidgetNumber(panel, widget)); }
    static std::string Count(int panel);
    static std::vector<Row> Rows(int panel);
    static std::vector<int> States(int panel);
    static void SetStates(int panel, const std::vector<int>& states);
    static void TickRows(int panel, const std::vector<int>& rows);
    static void TickAllRows(int panel);
    static std::vector<std::string> RecordNames(int panel);
    static std::string RecordSummary(int panel);  // "name[nr]" per record, for messages
    std::vector<ui::RecordedMessage> Messages() const { return ui::RecordedMessages(); }

    nwtest::TempDir dir;
};

}  // namespace pbtest
