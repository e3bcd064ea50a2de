#include "phonebook_fixture.h"

#include <expat.h>

#include <ostream>

using nwtest::U16;
using nwtest::U8;

namespace pbtest {

void EnsureLibraries()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    XmlLibraryInit();
    ui::Init();
}

std::u16string PathText(const std::filesystem::path& path)
{
    return Utf8ToUtf16(path.string());
}

Flattened FlattenXml(const std::string& xml, const std::u16string& suffix)
{
    EnsureLibraries();
    nwtest::TempDir dir;
    const auto file = dir / "in.xml";
    nwtest::WriteFileBytes(file, xml);
    Flattened out;
    if (!XmlLoadFile(0, PathText(file))) {
        ADD_FAILURE() << "the library did not load the test document";
        return out;
    }
    out.status = XmlStatus(0);
    XmlFormat(0, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
    if (XmlNode* main = XmlMainNode(0))
        FlattenDocument(main, suffix, out.records, out.name, [&out](int kind) { out.ignoredKinds.push_back(kind); });
    XmlFreeDocument(0);
    return out;
}

void ExpectRecords(const RecordList& records, const std::vector<Rec>& expected)
{
    EXPECT_EQ(records.Size(), expected.size());
    std::size_t i = 0;
    for (const NodeRecord& r : records) {
        if (i >= expected.size())
            break;
        const Rec& e = expected[i];
        EXPECT_EQ(U8(r.nr), e.nr) << "record " << i;
        EXPECT_EQ(r.depth, e.depth) << "record " << i;
        EXPECT_EQ(U8(r.name), e.name) << "record " << i;
        EXPECT_EQ(U8(r.attributes), e.attributes) << "record " << i;
        EXPECT_EQ(U8(r.text), e.text) << "record " << i;
        ++i;
    }
}

std::ostream& operator<<(std::ostream& os, const Row& row)
{
    return os << "{" << row.nr << " | " << row.id << " | " << row.name << " | " << row.telefon << "}";
}

std::vector<Row> RowsOf(const std::vector<ContactRow>& rows)
{
    std::vector<Row> out;
    for (const ContactRow& r : rows)
        out.push_back({U8(r.nr), U8(r.id), U8(r.name), U8(r.telefon)});
    return out;
}

namespace {

struct ExpatState {
    std::vector<ElementSummary> elements;
    std::vector<std::size_t> open;  // indices into elements
    std::vector<std::string> texts;
};

// Whitespace as loading leaves it, and trimmed: line breaks removed, runs of
// blanks and tabs made one blank.
std::string Collapse(const std::string& s)
{
    std::string out;
    bool blank = false;
    for (char c : s) {
        if (c == '\r' || c == '\n')
            continue;
        if (c == ' ' || c == '\t') {
            blank = !out.empty();
        } else {
            if (blank)
                out += ' ';
            blank = false;
            out += c;
        }
    }
    return out;
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts)
{
    auto* st = static_cast<ExpatState*>(data);
    ElementSummary e;
    e.name = name;
    e.depth = static_cast<int>(st->open.size());
    for (int i = 0; atts[i]; i += 2)
        e.attributes.emplace_back(atts[i], atts[i + 1]);
    st->open.push_back(st->elements.size());
    st->elements.push_back(std::move(e));
    st->texts.emplace_back();
}

void XMLCALL OnEnd(void* data, const XML_Char*)
{
    auto* st = static_cast<ExpatState*>(data);
    st->elements[st->open.back()].text = Collapse(st->texts.back());
    st->open.pop_back();
    st->texts.pop_back();
}

void XMLCALL OnText(void* data, const XML_Char* s, int len)
{
    auto* st = static_cast<ExpatState*>(data);
    if (!st->texts.empty())
        st->texts.back().append(s, static_cast<std::size_t>(len));
}

}  // namespace

std::vector<ElementSummary> ExpatElements(const std::string& bytes, bool* wellFormed)
{
    ExpatState st;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &st);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    const bool ok = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    if (wellFormed)
        *wellFormed = ok;
    return st.elements;
}

int CountContactTags(const std::string& bytes)
{
    int count = 0;
    for (std::size_t pos = bytes.find("<contact"); pos != std::string::npos; pos = bytes.find("<contact", pos + 1)) {
        const char next = pos + 8 < bytes.size() ? bytes[pos + 8] : '\0';
        if (next == ' ' || next == '>' || next == '/' || next == '\t' || next == '\r' || next == '\n')
            ++count;
    }
    return count;
}

// Panel window ---------------------------------------------------------------------

