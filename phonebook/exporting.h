#pragma once
// "Exportieren…" in the window: a panel's contacts written out as vCard or
// CSV (contacts/exchange.h) for phones, mail programs and Google.

// Asks for the file with a save dialog and writes the contacts of the
// ticked rows, or of every row when none is ticked, in the format the
// file's extension names (.vcf or .csv). The file is replaced as a whole or
// not at all; a file that either panel loaded is never written over, and a
// write that fails says why in an error box.
void ExportPanelContacts(int panel);
