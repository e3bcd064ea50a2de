#pragma once
// What a phonebook panel holds, and its widget numbers.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "contacts/records.h"

// Widget numbers of panel 1; panel 2 adds PanelWidgetOffset to each. The
// main window's table (app/main_window.cpp) and the operations behind the
// buttons both use these.
enum PanelWidget : int {
    PanelContainerWidget = 0,
    PanelTitleWidget = 1,
    CountLabelWidget = 2,
    NewButtonWidget = 3,
    LoadButtonWidget = 4,
    SaveButtonWidget = 5,
    NameCaptionWidget = 6,
    NameFieldWidget = 7,
    FileCaptionWidget = 8,
    FileFieldWidget = 9,
    TickButtonWidget = 10,
    UntickButtonWidget = 11,
    CopyButtonWidget = 12,
    MoveButtonWidget = 13,
    DeleteButtonWidget = 14,
    ContactListWidget = 15,
    // Beyond the window's own widgets (0 to 35, the information window's
    // included): the entries of the list's context menu, the find bar over
    // the list, and the list's row activation (double click, Return), each
    // reported as a widget event of its own number.
    CheckMenuEntry = 36,
    EditMenuEntry = 37,
    NewContactMenuEntry = 38,
    MarkDuplicatesMenuEntry = 39,
    MergeMenuEntry = 40,
    ExportMenuEntry = 41,
    FindFieldWidget = 42,
    FindCountWidget = 43,
    RowActivatedEvent = 44,
};
constexpr int PanelWidgetOffset = 16;

// The number of a panel's widget: PanelWidgetNumber(2, ContactListWidget) is 31.
constexpr int PanelWidgetNumber(int panel, PanelWidget widget)
{
    return widget + (panel == 2 ? PanelWidgetOffset : 0);
}

struct PhonebookPanel {
    int number = 0;
    RecordList records;
    std::u16string rememberedDirectory;
    // Changed since it was loaded, created or saved (MarkPanelChanged).
    bool changed = false;

    // Every row of the panel's list carries a hidden key, unique within the
    // panel for the whole run; this index leads from the key to the row's
    // "contact" record. The visible "Nr." text is only shown, never looked up:
    // the same text can stand in a panel twice.
    std::unordered_map<std::uint64_t, RecordList::Node*> contactByKey;
    std::uint64_t nextKey = 1;

    std::uint64_t NewKey() { return nextKey++; }
};
