#pragma once
// "Prüfen" in the window: the findings about a panel's phonebook
// (contacts/checks.h) listed in a dialog that leads to their rows, and
// "Speichern" asking first when the book holds what the router would refuse
// or change.

// "Prüfen…" from the list's menu: lists the findings about the panel's
// phonebook; choosing one marks its contact's row and scrolls the list to it
// while the dialog stays open (a finding about the whole book has no row).
// A book without findings gets a message box saying so.
void CheckPhonebook(int panel);

// The buttons of the question before saving, in their order.
enum SaveCheckAnswer : int { SaveAnyway = 0, CancelSave = 1 };

// "Speichern": when the panel's phonebook has errors or warnings, its
// findings are listed first, and "Abbrechen" (or closing the dialog) writes
// nothing. A book with hints at most is written as SavePhonebook writes it,
// without asking. True when the phonebook was written.
bool SaveCheckedPhonebook(int panel);
