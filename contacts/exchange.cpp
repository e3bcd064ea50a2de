#include "contacts/exchange.h"

#include <algorithm>

#include "base/path.h"
#include "base/text.h"
#include "contacts/exchange_detail.h"

namespace exchange {

std::u16string_view NumberTypeOf(unsigned marks)
{
    if (marks & Fax)
        return (marks & Work) || !(marks & Home) ? NumberType::FaxWork : NumberType::Other;
    if (marks & Cell)
        return NumberType::Mobile;
    if (marks & Home)
        return NumberType::Home;
    if (marks & Work)
        return NumberType::Work;
    return NumberType::Other;
}

unsigned MarksOfNumberType(std::u16string_view type)
{
    if (type == NumberType::Home)
        return Home;
    if (type == NumberType::Mobile)
        return Cell;
    if (type == NumberType::Work)
        return Work;
    if (type == NumberType::FaxWork)
        return Fax | Work;
    return 0;
}

std::u16string_view ClassifierOf(unsigned marks)
{
    if (marks & Home)
        return u"private";
    if (marks & Work)
        return u"work";
    return u"other";
}

unsigned MarksOfClassifier(std::u16string_view classifier)
{
    if (classifier == u"private")
        return Home;
    if (classifier == u"work")
        return Work;
    return 0;
}

unsigned MarkOfWord(std::u16string_view word)
{
    struct Word {
        std::u16string_view text;
        unsigned mark;
    };
    static constexpr Word words[] = {{u"home", Home}, {u"work", Work},   {u"cell", Cell}, {u"mobile", Cell},
                                     {u"iphone", Cell}, {u"fax", Fax}, {u"pref", Preferred}};
    for (const Word& w : words)
        if (EqualsIgnoringCase(word, w.text))
            return w.mark;
    return 0;
}

std::u16string DecodeText(std::string_view bytes)
{
    return IsValidUtf8(bytes) ? Utf8ToUtf16(bytes) : Windows1252ToUtf16(bytes);
}

std::string_view WithoutByteOrderMark(std::string_view bytes, std::string& storage)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return bytes.substr(3);
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF"))
        return bytes;
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 + 2 * i]);
        const auto b = static_cast<unsigned char>(bytes[3 + 2 * i]);
        text[i] = static_cast<char16_t>(little ? a | b << 8 : a << 8 | b);
    }
    storage = Utf16ToUtf8(text);
    return storage;
}

std::u16string LowerAscii(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::u16string_view TrimBlanks(std::u16string_view text)
{
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace exchange

std::optional<ExchangeFormat> ExchangeFormatOf(std::u16string_view fileName)
{
    const std::u16string name = exchange::LowerAscii(FilePart(fileName));
    if (name.ends_with(u".vcf") || name.ends_with(u".vcard"))
        return ExchangeFormat::VCard;
    if (name.ends_with(u".csv"))
        return ExchangeFormat::Csv;
    return std::nullopt;
}

std::u16string BookNameOf(std::u16string_view fileName)
{
    std::u16string name = FilePart(fileName);
    const std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos && dot > 0)
        name.erase(dot);
    return name;
}

// The book ------------------------------------------------------------------------

BookBuilder::BookBuilder(std::u16string_view name)
{
    // Numbered by Finish.
    AppendPhonebookFrame(records_, name, {});
}

void BookBuilder::Add(Contact& fields)
{
    AppendNewContact(records_, fields, {}, 2);
}

RecordList BookBuilder::Finish(std::u16string_view suffix)
{
    std::u16string nr;
    long long index = 0;
    for (RecordList::Node* n = records_.FirstNode(); n; n = n->next) {
        nr = DecimalText(index++);
        nr += suffix;
        n->record.nr = nr;
    }
    RecordList out(std::move(records_));
    records_ = RecordList();
    return out;
}

ImportedBook ImportContacts(ExchangeFormat format, std::string_view bytes, std::u16string_view name,
                            std::u16string_view suffix)
{
    ImportedBook book;
    BookBuilder builder(name);
    const auto add = [&builder](Contact& fields) { builder.Add(fields); };
    if (format == ExchangeFormat::VCard)
        ReadVCard(bytes, book.report, add);
    else
        ReadCsv(bytes, book.report, add);
    book.records = builder.Finish(suffix);
    return book;
}

// Texts -----------------------------------------------------------------------------

std::u16string ImportProblemText(ImportProblem problem)
{
    switch (problem) {
    case ImportProblem::CardWithoutEnd: return u"Karte ohne END:VCARD";
    case ImportProblem::NotAProperty: return u"Zeile ist keine vCard-Eigenschaft";
    case ImportProblem::BadQuotedPrintable: return u"fehlerhaftes Quoted-Printable";
    case ImportProblem::UnclosedQuote: return u"Anführungszeichen nicht geschlossen";
    case ImportProblem::TooManyFields: return u"mehr Werte als Spalten in der Kopfzeile";
    }
    return {};
}

namespace {

// "1 Kontakt wurde", "3 Kontakte wurden": a count with its words in number.
std::u16string Counted(std::size_t count, std::u16string_view one, std::u16string_view many)
{
    return DecimalText(static_cast<long long>(count)) + u" " + std::u16string(count == 1 ? one : many);
}

}  // namespace

std::u16string ImportReportMessage(const ImportReport& report)
{
    if (report.skipped.empty() && report.photos == 0 && report.unknownColumns.empty())
        return {};
    constexpr std::size_t Listed = 10;
    std::u16string text = u"  " + Counted(report.read, u"Kontakt wurde", u"Kontakte wurden") + u" gelesen.    \n";
    if (!report.skipped.empty()) {
        text += u"  " +
                Counted(report.skipped.size(), u"fehlerhafter Eintrag wurde", u"fehlerhafte Einträge wurden") +
                u" übersprungen:    \n";
        for (std::size_t i = 0; i < report.skipped.size() && i < Listed; ++i)
            text += u"  Zeile " + DecimalText(static_cast<long long>(report.skipped[i].line)) + u": " +
                    ImportProblemText(report.skipped[i].problem) + u"    \n";
        if (report.skipped.size() > Listed)
            text += u"  und " + DecimalText(static_cast<long long>(report.skipped.size() - Listed)) + u" weitere    \n";
    }
    if (report.photos > 0)
        text += u"  " + Counted(report.photos, u"Foto wurde", u"Fotos wurden") + u" nicht übernommen.    \n";
    if (!report.unknownColumns.empty()) {
        text += u"  Unbekannte Spalten, nicht übernommen:    \n  ";
        for (std::size_t i = 0; i < report.unknownColumns.size(); ++i)
            text += (i ? u", '" : u"'") + report.unknownColumns[i] + u"'";
        text += u"    \n";
    }
    text.pop_back();
    return text;
}

// Writing ------------------------------------------------------------------------

std::vector<RecordList::Node*> ContactNodes(const RecordList& records)
{
    std::vector<RecordList::Node*> out;
    for (RecordList::Node* n = records.FirstNode(); n; n = n->next)
        if (n->record.name == u"contact")
            out.push_back(n);
    return out;
}

std::string ExportContacts(ExchangeFormat format, std::span<RecordList::Node* const> contacts)
{
    return format == ExchangeFormat::VCard ? WriteVCard(contacts) : WriteCsv(contacts);
}
