#include "app/unsaved_changes.h"

#include <string>
#include <vector>

#include "app/main_window.h"
#include "phonebook/checking.h"
#include "phonebook/phonebook.h"
#include "ui/toolkit.h"

namespace app {

bool SettleUnsavedChanges(int panel)
{
    if (!PanelHasUnsavedChanges(panel))
        return true;
    const std::vector<std::u16string> buttons = {u"Speichern", u"Verwerfen", u"Abbrechen"};
    const int answer = ui::Question(u"Ungespeicherte Änderungen",
                                    u"  \"" + PanelTitleText(panel) +
                                        u"\" wurde geändert und ist noch nicht gespeichert.    \n\n"
                                        u"  Sollen die Änderungen gespeichert werden?    ",
                                    ui::Icon::Warning, buttons, SaveChanges, KeepEditing);
    switch (answer) {
    case SaveChanges:
        // A save that failed has shown its message; one the check before it
        // cancelled has written nothing. Either way the panel stays.
        return SaveCheckedPhonebook(panel);
    case DiscardChanges:
        return true;
    default:
        return false;
    }
}

}  // namespace app
