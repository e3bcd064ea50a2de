#include "phonebook/book_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "base/atomic_file.h"
#include "base/heap_warmer.h"
#include "base/path.h"
#include "base/text.h"
#include "phonebook/core.h"
#include "xml/xml.h"

namespace {

// Information boxes shown one by one for the first nodes a load leaves out;
// the rest are summed up in one further box.
constexpr long long SingleIgnoredNodeBoxes = 10;

BookMessage CannotOpenMessage(const std::u16string& path)
{
    return {u"Fehlermeldung",
            u"  Das Telefonbuch kann nicht geöffnet werden.    \n\n  Datei:  " + FilePart(path) +
                u"    \n\n  Pfad:   " + DirectoryPart(path) + u"    ",
            MessageIcon::Error};
}

BookMessage ParseErrorMessage(int line, int column, const std::u16string& message)
{
    return {u"Fehlermeldung",
            u"  Fehler in der XML-Datei.    \n\n  Zeile:\t" + DecimalText(line) + u"    \n  Spalte:\t" +
                DecimalText(column) + u"    \n\n  Meldung:\n    " + message + u"    \n",
            MessageIcon::Warning};
}

// The whole file; false when it cannot be opened or read to its end.
bool ReadWholeFile(const std::u16string& path, std::string& bytes)
{
    std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    if (!file)
        return false;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    const bool read = !std::ferror(file);
    std::fclose(file);
    return read;
}

WriteOutcome WriteDocument(int document, const ByteTarget& target, unsigned flags = 0)
{
    WriteOutcome outcome;
    if (target.write) {
        outcome.written = XmlWriteDocument(document, flags, target.write) != 0;
        if (!outcome.written)
            outcome.reason = FileWriteReason(EIO);
    } else {
        if (target.remade)
            flags |= XmlSaveHandedToDisk;
        outcome.written = XmlSaveFileEx(document, target.path, flags, &outcome.reason) != 0;
    }
    return outcome;
}

// The formatted copy: re-indented by 3, laid out while it is written, so
// that the document itself stays as it is.
WriteOutcome WriteReformatted(int document, const ByteTarget& target)
{
    return WriteDocument(document, target, XmlSaveReformatted(3));
}

}  // namespace

FormattedCopyWriter::FormattedCopyWriter(int document, const std::u16string& source) : document_(document)
{
    const auto write = [document, copy = FormattedCopyPath(source)] {
        WriteReformatted(document, {copy, {}, true});
    };
    try {
        thread_ = std::thread(write);
    } catch (const std::system_error&) {
        write();
    }
}

FormattedCopyWriter::~FormattedCopyWriter()
{
    Wait();
}

void FormattedCopyWriter::Wait()
{
    if (thread_.joinable())
        thread_.join();
    if (document_ != NoDocument)
        XmlFreeDocument(std::exchange(document_, NoDocument));
}

ReadPhonebook ReadPhonebookFile(int document, const std::u16string& path, const std::u16string& suffix,
                                std::optional<FormattedCopyWriter>* copy)
{
    // Pages for the document and the records, some eight times the file,
    // come ready from the other processor while this one reads.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(NativePath(path), error);
    HeapWarmer warmer(error ? 0 : static_cast<std::size_t>(size) * 8);
    ReadPhonebook book;
    if (!XmlLoadFile(document, path)) {
        book.messages.push_back(CannotOpenMessage(path));
        return book;
    }
    book.opened = true;
    book.status = XmlStatus(document);
    if (book.status != 0) {
        book.errorLine = XmlErrorLine(document);
        book.errorColumn = XmlErrorColumn(document);
        book.errorMessage = XmlErrorMessage(document);
        book.messages.push_back(ParseErrorMessage(book.errorLine, book.errorColumn, book.errorMessage));
    }
    XmlFormat(document, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
    if (copy)
        copy->emplace(document, path);
    if (XmlNode* main = XmlMainNode(document)) {
        long long ignored = 0;
        FlattenDocument(main, suffix, book.records, book.phonebookName, [&](int kind) {
            if (++ignored <= SingleIgnoredNodeBoxes)
                book.messages.push_back({u"Information", IgnoredNodeMessage(kind), MessageIcon::Information});
        });
        if (ignored > SingleIgnoredNodeBoxes)
            book.messages.push_back({u"Information", FurtherIgnoredNodesMessage(ignored - SingleIgnoredNodeBoxes),
                                     MessageIcon::Information});
    }
    return book;
}

ReadPhonebook ReadContactsFile(ExchangeFormat format, const std::u16string& path, const std::u16string& suffix)
{
    ReadPhonebook book;
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        book.messages.push_back(CannotOpenMessage(path));
        return book;
    }
    book.opened = true;
    book.phonebookName = BookNameOf(path);
    ImportedBook imported = ImportContacts(format, bytes, book.phonebookName, suffix);
    book.records = std::move(imported.records);
    // One box: what was left out, after the note that the file held no
    // contacts at all.
    std::u16string text = ImportReportMessage(imported.report);
    if (!imported.report.recognized)
        text = u"  In der Datei wurden keine Kontakte gefunden.    \n\n  Datei:  " + FilePart(path) +
               u"    \n\n  Pfad:   " + DirectoryPart(path) + u"    " + (text.empty() ? u"" : u"\n\n") + text;
    if (!text.empty())
        book.messages.push_back({u"Information", std::move(text), MessageIcon::Information});
    return book;
}

WriteOutcome WriteFormattedCopy(int document, const ByteTarget& target)
{
    WriteOutcome outcome = WriteReformatted(document, target);
    XmlFreeDocument(document);
    return outcome;
}

std::u16string FormattedCopyPath(const std::u16string& path)
{
    return path + u"_Formatiert.xml";
}

WriteOutcome WritePhonebook(int document, const RecordList& records, const std::u16string& phonebookName,
                            const ByteTarget& target)
{
    // Pages for the document, some hundred and fifty bytes a record.
    HeapWarmer warmer(records.Size() * 150);
    RebuildReport report;
    if (!BuildPhonebookDocument(document, records, phonebookName, &report))
        return {false, FileWriteReason(ENOMEM), {}};
    // Nested deeper than a load accepts, the file would not load again.
    if (report.levels > static_cast<std::size_t>(XmlMaxLoadDepth))
        return {false, u"zu tief verschachtelt", {}};
    // Re-indented by 3 with line feeds: one pass with both flags gives the
    // bytes of a reformat followed by a pass that makes every line break a
    // line feed, with one walk over the tree instead of two.
    XmlFormat(document, XmlFormatReformat | XmlFormatLf, 3);
    WriteOutcome outcome = WriteDocument(document, target);
    if (outcome.written && !report.leftOut.empty())
        outcome.messages.push_back(
            {u"Information", LeftOutCharactersMessage(records, report.leftOut), MessageIcon::Information});
    return outcome;
}
