#pragma once
// Before a panel's contents go ("Neu", "Laden", closing the main window),
// changes that were never saved are offered for saving.

namespace app {

// The answers of the question, in the order of its buttons.
enum UnsavedChangesAnswer : int { SaveChanges = 0, DiscardChanges = 1, KeepEditing = 2 };

// True when the caller may go on: the panel has no unsaved changes, or the
// user chose "Verwerfen", or "Speichern" and the save succeeded. False for
// "Abbrechen", for a save that failed (it has shown its error message) and
// for one that the check before saving cancelled; the panel then stays as
// it was.
bool SettleUnsavedChanges(int panel);

}  // namespace app
