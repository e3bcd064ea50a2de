#pragma once
// A phonebook file read into records, and records written back into a file:
// the steps behind "Laden" and "Speichern" without widgets. The panel
// operations and the command-line tool both call them, so both read and
// write every file alike.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "contacts/exchange.h"
#include "contacts/records.h"

// The kinds of message box, numbered as the toolkit's icons.
enum class MessageIcon : int { Error = 1, Warning = 2, Information = 3 };

// A message the window shows in a box.
struct BookMessage {
    std::u16string title;
    std::u16string text;
    MessageIcon icon = MessageIcon::Information;
};

// Where written bytes go: the file at path, replaced atomically
// (base/atomic_file.h), or, when write is set, that function, which takes
// them piece by piece in order and returns false to stop.
struct ByteTarget {
    std::u16string path;
    std::function<bool(const char* bytes, std::size_t size)> write;
    // A file that is made anew whenever it is wanted need not wait for the
    // disk (Durability::Handed).
    bool remade = false;

    static ByteTarget File(std::u16string path) { return {std::move(path), {}, false}; }
};

struct WriteOutcome {
    bool written = false;
    std::u16string reason;  // why not, in the atomic writer's words
    // Message boxes the window shows about the write, in order.
    std::vector<BookMessage> messages;
};

// Reading ------------------------------------------------------------------------

struct ReadPhonebook {
    // False when the file could not be loaded at all (missing, unreadable,
    // empty): records stay empty.
    bool opened = false;
    // The parse error of a file that is not well-formed XML (status 0: none);
    // records then hold what was read up to it.
    int status = 0;
    int errorLine = 0;
    int errorColumn = 0;
    std::u16string errorMessage;
    RecordList records;
    std::u16string phonebookName = u"Unbekannt";
    // The message boxes "Laden" shows, in order: cannot open, parse error,
    // nodes left out.
    std::vector<BookMessage> messages;
};

// Writes the formatted copy "Laden" writes beside a file (WriteFormattedCopy,
// FormattedCopyPath) on a thread of its own, or at once when no thread can
// be had. The document is only read meanwhile, so others may read it too,
// but nothing may change it or free it. Wait returns when the copy is
// written, and frees the document.
class FormattedCopyWriter {
public:
    FormattedCopyWriter(int document, const std::u16string& source);
    FormattedCopyWriter(const FormattedCopyWriter&) = delete;
    FormattedCopyWriter& operator=(const FormattedCopyWriter&) = delete;
    ~FormattedCopyWriter();

    void Wait();

private:
    static constexpr int NoDocument = -2;  // once freed
    int document_;
    std::thread thread_;
};

// Loads path into the XML document under the number and reads it as
// "Laden" does: the formatting pass that cuts line breaks and collapses
// blanks, then one record per element of the main element, each nr
// followed by suffix (" (1)" in panel 1). When the file was opened, the
// document stays loaded for WriteFormattedCopy; XmlFreeDocument drops it
// when no copy is wanted. With copy, an opened file's formatted copy is
// begun there as soon as the formatting pass is done, and written while the
// records are read.
ReadPhonebook ReadPhonebookFile(int document, const std::u16string& path, const std::u16string& suffix,
                                std::optional<FormattedCopyWriter>* copy = nullptr);

// Reads a vCard or CSV file (contacts/exchange.h) as "Laden" does: into a
// phonebook named after the file (BookNameOf), every nr followed by suffix.
// Nothing stays loaded and no formatted copy is made. A file that cannot be
// read gives the cannot-open message; cards or rows left out, pictures and
// unknown columns are told in one Information message.
ReadPhonebook ReadContactsFile(ExchangeFormat format, const std::u16string& path, const std::u16string& suffix);

// The formatted copy of a document that ReadPhonebookFile left loaded:
// re-indented by 3, in the document's own encoding and line ends. The
// document is freed afterwards, also when nothing could be written. The
// copy "Laden" writes is made anew by every load (ByteTarget::remade).
WriteOutcome WriteFormattedCopy(int document, const ByteTarget& target);

// Where "Laden" writes the formatted copy of the file at path.
std::u16string FormattedCopyPath(const std::u16string& path);

// Saving -------------------------------------------------------------------------

// What "Speichern" writes: records built into the document under the
// number (new and empty, XmlCreateDocument) with every "phonebook"
// element's name set to phonebookName, re-indented by 3 with line feeds,
// UTF-8. The document stays, holding the saved tree. A document that could
// not take every record is never written.
WriteOutcome WritePhonebook(int document, const RecordList& records, const std::u16string& phonebookName,
                            const ByteTarget& target);
