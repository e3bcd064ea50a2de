#pragma once
// Duplicates in the window: "Dubletten markieren" ticks the rows whose
// contact is already there (contacts/duplicates.h), "Zusammenführen" makes
// one contact of the ticked ones (contacts/merge.h).

// "Dubletten markieren": ticks exactly the rows of the panel whose contact
// is the same contact as an earlier row's or as one in the other panel, so
// that "Löschen" removes them; every other row is unticked. A message box
// tells how many there are.
void MarkDuplicates(int panel);

// Whether "Zusammenführen" can be chosen: two or more rows are ticked.
bool CanMergeTicked(int panel);

// "Zusammenführen": merges the contacts of the ticked rows into the first
// one's; the other rows go, the merged row shows its new numbers and is
// marked. A message box tells what became of them: the merged contact, the
// quick-dial or vanity values that gave way, or why nothing was merged (more
// numbers than the router takes).
void MergeTickedContacts(int panel);
