#include "app/main_window.h"

#include <algorithm>
#include <tuple>

#include "app/app.h"
#include "phonebook/edit.h"
#include "phonebook/merging.h"
#include "ui/toolkit.h"

namespace app {
namespace {

using ui::Rgb;

constexpr ui::Colour WindowGrey = Rgb(198, 198, 198);
constexpr ui::Colour PanelGrey = Rgb(230, 230, 230);
constexpr ui::Colour Red = Rgb(255, 0, 0);
constexpr ui::Colour Blue = Rgb(0, 0, 255);
constexpr ui::Colour FieldText = Rgb(81, 81, 81);
constexpr ui::Colour System = ui::DefaultColour;

constexpr unsigned MainWindowFlags =
    ui::WindowTitleBar | ui::WindowSystemMenu | ui::WindowMinimiseBox | ui::WindowScreenCentred;
constexpr unsigned ListOptions = ui::ListCheckBoxes | ui::ListMultiSelect | ui::ListShowSelectionAlways |
                                 ui::ListGridLines | ui::ListFullRowSelect;

struct PanelFrame {
    int container;
    int x, y, width, height;
    const char16_t* title;
};

constexpr PanelFrame Panels[] = {
    {PanelWidgetNumber(1, PanelContainerWidget), 10, 10, 800, 900, u"Telefonbuch 1"},
    {PanelWidgetNumber(2, PanelContainerWidget), 820, 10, 800, 900, u"Telefonbuch 2"},
};

enum class Kind { Label, Button, Field, List };

// One line per widget of a panel, in creation order; positions inside the
// panel. Only the "A +" button differs in x between the panels.
struct WidgetLine {
    PanelWidget widget;
    Kind kind;
    int x1, x2;  // x in panel 1, in panel 2
    int y, width, height;
    const char16_t* text;  // nullptr: the panel's title
    int font;
    ui::Colour textColour, background;
};

// clang-format off
constexpr WidgetLine Widgets[] = {
    //  widget             kind          x1   x2    y  width height text           font         text       background
    {PanelTitleWidget,    Kind::Label,   10,  10,  10, 120,  26, nullptr,        HeadingFont, Red,       PanelGrey},
    {CountLabelWidget,    Kind::Label,  130, 130,  10,  90,  26, u" Anz.: 0",    NormalFont,  Blue,      PanelGrey},
    {NewButtonWidget,     Kind::Button, 220, 220,  10,  40,  24, u"Neu",         NormalFont,  System,    System},
    {LoadButtonWidget,    Kind::Button, 265, 265,  10,  55,  24, u"Laden",       NormalFont,  System,    System},
    {SaveButtonWidget,    Kind::Button, 325, 325,  10,  80,  24, u"Speichern",   NormalFont,  System,    System},
    {NameCaptionWidget,   Kind::Label,   10,  10,  45,  50,  24, u"Name:",       NormalFont,  Blue,      PanelGrey},
    {NameFieldWidget,     Kind::Field,   60,  60,  45, 120,  24, u"",            NormalFont,  FieldText, PanelGrey},
    {FileCaptionWidget,   Kind::Label,  190, 190,  45,  45,  24, u"Datei:",      NormalFont,  Blue,      PanelGrey},
    {FileFieldWidget,     Kind::Field,  235, 235,  45, 555,  24, u"",            NormalFont,  FieldText, PanelGrey},
    {TickButtonWidget,    Kind::Button, 430, 435,  10,  40,  24, u"A +",         NormalFont,  System,    System},
    {UntickButtonWidget,  Kind::Button, 475, 475,  10,  40,  24, u"A -",         NormalFont,  System,    System},
    {CopyButtonWidget,    Kind::Button, 540, 540,  10,  75,  24, u"Kopieren",    NormalFont,  System,    System},
    {MoveButtonWidget,    Kind::Button, 620, 620,  10,  95,  24, u"Verschieben", NormalFont,  System,    System},
    {DeleteButtonWidget,  Kind::Button, 720, 720,  10,  70,  24, u"Löschen",     NormalFont,  System,    System},
    {ContactListWidget,   Kind::List,     0,   0,  75, 798, 823, u"",            ListFont,    System,    System},
};
// clang-format on

struct ListColumn {
    int position;
    const char16_t* title;
    int width;
};

constexpr int CheckColumnWidth = 25;  // column 0, the check boxes, has no title
constexpr ListColumn Columns[] = {
    {1, u"Nr.", 65},
    {2, u"ID", 45},
    {3, u"Name", 230},
    {4, u"Telefon", 410},
};

// The entries of each panel's list menu, top to bottom. enabled, when
// given, tells for a panel whether the entry can be chosen now; it is asked
// each time the menu opens.
struct MenuLine {
    PanelWidget entry;
    const char16_t* text;
    bool (*enabled)(int panel);
};

constexpr MenuLine MenuLines[] = {
    {EditMenuEntry, u"Bearbeiten…", HasMarkedContact},
    {NewContactMenuEntry, u"Neuer Kontakt…", nullptr},
    {CheckMenuEntry, u"Prüfen…", nullptr},
    {MarkDuplicatesMenuEntry, u"Dubletten markieren", nullptr},
    {MergeMenuEntry, u"Zusammenführen", CanMergeTicked},
    {ExportMenuEntry, u"Exportieren…", nullptr},
};

struct ToolTip {
    PanelWidget button;  // panel 2's buttons get the same text
    const char16_t* text;
};

constexpr ToolTip ToolTips[] = {
    {NewButtonWidget, u"Neues Telefonbuch anlegen."},
    {LoadButtonWidget, u"Vorhandenes Telefonbuch aus XML-Datei einlesen."},
    {SaveButtonWidget, u"Aktuelles Telefonbuch in XML-Datei schreiben. Mit Zusatz '_NEU.xml'."},
    {TickButtonWidget, u"Bei allen markierten Einträgen, die Auswahl setzen."},
    {UntickButtonWidget, u"Bei allen markierten Einträgen, die Auswahl löschen."},
    {CopyButtonWidget, u"Alle ausgewählten Einträge kopieren."},
    {MoveButtonWidget, u"Alle ausgewählten Einträge verschieben."},
    {DeleteButtonWidget, u"Alle ausgewählten Einträge löschen."},
};

void CreateWidget(const WidgetLine& w, int panel, const PanelFrame& frame)
{
    const int number = PanelWidgetNumber(panel, w.widget);
    const int x = panel == 1 ? w.x1 : w.x2;
    const std::u16string text = w.text ? w.text : frame.title;
    switch (w.kind) {
    case Kind::Label:
        ui::TextLabel(number, x, w.y, w.width, w.height, text, 0);
        break;
    case Kind::Button:
        ui::Button(number, x, w.y, w.width, w.height, text);
        break;
    case Kind::Field:
        ui::TextField(number, x, w.y, w.width, w.height, text, ui::FieldNoBorder);
        break;
    case Kind::List:
        ui::ListView(number, x, w.y, w.width, w.height, text, CheckColumnWidth, ListOptions);
        break;
    }
    ui::SetWidgetFont(number, w.font);
    if (w.background != System)
        ui::SetWidgetColour(number, ui::ColourBackground, w.background);
    if (w.textColour != System)
        ui::SetWidgetColour(number, ui::ColourText, w.textColour);
    if (w.kind == Kind::List)
        for (const ListColumn& column : Columns)
            ui::AddColumn(number, column.position, column.title, column.width);
}

void CreateListMenu(int panel)
{
    std::vector<ui::MenuEntry> entries;
    for (const MenuLine& line : MenuLines)
        entries.push_back({PanelWidgetNumber(panel, line.entry), line.text});
    ui::SetContextMenu(PanelWidgetNumber(panel, ContactListWidget), entries, [panel](int number) {
        for (const MenuLine& line : MenuLines)
            if (PanelWidgetNumber(panel, line.entry) == number)
                return !line.enabled || line.enabled(panel);
        return false;
    });
}

void BuildPanel(int panel)
{
    const PanelFrame& frame = Panels[panel - 1];
    ui::Container(frame.container, frame.x, frame.y, frame.width, frame.height, ui::ContainerFlatBorder);
    ui::SetWidgetColour(frame.container, ui::ColourBackground, PanelGrey);
    for (const WidgetLine& line : Widgets)
        CreateWidget(line, panel, frame);
    const int list = PanelWidgetNumber(panel, ContactListWidget);
    ui::SetRowActivationEvent(list, PanelWidgetNumber(panel, RowActivatedEvent));
    ui::FindField(PanelWidgetNumber(panel, FindFieldWidget), PanelWidgetNumber(panel, FindCountWidget), list);
    CreateListMenu(panel);
    ui::CloseContainerList();
}

// A blue phonebook with a red desk telephone on its white label.
// clang-format off
constexpr const char* IconRows[IconSize] = {
    "................",
    ".KKKKKKKKKKKKK..",
    ".KBBBBBBBBBBBKP.",
    ".KBBBBBBBBBBBKP.",
    ".KBWWWWWWWWWBKP.",
    ".KBWRRRRRRRWBKP.",
    ".KBWRRWWWRRWBKP.",
    ".KBWWWRRRWWWBKP.",
    ".KBWWRRRRRWWBKP.",
    ".KBWRRRWRRRWBKP.",
    ".KBWRRRRRRRWBKP.",
    ".KBWWWWWWWWWBKP.",
    ".KBBBBBBBBBBBKP.",
    ".KBBBBBBBBBBBKP.",
    ".KKKKKKKKKKKKKP.",
    "..PPPPPPPPPPPPP.",
};
// clang-format on

std::uint32_t IconColour(char c)
{
    switch (c) {
    case 'K': return 0xFF102040;  // outline
    case 'B': return 0xFF2456A8;  // cover
    case 'W': return 0xFFFFFFFF;  // label
    case 'R': return 0xFFD42020;  // telephone
    case 'P': return 0xFFD0D0D0;  // page edges
    default: return 0x00000000;   // transparent
    }
}

}  // namespace

std::u16string PanelTitleText(int panel)
{
    return panel == 1 || panel == 2 ? Panels[panel - 1].title : u"";
}

std::vector<int> MainWindowTabOrder()
{
    std::vector<const WidgetLine*> focusable;
    for (const WidgetLine& w : Widgets)
        if (w.kind != Kind::Label)
            focusable.push_back(&w);
    std::stable_sort(focusable.begin(), focusable.end(), [](const WidgetLine* a, const WidgetLine* b) {
        return std::tie(a->y, a->x1) < std::tie(b->y, b->x1);
    });
    std::vector<int> order;
    for (int panel = 1; panel <= 2; ++panel)
        for (const WidgetLine* w : focusable)
            order.push_back(PanelWidgetNumber(panel, w->widget));
    return order;
}

std::vector<std::uint32_t> ProgramIcon()
{
    std::vector<std::uint32_t> pixels;
    pixels.reserve(IconSize * IconSize);
    for (const char* row : IconRows)
        for (int x = 0; x < IconSize; ++x)
            pixels.push_back(IconColour(row[x]));
    return pixels;
}

void BuildMainWindow(const std::u16string& title, bool toolTips)
{
    if (!ui::OpenWindow(MainWindow, 0, 0, MainWindowWidth, MainWindowHeight, title, MainWindowFlags, ui::NoWindow))
        return;
    ui::SetWindowIcon(MainWindow, IconSize, IconSize, ProgramIcon());
    ui::SetWindowColour(MainWindow, WindowGrey);
    BuildPanel(1);
    BuildPanel(2);
    ui::SetTabOrder(MainWindowTabOrder());
    if (toolTips)
        for (int panel = 1; panel <= 2; ++panel)
            for (const ToolTip& tip : ToolTips)
                ui::AttachToolTip(PanelWidgetNumber(panel, tip.button), tip.text);
}

}  // namespace app