namespace {

void MakePanelWidgets(int panel, int x)
{
    auto w = [panel](PanelWidget widget) { return PanelWidgetNumber(panel, widget); };
    ui::TextLabel(w(CountLabelWidget), x + 380, 40, 100, 20, u" Anz.: 0", 0);
    ui::Button(w(NewButtonWidget), x + 10, 70, 80, 25, u"Neu");
    ui::Button(w(LoadButtonWidget), x + 100, 70, 80, 25, u"Laden");
    ui::Button(w(SaveButtonWidget), x + 190, 70, 80, 25, u"Speichern");
    ui::TextLabel(PanelWidgetNumber(panel, NameFieldWidget) - 1, x + 10, 100, 50, 20, u"Name:", 0);
    ui::TextField(w(NameFieldWidget), x + 60, 100, 400, 20, u"", 0);
    ui::TextLabel(PanelWidgetNumber(panel, FileFieldWidget) - 1, x + 10, 125, 50, 20, u"Datei:", 0);
    ui::TextField(w(FileFieldWidget), x + 60, 125, 400, 20, u"", 0);
    ui::Button(w(TickButtonWidget), x + 10, 150, 40, 25, u"A +");
    ui::Button(w(UntickButtonWidget), x + 60, 150, 40, 25, u"A -");
    ui::Button(w(CopyButtonWidget), x + 110, 150, 80, 25, u"Kopieren");
    ui::Button(w(MoveButtonWidget), x + 200, 150, 80, 25, u"Verschieben");
    ui::Button(w(DeleteButtonWidget), x + 290, 150, 80, 25, u"Löschen");
    const int list = w(ContactListWidget);
    ui::ListView(list, x + 10, 180, 520, 400, u"", 25,
                 ui::ListCheckBoxes | ui::ListMultiSelect | ui::ListShowSelectionAlways | ui::ListGridLines |
                     ui::ListFullRowSelect);
    ui::AddColumn(list, 1, u"Nr.", 65);
    ui::AddColumn(list, 2, u"ID", 45);
    ui::AddColumn(list, 3, u"Name", 230);
    ui::AddColumn(list, 4, u"Telefon", 410);
    ui::FindField(w(FindFieldWidget), w(FindCountWidget), list);
}

void EnsurePanelWindow()
{
    EnsureLibraries();
    static bool made = false;
    if (made)
        return;
    made = true;
    ui::OpenWindow(0, 0, 0, 1100, 600, u"Nummernwerk", ui::WindowTitleBar | ui::WindowSystemMenu, ui::NoWindow);
    MakePanelWidgets(1, 0);
    MakePanelWidgets(2, 550);
}

}  // namespace

void PanelTest::SetUp()
{
    EnsurePanelWindow();
    PhonebookInit();
    SetClock({});
    for (int panel = 1; panel <= 2; ++panel) {
        ui::ClearItems(List(panel));
        ui::SetText(PanelWidgetNumber(panel, FindFieldWidget), u"");
        ui::FilterRows(List(panel), u"", {});
        ui::SetText(PanelWidgetNumber(panel, NameFieldWidget), u"");
        ui::SetText(PanelWidgetNumber(panel, FileFieldWidget), u"");
        ui::SetText(PanelWidgetNumber(panel, CountLabelWidget), u" Anz.: 0");
    }
    ui::RecordMessageBoxes(true);
    ui::ClearRecordedMessages();
}

void PanelTest::TearDown()
{
    ui::ClearRecordedMessages();
    SetClock({});
    XmlFreeDocument(0);
}

void PanelTest::Load(int panel, const std::filesystem::path& path)
{
    ui::SetNextOpenFileAnswer(PathText(path));
    LoadPhonebook(panel);
}

void PanelTest::LoadText(int panel, const std::string& name, const std::string& xml)
{
    nwtest::WriteFileBytes(dir / name, xml);
    Load(panel, dir / name);
}

std::string PanelTest::Count(int panel)
{
    return U8(ui::GetText(PanelWidgetNumber(panel, CountLabelWidget)));
}

std::vector<Row> PanelTest::Rows(int panel)
{
    std::vector<Row> rows;
    const int list = List(panel);
    const int n = ui::CountItems(list);
    for (int i = 0; i < n; ++i)
        rows.push_back({U8(ui::GetItemText(list, i, 1)), U8(ui::GetItemText(list, i, 2)),
                        U8(ui::GetItemText(list, i, 3)), U8(ui::GetItemText(list, i, 4))});
    return rows;
}

std::vector<int> PanelTest::States(int panel)
{
    std::vector<int> states;
    const int n = ui::CountItems(List(panel));
    for (int i = 0; i < n; ++i)
        states.push_back(ui::GetItemState(List(panel), i));
    return states;
}

void PanelTest::SetStates(int panel, const std::vector<int>& states)
{
    for (std::size_t i = 0; i < states.size(); ++i)
        ui::SetItemState(List(panel), static_cast<int>(i), states[i]);
}

void PanelTest::TickRows(int panel, const std::vector<int>& rows)
{
    for (int row : rows)
        ui::SetItemState(List(panel), row, ui::RowTicked);
}

void PanelTest::TickAllRows(int panel)
{
    for (int row = ui::CountItems(List(panel)) - 1; row >= 0; --row)
        ui::SetItemState(List(panel), row, ui::RowTicked);
}

std::vector<std::string> PanelTest::RecordNames(int panel)
{
    std::vector<std::string> names;
    for (const NodeRecord& r : Panel(panel).records)
        names.push_back(U8(r.name));
    return names;
}

std::string PanelTest::RecordSummary(int panel)
{
    std::string out;
    for (const NodeRecord& r : Panel(panel).records)
        out += U8(r.name) + "[" + U8(r.nr) + "] ";
    return out;
}

}  // namespace pbtest
