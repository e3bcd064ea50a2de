// The event loop: every button press and menu entry goes through a table
// from widget number to the operation behind it.
#include "app/app.h"
#include "app/information_window.h"
#include "app/unsaved_changes.h"
#include "phonebook/edit.h"
#include "phonebook/checking.h"
#include "phonebook/exporting.h"
#include "phonebook/merging.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"

namespace app {
namespace {

// The information window's check box: the setting follows the box.
void SetToolTipFromCheckBox(int)
{
    ToolTipSetting() = ui::GetState(ToolTipCheckBox) != 0 ? 1 : 0;
}

// "Schliessen", or a close request from the information window: the
// information window goes for the rest of the run.
void CloseInformation(int)
{
    ui::CloseWindow(InformationWindow);
    ui::ActivateWindow(MainWindow);
}

// "Neu" and "Laden" first settle the panel's unsaved changes. "Laden" asks
// before its file dialog; a dialog cancelled afterwards leaves the panel as
// it was.
void NewAfterAsking(int panel)
{
    if (SettleUnsavedChanges(panel))
        NewPhonebook(panel);
}

void LoadAfterAsking(int panel)
{
    if (SettleUnsavedChanges(panel))
        LoadPhonebook(panel);
}

// A close request from the main window ends the program once the unsaved
// changes of both panels are settled.
bool MayEnd()
{
    return SettleUnsavedChanges(1) && SettleUnsavedChanges(2);
}

// A widget and the operation it starts.
template <typename Widget>
struct Dispatch {
    Widget widget;
    void (*action)(int argument);
};

// "Speichern" checks the book first; whether it was written has been shown.
void SaveAfterChecking(int panel)
{
    SaveCheckedPhonebook(panel);
}

// The panel's buttons, its Name field, the entries of its list's menu, its
// row activation and its find field: each starts its operation for its own
// panel.
constexpr Dispatch<PanelWidget> PanelDispatchTable[] = {
    {NewButtonWidget, NewAfterAsking},
    {LoadButtonWidget, LoadAfterAsking},
    {SaveButtonWidget, SaveAfterChecking},
    {TickButtonWidget, TickMarkedRows},
    {UntickButtonWidget, UntickMarkedRows},
    {CopyButtonWidget, CopyContacts},
    {MoveButtonWidget, MoveContacts},
    {DeleteButtonWidget, DeleteContacts},
    {NameFieldWidget, MarkPanelChanged},
    {CheckMenuEntry, CheckPhonebook},
    {RowActivatedEvent, EditActivatedContact},
    {EditMenuEntry, EditMarkedContact},
    {NewContactMenuEntry, NewContact},
    {FindFieldWidget, FindInPanel},
    {MarkDuplicatesMenuEntry, MarkDuplicates},
    {MergeMenuEntry, MergeTickedContacts},
    {ExportMenuEntry, ExportPanelContacts},
};

// The information window's widgets.
constexpr Dispatch<int> WindowDispatchTable[] = {
    {ToolTipCheckBox, SetToolTipFromCheckBox},
    {CloseInformationButton, CloseInformation},
};

// Starts what the widget stands for; nothing for a widget without an
// operation.
void StartOperation(int widget)
{
    for (int panel = 1; panel <= 2; ++panel)
        for (const auto& entry : PanelDispatchTable)
            if (PanelWidgetNumber(panel, entry.widget) == widget) {
                entry.action(panel);
                return;
            }
    for (const auto& entry : WindowDispatchTable)
        if (entry.widget == widget) {
            entry.action(0);
            return;
        }
}

}  // namespace

bool HandleEvent(ui::Event event)
{
    switch (event) {
    case ui::Event::CloseRequest:
        if (ui::EventWindow() == InformationWindow) {
            CloseInformation(0);
            return true;
        }
        return !MayEnd();
    case ui::Event::Widget:
        StartOperation(ui::EventWidget());
        return true;
    default:
        return true;
    }
}

void RunEventLoop()
{
    while (HandleEvent(ui::WaitForEvent())) {
    }
}

}  // namespace app
