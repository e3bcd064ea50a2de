#pragma once
// Changing, adding and finding contacts in a panel: the operations behind
// the list's "Bearbeiten…" and "Neuer Kontakt…", its row activation (double
// click, Return) and its find field. Each takes the panel number 1 or 2 and
// does nothing for any other value.

// The contact of the marked row (the one with the focus mark, else the
// first marked one) in the contact dialog.
void EditMarkedContact(int panel);
// Whether the panel's list has a marked row to edit.
bool HasMarkedContact(int panel);
// The contact of the row the list reported activated, in the dialog.
void EditActivatedContact(int panel);
// The empty contact dialog; "OK" appends the contact to the panel's book
// (starting a new phonebook first when the panel has none) and its row to
// the list.
void NewContact(int panel);
// The find field opened or changed: the list shows the rows whose ID, Name or
// Telefon holds its text, and the label beside it their count.
void FindInPanel(int panel);
// "<shown> von <all>" beside the find field while it holds a text, else
// nothing.
void ShowFindCount(int panel);
