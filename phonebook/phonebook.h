#pragma once
// The phonebook editor: the two panels, their record lists and the
// operations behind the panel buttons. Records and operations speak UTF-16;
// widgets are reached only through ui/toolkit.h.
#include <cstdint>
#include <functional>
#include <string>

#include "contacts/records.h"

// Working state shared by loading and saving.
RecordList& ScratchList();
std::u16string& PhonebookName();

// The panels, numbered 1 (left) and 2 (right).
struct PhonebookPanel;
PhonebookPanel& Panel(int panel);
std::u16string& RememberedDirectory(int panel);

// Creates the scratch list and both panels' empty record lists.
void PhonebookInit();
// Frees every record. The program itself leaves them to the end of the
// process, which takes their memory back faster than freeing them would.
void PhonebookShutdown();

// The operations behind the buttons; each takes the panel number 1 or 2 and
// does nothing for any other value.
void NewPhonebook(int panel);
void LoadPhonebook(int panel);
// True when the phonebook was written.
bool SavePhonebook(int panel);
void TickMarkedRows(int panel);
void UntickMarkedRows(int panel);
void CopyContacts(int panel);
void MoveContacts(int panel);
void DeleteContacts(int panel);

// " (1)" or " (2)": what the nr of every record a panel makes ends with.
std::u16string PanelSuffix(int panel);
// Shows the panel's contact count in its count label, and the count of the
// rows shown beside its find field.
void UpdateCountLabel(int panel);

// A panel's phonebook changed since it was loaded, created or saved: contacts
// came in or went out, one was changed or added, or its name was edited. Loading, "Neu" and a save
// that succeeded clear the mark.
void MarkPanelChanged(int panel);
// Changes that would be lost: the panel is marked changed and holds records.
bool PanelHasUnsavedChanges(int panel);

// The local clock in seconds since 1 January 1970 00:00:00 local wall-clock
// time; -1 outside the range a date can hold. Tests replace it.
std::int64_t CurrentLocalDate();
void SetClock(std::function<std::int64_t()> clock);  // empty restores the real clock
