// The event loop: every button press goes through one table from widget
// number to the operation behind it.
#include "app/app.h"
#include "app/information_window.h"
#include "app/main_window.h"
#include "app/unsaved_changes.h"
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

struct Dispatch {
    int widget;
    void (*action)(int argument);
    int argument;  // the panel for the panel operations
};

// clang-format off
constexpr Dispatch DispatchTable[] = {
    {InPanel(1, NewButton),    NewAfterAsking,   1}, {InPanel(2, NewButton),    NewAfterAsking,   2},
    {InPanel(1, LoadButton),   LoadAfterAsking,  1}, {InPanel(2, LoadButton),   LoadAfterAsking,  2},
    {InPanel(1, SaveButton),   SavePhonebook,    1}, {InPanel(2, SaveButton),   SavePhonebook,    2},
    {InPanel(1, TickButton),   TickMarkedRows,   1}, {InPanel(2, TickButton),   TickMarkedRows,   2},
    {InPanel(1, UntickButton), UntickMarkedRows, 1}, {InPanel(2, UntickButton), UntickMarkedRows, 2},
    {InPanel(1, CopyButton),   CopyContacts,     1}, {InPanel(2, CopyButton),   CopyContacts,     2},
    {InPanel(1, MoveButton),   MoveContacts,     1}, {InPanel(2, MoveButton),   MoveContacts,     2},
    {InPanel(1, DeleteButton), DeleteContacts,   1}, {InPanel(2, DeleteButton), DeleteContacts,   2},
    {InPanel(1, NameField),    MarkPanelChanged, 1}, {InPanel(2, NameField),    MarkPanelChanged, 2},
    {ToolTipCheckBox,          SetToolTipFromCheckBox, 0},
    {CloseInformationButton,   CloseInformation,       0},
};
// clang-format on

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
    case ui::Event::Widget: {
        const int widget = ui::EventWidget();
        for (const Dispatch& entry : DispatchTable) {
            if (entry.widget == widget) {
                entry.action(entry.argument);
                break;
            }
        }
        return true;
    }
    default:
        return true;
    }
}

void RunEventLoop()
{
    while (HandleEvent(ui::WaitForEvent())) {
    }
}

bool HandlePendingEvents()
{
    for (ui::Event event = ui::PollEvent(); event != ui::Event::None; event = ui::PollEvent())
        if (!HandleEvent(event))
            return false;
    return true;
}

}  // namespace app
