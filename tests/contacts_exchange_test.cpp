// vCard and CSV: the round trips over real, example, generated and random
// books; files as phones and mail programs write them; one table per format
// feature; malformed input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "contacts/exchange.h"
#include "contacts_books.h"
#include "phonebook/core.h"
#include "test_support.h"
#include "xml/xml.h"

using nwtest::U16;
using nwtest::U8;
namespace fs = std::filesystem;

namespace {

const fs::path Data = fs::path(NW_TEST_DATA_DIR) / "exchange";

std::vector<Contact> ReadAll(ExchangeFormat format, const std::string& bytes, ImportReport& report)
{
    std::vector<Contact> out;
    const auto take = [&out](Contact& c) { out.push_back(c); };
    format == ExchangeFormat::VCard ? ReadVCard(bytes, report, take) : ReadCsv(bytes, report, take);
    return out;
}

// What every importer must get right: name, VIP, numbers with type and main
// mark ("*"), addresses with classifier.
std::string Render(const Contact& c)
{
    std::string out = U8(c.name) + (c.vip ? " [VIP]" : "");
    for (const ContactNumber& n : c.numbers)
        out += " | " + U8(n.type) + (n.prio == u"1" ? "*" : "") + " " + U8(n.text);
    for (const ContactEmail& e : c.emails)
        out += " | @" + U8(e.classifier) + " " + U8(e.text);
    return out;
}

std::string Render(const std::vector<Contact>& contacts)
{
    std::string out;
    for (const Contact& c : contacts)
        out += Render(c) + "\n";
    return out;
}

// Every field a round trip keeps.
std::string Exact(const Contact& c)
{
    std::string out = "name=" + U8(c.name) + " vip=" + std::to_string(c.vip) + " uid=" + U8(c.uniqueId) +
                      " mod=" + U8(c.modTime) + " img=" + U8(c.imageUrl) + "\n";
    for (const ContactNumber& n : c.numbers)
        out += "  n " + U8(n.text) + "|" + U8(n.type) + "|" + U8(n.prio) + "|" + U8(n.quickdial) + "|" + U8(n.vanity) +
               "|" + U8(n.id) + "\n";
    for (const ContactEmail& e : c.emails)
        out += "  e " + U8(e.text) + "|" + U8(e.classifier) + "|" + U8(e.id) + "\n";
    return out;
}

// The contact as a new record of its own gets it: empty prio and ids filled.
Contact Filled(Contact c)
{
    RecordList scratch;
    for (ContactNumber& n : c.numbers)
        n.node = nullptr;
    for (ContactEmail& e : c.emails)
        e.node = nullptr;
    AppendNewContact(scratch, c, u"0", 0);
    return c;
}

std::string ExactBook(const std::vector<RecordList::Node*>& contacts, bool filled)
{
    std::string out;
    for (RecordList::Node* node : contacts)
        out += Exact(filled ? Filled(ReadContact(node)) : ReadContact(node));
    return out;
}

// Contacts in every shape the fields allow: texts with the characters both
// formats escape, long ones that fold, more numbers than the router takes,
// every type and classifier and odd attribute values.
RecordList RandomBook(unsigned seed, int contacts)
{
    std::mt19937 random(seed);
    const auto pick = [&random](std::initializer_list<const char16_t*> items) {
        return std::u16string(items.begin()[random() % items.size()]);
    };
    const auto text = [&]() {
        std::u16string t;
        for (int k = random() % 4; k >= 0; --k)
            t += pick({u"Jürgen", u"Weiß, Hans", u"a;b", u"back\\slash", u"zwei\nZeilen", u" Blank ", u"\"quoted\"",
                       u"^caret", u"x:y", u"\U0001F4DE", u"€", u""});
        if (random() % 10 == 0)
            t += std::u16string(100 + random() % 100, u'ä');
        return t;
    };
    BookBuilder builder(u"Zufall");
    for (int i = 0; i < contacts; ++i) {
        Contact c;
        c.name = text();
        c.vip = random() % 3 == 0;
        c.uniqueId = pick({u"", u"17", u"a,b"});
        c.modTime = pick({u"", u"1700000000"});
        c.imageUrl = pick({u"", u"file:///var/media/ftp/FRITZ/fonpix/1.jpg"});
        for (int k = random() % 12; k > 0; --k) {
            ContactNumber& n = c.numbers.emplace_back();
            n.text = random() % 8 ? pick({u"030 1234567", u"+49 (171) 555-01", u"**611", u"500@hd.avm.de", u"0,1;2"})
                                  : text();
            n.type = random() % 3 ? std::u16string(NumberTypes[random() % NumberTypes.size()])
                                  : pick({u"", u"fax_home", u"a|b\\c", u"label:", u"mobile "});
            n.prio = pick({u"", u"0", u"1", u"2"});
            n.quickdial = pick({u"", u"", u"7", u"99"});
            n.vanity = pick({u"", u"", u"ABC", u"x;y\"z^"});
            n.id = pick({u"", u"", u"5", u"x"});
        }
        for (int k = random() % 4; k > 0; --k) {
            ContactEmail& e = c.emails.emplace_back();
            e.text = random() % 4 ? pick({u"a@example.org", u"b@example.com"}) : text();
            e.classifier = pick({u"private", u"work", u"other", u"", u"business", u"label:"});
            e.id = pick({u"", u"3"});
        }
        builder.Add(c);
    }
    return builder.Finish(u" (1)");
}

// The records of a book saved as "Speichern" saves it and loaded again.
RecordList SavedAndLoaded(const RecordList& records)
{
    nwtest::TempDir dir;
    const fs::path file = dir / "book.xml";
    EXPECT_TRUE(XmlCreateDocument(0, XmlEncoding::Utf8));
    EXPECT_TRUE(BuildPhonebookDocument(0, records, u"Buch"));
    XmlFormat(0, XmlFormatReformat, 3);
    XmlFormat(0, XmlFormatLf, 3);
    EXPECT_NE(XmlSaveFile(0, U16(file.string())), 0);
    XmlFreeDocument(0);
    return nwtest::LoadRecords(file);
}

// Written vCard: UTF-8, CRLF only, no line longer than 75 octets.
void ExpectWellWrittenVCard(const std::string& bytes)
{
    EXPECT_TRUE(IsValidUtf8(bytes));
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        ASSERT_TRUE(end > start && bytes[end - 1] == '\r') << "LF without CR at " << end;
        ASSERT_LE(end - 1 - start, 75u) << bytes.substr(start, end - start);
        ASSERT_EQ(bytes.find('\r', start), end - 1);
    }
    EXPECT_EQ(start, bytes.size());
}

// XML -> vCard -> XML and XML -> CSV -> XML keep every field of every
// contact, in the panel and once the imported book is saved and loaded.
TEST(ContactsExchange, BooksWrittenOutAndReadBackKeepEveryField)
{
    auto books = nwtest::Books();
    books.emplace_back("random", RandomBook(7, 400));
    for (auto& [name, records] : books) {
        const std::vector<RecordList::Node*> contacts = ContactNodes(records);
        const std::string expected = ExactBook(contacts, true);
        for (ExchangeFormat format : {ExchangeFormat::VCard, ExchangeFormat::Csv}) {
            SCOPED_TRACE(name + (format == ExchangeFormat::VCard ? " vCard" : " CSV"));
            const std::string bytes = ExportContacts(format, contacts);
            if (format == ExchangeFormat::VCard) {
                ExpectWellWrittenVCard(bytes);
            } else {
                EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF") && IsValidUtf8(bytes));
            }
            ImportedBook book = ImportContacts(format, bytes, u"Buch", u" (2)");
            EXPECT_TRUE(book.report.recognized);
            EXPECT_EQ(book.report.read, contacts.size());
            EXPECT_TRUE(book.report.skipped.empty() && book.report.unknownColumns.empty());
            EXPECT_EQ(ExactBook(ContactNodes(book.records), false), expected);
            if (name != "random") {  // its texts hold characters a load tidies
                EXPECT_EQ(ExactBook(ContactNodes(SavedAndLoaded(book.records)), false), expected);
            }
        }
    }
    if (!fs::is_directory(nwtest::SharedTestData() / "real"))
        GTEST_SKIP() << "no real exports in " << nwtest::SharedTestData() << "; the other books passed";
}

struct ExporterFile {
    const char* file;
    const char* contacts;  // Render, one line per contact
    std::size_t photos = 0;
    const char* unknownColumns = "";
};

const ExporterFile kExporterFiles[] = {
    {"ios.vcf",
     "Jörg Brückner [VIP] | mobile* +49 171 5550123 | home 030 5550124 | fax_work 0800 5550125 | other 089 5550126 | "
     "mobile 0151 5550127 | @private joerg@example.org | @work buero@example.com\n"
     "Stadtwerke Musterstadt | other* 0800 5550199 | other 0800 5550198\n",
     1},
    {"android.vcf",
     "Hans-Jürgen Müller-Lüdenscheidt | mobile* +4915155501234 | home 0221 5550123 | work 0221 5550987 | "
     "fax_work 0221 5550988 | other 0221 5550555 | @private hj@example.net\n"
     "Öffentliche Bibliothek der Stadtteilbücherei Ehrenfeld und Umgebung | other 0221 5550111\n"
     "„Ecke“ Köln\n",
     1},
    {"google.vcf",
     "Anna Schäfer [VIP] | mobile 0160 5550321 | home +49 40 5550322 | other +49 40 5550323 | "
     "@work anna.schaefer@example.com\n"
     "Praxis Dr. Weiß, Hausärzte | work 040 5550400 | fax_work 040 5550401\n"},
    {"outlook.vcf",
     "Jürgen Weiß | work (0711) 555-0200 | home (0711) 555-0201 | mobile 0172 5550202 | fax_work (0711) 555-0203 | "
     "@other juergen.weiss@example.de\n"
     "„Bäckerei am Eck“ €-Laden | work 0711 5550300\n"},
    {"thunderbird.vcf", "Lena Groß | work 0341 5550700 | mobile 0176 5550701 | home* +49-341-5550702 | @other lena@example.org\n"},
    {"google.csv",
     "Anna Schäfer [VIP] | mobile* 0160 5550321 | home +49 40 5550322 | home +49 40 5550324 | fax_work 040 5550325 | "
     "@work anna.schaefer@example.com | @private anna@example.net\n"
     "Praxis Dr. Weiß | work 040 5550400\n",
     1},
    {"google_old.csv", "Björn Krüger | mobile 0171 5550800 | work 0421 5550801 | @private bjoern@example.org\n"},
    {"outlook_en.csv",
     "Jürgen Weiß [VIP] | fax_work (0711) 555-0203 | work (0711) 555-0200 | home (0711) 555-0201 | "
     "mobile 0172 5550202 | @other juergen.weiss@example.de\n"
     "Stadtwerke Musterstadt | other 0800 5550198 | other* 0800 5550199\n"},
    {"outlook_de.csv",
     "Käthe Müßig | fax_work 0351 5550503 | work 0351 5550502 | other 0351 5550504 | home 0351 5550500 | "
     "mobile 0152 5550501 | @other kaethe@example.de | @other k.muessig@example.com\n"},
    {"thunderbird.csv",
     "Lena Groß | work 0341 5550700 | home 0341 5550702 | mobile 0176 5550701 | @other lena@example.org | "
     "@other lena.gross@example.com\n"
     "Tom Ölmann | fax_work 0341 5550710\n"},
    {"thunderbird_de.csv",
     "Özlem Yılmaz | home 0911 5550600 | other 0911 5550602 | mobile 0157 5550601 | @other oezlem@example.org\n"},
    {"own_columns.csv", "Oma Hilde\n", 0, "Telefon,E-Mail,Lieblingsfarbe"},
};

class ContactsExchangeFiles : public ::testing::TestWithParam<ExporterFile> {};

// Files as phones, Google, Outlook and Thunderbird write them: every name
// and number; imported and written out again as vCard, the same contacts.
TEST_P(ContactsExchangeFiles, LoadWithEveryNameAndNumber)
{
    const ExporterFile& f = GetParam();
    const std::string bytes = nwtest::ReadFileBytes(Data / f.file);
    const auto format = ExchangeFormatOf(U16(f.file));
    ASSERT_TRUE(format);
    ImportReport report;
    const std::vector<Contact> contacts = ReadAll(*format, bytes, report);
    EXPECT_EQ(Render(contacts), f.contacts);
    EXPECT_EQ(report.photos, f.photos);
    EXPECT_TRUE(report.skipped.empty());
    std::string unknown;
    for (const std::u16string& column : report.unknownColumns)
        unknown += (unknown.empty() ? "" : ",") + U8(column);
    EXPECT_EQ(unknown, f.unknownColumns);

    const ImportedBook book = ImportContacts(*format, bytes, BookNameOf(U16(f.file)), u" (1)");
    const std::string again = ExportContacts(ExchangeFormat::VCard, ContactNodes(book.records));
    EXPECT_EQ(Render(ReadAll(ExchangeFormat::VCard, again, report)), f.contacts);
}

INSTANTIATE_TEST_SUITE_P(Exporters, ContactsExchangeFiles, ::testing::ValuesIn(kExporterFiles),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Each exporter file cut off after every byte: a vCard file gives the
// cards before the cut as the whole file gives them and tells at most the
// one cut; a CSV file gives at least the rows that end before the cut as
// the whole file does.
TEST(ContactsExchange, FilesCutAnywhereGiveWhatIsWhole)
{
    for (const ExporterFile& f : kExporterFiles) {
        const std::string bytes = nwtest::ReadFileBytes(Data / f.file);
        const ExchangeFormat format = *ExchangeFormatOf(U16(f.file));
        ImportReport report;
        const std::vector<Contact> whole = ReadAll(format, bytes, report);
        std::vector<std::size_t> rowEnds;  // line feeds outside quotes
        bool quoted = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            quoted = quoted != (bytes[i] == '"');
            if (bytes[i] == '\n' && !quoted)
                rowEnds.push_back(i);
        }
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            SCOPED_TRACE(std::string(f.file) + " cut at " + std::to_string(cut));
            const std::vector<Contact> part = ReadAll(format, bytes.substr(0, cut), report);
            std::size_t complete = part.size();
            if (format == ExchangeFormat::Csv) {
                complete = static_cast<std::size_t>(std::count_if(rowEnds.begin(), rowEnds.end(),
                                                                  [cut](std::size_t end) { return end < cut; }));
                complete -= complete > 0;  // the header
                ASSERT_GE(part.size(), complete);
            }
            ASSERT_LE(complete, whole.size());
            ASSERT_EQ(Render(std::vector<Contact>(part.begin(), part.begin() + complete)),
                      Render(std::vector<Contact>(whole.begin(), whole.begin() + complete)));
            ASSERT_LE(report.skipped.size(), 1u);
        }
    }
}

std::string Card(const std::string& lines)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n";
}

// text as UTF-16 with a byte-order mark.
std::string Utf16(std::u16string_view text, bool little)
{
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        out.append({little ? low : high, little ? high : low});
    }
    return out;
}

std::string Repeated(const std::string& piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    while (times-- > 0)
        out += piece;
    return out;
}

struct FeatureCase {
    const char* name;
    ExchangeFormat format;
    std::string bytes;
    const char* contacts;
};

const FeatureCase kFeatures[] = {
    // vCard line folding.
    {"FoldBlank", ExchangeFormat::VCard, Card("FN:Jürgen\r\n  Müller\r\n"), "Jürgen Müller\n"},
    {"FoldTab", ExchangeFormat::VCard, Card("FN:Jür\r\n\tgen\r\n"), "Jürgen\n"},
    {"FoldInsideUtf8", ExchangeFormat::VCard, Card("FN:J\xC3\r\n \xBCrgen\r\n"), "Jürgen\n"},
    {"FoldInsideName", ExchangeFormat::VCard, Card("FN:A\r\nTE\r\n L;TYPE=HO\r\n ME:030 1\r\n"), "A | home 030 1\n"},
    // Escapes and names.
    {"Escapes", ExchangeFormat::VCard, Card("FN:Weiß\\, Hans\\; jun.\\nZeile\\\\2\\N\r\n"),
     "Weiß, Hans; jun.\nZeile\\2\n\n"},
    {"NameFromN", ExchangeFormat::VCard, Card("N:Mül\\;ler;Hans;Peter,Paul;Dr.;jun.\r\n"), "Hans Peter Paul Mül;ler\n"},
    {"EmptyFnTakesN", ExchangeFormat::VCard, Card("FN:\r\nN:Weiß;Anna;;;\r\n"), "Anna Weiß\n"},
    {"NameFromOrg", ExchangeFormat::VCard, Card("N:;;;;\r\nORG:Firma\\, GmbH;Abteilung\r\n"), "Firma, GmbH\n"},
    {"TelUri", ExchangeFormat::VCard, Card("TEL;VALUE=uri;TYPE=work:tel:+49-30-1\r\n"), " | work +49-30-1\n"},
    // vCard encodings.
    {"QuotedPrintableUtf8", ExchangeFormat::VCard,
     Card("FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen=20=e2=82=ac\r\n"), "Jürgen €\n"},
    {"QuotedPrintableLatin1", ExchangeFormat::VCard, Card("FN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:J=FCrgen\r\n"),
     "Jürgen\n"},
    {"QuotedPrintable1252", ExchangeFormat::VCard,
     Card("FN;ENCODING=QUOTED-PRINTABLE;CHARSET=windows-1252:=84Gr=FC=DFe=93 =80\r\n"), "„Grüße“ €\n"},
    {"SoftBreakInsideUtf8", ExchangeFormat::VCard, Card("FN;ENCODING=QUOTED-PRINTABLE:J=C3=\r\n=BCrgen=\r\n\r\n"),
     "Jürgen\n"},
    {"Utf8Bytes", ExchangeFormat::VCard, Card("FN:J\xC3\xBCrgen\r\n"), "Jürgen\n"},
    {"Windows1252Bytes", ExchangeFormat::VCard, Card("FN:J\xFCrgen \x80\r\n"), "Jürgen €\n"},
    {"Utf8ByteOrderMark", ExchangeFormat::VCard, "\xEF\xBB\xBF" + Card("FN:Ä\r\n"), "Ä\n"},
    {"Utf16LittleEndian", ExchangeFormat::VCard, Utf16(u"BEGIN:VCARD\r\nFN:Ä\U0001F4DE\r\nEND:VCARD", true), "Ä\U0001F4DE\n"},
    {"LineFeedsOnly", ExchangeFormat::VCard, "BEGIN:VCARD\nFN:A\n B\nEND:VCARD\n", "AB\n"},
    {"CarriageReturnsOnly", ExchangeFormat::VCard, "BEGIN:VCARD\rFN:A\r B\rEND:VCARD\r", "AB\n"},
    // CSV: separators, quoting, encodings, columns.
    {"Comma", ExchangeFormat::Csv, "Name,Mobile Phone\r\nA,1\r\n", "A | mobile 1\n"},
    {"Semicolon", ExchangeFormat::Csv, "Name;Mobile Phone;Notes\nA;1;x,y\n", "A | mobile 1\n"},
    {"Tab", ExchangeFormat::Csv, "Name\tMobile Phone\tNotes\nA, B\t1\tx;y\n", "A, B | mobile 1\n"},
    {"Quoted", ExchangeFormat::Csv, "Name,Home Phone\r\n\"Weiß, \"\"Hans\"\"\r\njun.\",\"030, 1\"\r\nB,2\r\n",
     "Weiß, \"Hans\"\r\njun. | home 030, 1\nB | home 2\n"},
    {"CsvUtf8ByteOrderMark", ExchangeFormat::Csv, "\xEF\xBB\xBFName\r\nJ\xC3\xBCrgen\r\n", "Jürgen\n"},
    {"CsvWindows1252", ExchangeFormat::Csv, "Vorname;Nachname\r\nJ\xFCrgen;Wei\xDF\r\n", "Jürgen Weiß\n"},
    {"CsvEncodingPerValue", ExchangeFormat::Csv, "Name,Notes\nJ\xC3\xBCrgen,\xFF\nWei\xDF,\n", "Jürgen\nWeiß\n"},
    {"CsvUtf16BigEndian", ExchangeFormat::Csv, Utf16(u"Name\nÄ", false), "Ä\n"},
    {"HeaderBlanksAndCase", ExchangeFormat::Csv, " first name , LAST NAME ,COMPANY\nAnna,Weiß,X\n,,Firma\n",
     "Anna Weiß\nFirma\n"},
    {"DisplayNameFirst", ExchangeFormat::Csv, "First Name,Last Name,Display Name\nA,B,Anzeige\nA,B,\n", "Anzeige\nA B\n"},
    {"GoogleLabels", ExchangeFormat::Csv,
     "Name,Labels,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value,E-mail 1 - Label,E-mail 1 - Value\n"
     "A,* myContacts ::: VIP,* Work Fax,1 ::: 2,Home Fax,3,* Home,a@b\n"
     "B,Kunden,Pager,4,Main,,Work,\n",
     "A [VIP] | fax_work* 1 | fax_work* 2 | other 3 | @private a@b\nB | other 4 | other  | @work \n"},
    {"Categories", ExchangeFormat::Csv, "Name,Categories\nA,Kunden;vip\nB,\"VIP, Familie\"\nC,VIPs\n",
     "A [VIP]\nB [VIP]\nC\n"},
    {"BlankRowsAndRaggedRows", ExchangeFormat::Csv, "Name,Home Phone,Notes\n\nA\n,,\nB,2,x,,\n", "A\nB | home 2\n"},
};

class ContactsExchangeFeature : public ::testing::TestWithParam<FeatureCase> {};

TEST_P(ContactsExchangeFeature, Reads)
{
    ImportReport report;
    EXPECT_EQ(Render(ReadAll(GetParam().format, GetParam().bytes, report)), GetParam().contacts);
    EXPECT_TRUE(report.recognized && report.skipped.empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, ContactsExchangeFeature, ::testing::ValuesIn(kFeatures),
                         [](const auto& info) { return std::string(info.param.name); });

struct TypeCase {
    const char* line;  // a TEL or EMAIL line, or more lines of one group
    const char* entry;
};

// Types, preferences and Apple's labels.
const TypeCase kTypes[] = {
    {"TEL;TYPE=HOME:1", "home 1"},
    {"TEL;HOME;VOICE:1", "home 1"},
    {"TEL;TYPE=WORK:1", "work 1"},
    {"TEL;type=CELL;type=pref:1", "mobile* 1"},
    {"TEL;CELL;PREF:1", "mobile* 1"},
    {"TEL;TYPE=iPhone:1", "mobile 1"},
    {"TEL;TYPE=work,fax:1", "fax_work 1"},
    {"TEL;FAX:1", "fax_work 1"},
    {"TEL;TYPE=HOME,FAX:1", "other 1"},
    {"TEL;TYPE=WORK,CELL:1", "mobile 1"},
    {"TEL;TYPE=PAGER:1", "other 1"},
    {"TEL:1", "other 1"},
    {"TEL;PREF=1;TYPE=\"voice,home\":1", "home* 1"},
    {"TEL;PREF=2;TYPE=home:1", "home 1"},
    {"item1.TEL:1\r\nitem1.X-ABLabel:_$!<Mobile>!$_", "mobile 1"},
    {"item1.X-ABLabel:_$!<HomeFAX>!$_\r\nitem1.TEL;type=pref:1", "other* 1"},
    {"item2.TEL:1\r\nitem2.X-ABLabel:Büro", "other 1"},
    {"item1.TEL;TYPE=HOME:1\r\nitem1.X-ABLabel:_$!<Work>!$_", "home 1"},
    {"EMAIL;TYPE=INTERNET,HOME:a", "@private a"},
    {"EMAIL;WORK;PREF:a", "@work a"},
    {"EMAIL;TYPE=INTERNET:a", "@other a"},
    {"item3.EMAIL:a\r\nitem3.X-ABLabel:_$!<Home>!$_", "@private a"},
    {"CATEGORIES:Familie, vip\r\nTEL:1", "[VIP] | other 1"},
};

class ContactsExchangeType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ContactsExchangeType, Maps)
{
    ImportReport report;
    const auto contacts = ReadAll(ExchangeFormat::VCard, Card("FN:\r\n" + std::string(GetParam().line) + "\r\n"), report);
    ASSERT_EQ(contacts.size(), 1u);
    const std::string entry = Render(contacts[0]);
    EXPECT_EQ(entry.substr(entry.starts_with(" | ") ? 3 : 1), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(Lines, ContactsExchangeType, ::testing::ValuesIn(kTypes));

struct MalformedCase {
    const char* name;
    ExchangeFormat format;
    std::string bytes;
    bool recognized;
    std::size_t read;
    const char* skipped;  // "line problem" per entry
};

const std::string TenMegabytes(10 * 1024 * 1024, 'x');

const MalformedCase kMalformed[] = {
    {"Truncated", ExchangeFormat::VCard, Card("FN:A\r\n") + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:B\r\nTEL:1", true, 1,
     "5 CardWithoutEnd "},
    {"BeginWithoutEnd", ExchangeFormat::VCard, "BEGIN:VCARD\r\nFN:A\r\n" + Card("FN:B\r\n"), true, 1,
     "1 CardWithoutEnd "},
    {"BadQuotedPrintable", ExchangeFormat::VCard,
     Card("FN;ENCODING=QUOTED-PRINTABLE:J=XYrgen\r\n") + Card("FN:B\r\nNOTE;QUOTED-PRINTABLE:=Z\r\n"), true, 1,
     "3 BadQuotedPrintable "},
    {"NotAProperty", ExchangeFormat::VCard, Card("FN:A\r\nkaputt\r\n") + Card("Ein Satz: kein Name\r\n"), true, 0,
     "4 NotAProperty 8 NotAProperty "},
    {"Base64RunsOn", ExchangeFormat::VCard, Card("PHOTO;ENCODING=BASE64:/9j/\r\nAAAA\r\nBBBB\r\n\r\nFN:A\r\n"), true, 1,
     ""},
    {"StrayLines", ExchangeFormat::VCard, "Hallo\r\nEND:VCARD\r\n" + Card("FN:A\r\n") + "kaputt\r\n", true, 1, ""},
    {"TenMegabyteName", ExchangeFormat::VCard, Card("FN:" + TenMegabytes + "\r\n"), true, 1, ""},
    {"TenMegabyteLineWithoutColon", ExchangeFormat::VCard, Card(TenMegabytes + "\r\n"), true, 0, "3 NotAProperty "},
    {"TenMegabytesFolded", ExchangeFormat::VCard, Card("NOTE:" + Repeated("\r\n x", 2621440) + "\r\n"), true, 1, ""},
    {"NoCard", ExchangeFormat::VCard, "\x89PNG\r\n\x1A\n\0\0", false, 0, ""},
    {"Empty", ExchangeFormat::VCard, "", false, 0, ""},
    {"UnclosedQuote", ExchangeFormat::Csv, "Name,Notes\nA,x\nB,\"offen\nC,y\n", true, 1, "3 UnclosedQuote "},
    {"TooManyFields", ExchangeFormat::Csv, "Name,Notes\nA,x,y\nB,x,,\n", true, 1, "2 TooManyFields "},
    {"TenMegabyteField", ExchangeFormat::Csv, "Name,Notes\nA,\"" + TenMegabytes + "\"\n", true, 1, ""},
    {"HeaderOnly", ExchangeFormat::Csv, "Name,Notes\n", true, 0, ""},
    {"UnknownHeader", ExchangeFormat::Csv, "Wer,Nummer\nA,1\n", false, 0, ""},
    {"CsvEmpty", ExchangeFormat::Csv, "", false, 0, ""},
};

class ContactsExchangeMalformed : public ::testing::TestWithParam<MalformedCase> {};

// A malformed card or row is left out and told with its line; the import
// goes on.
TEST_P(ContactsExchangeMalformed, SkipsAndGoesOn)
{
    static const char* const problems[] = {"CardWithoutEnd", "NotAProperty", "BadQuotedPrintable", "UnclosedQuote",
                                           "TooManyFields"};
    const MalformedCase& c = GetParam();
    ImportReport report;
    const auto contacts = ReadAll(c.format, c.bytes, report);
    std::string skipped;
    for (const SkippedEntry& s : report.skipped)
        skipped += std::to_string(s.line) + " " + problems[static_cast<int>(s.problem)] + " ";
    EXPECT_EQ(report.recognized, c.recognized);
    EXPECT_EQ(report.read, c.read);
    EXPECT_EQ(contacts.size(), c.read);
    EXPECT_EQ(skipped, c.skipped);
}

INSTANTIATE_TEST_SUITE_P(Inputs, ContactsExchangeMalformed, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

// The written bytes of two contacts, worked out by hand from the rules.
TEST(ContactsExchange, WritesVCardAndCsvByTheRules)
{
    BookBuilder builder(u"B");
    Contact c;
    c.name = u"Weiß, Anna; Dr.";
    c.vip = true;
    c.uniqueId = u"12";
    for (const auto& [text, type, prio, quickdial, vanity] :
         {std::array<const char16_t*, 5>{u"030 1", u"home", u"1", u"", u""}, {u"**9", u"intern", u"0", u"7", u"AB"},
          {u"0171", u"mobile", u"", u"", u""}}) {
        ContactNumber& n = c.numbers.emplace_back();
        std::tie(n.text, n.type, n.prio, n.quickdial, n.vanity) = std::tie(text, type, prio, quickdial, vanity);
    }
    c.emails.emplace_back().text = u"a@example.org";
    c.emails.back().classifier = u"work";
    builder.Add(c);
    Contact longName;
    longName.name = std::u16string(40, u'ä');
    builder.Add(longName);
    const RecordList book = builder.Finish(u"");
    const auto contacts = ContactNodes(book);
    const auto ae = [](std::size_t n) { return Repeated("ä", n); };

    // The second card's lines fold after 75 octets; in "N:" the 75th octet
    // would cut an "ä", so that line folds after 74.
    EXPECT_EQ(WriteVCard(contacts),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Weiß\\, Anna\\; Dr.\r\nN:Weiß\\, Anna\\; Dr.;;;;\r\n"
              "TEL;TYPE=HOME,PREF:030 1\r\nTEL;X-FRITZ-TYPE=intern;X-FRITZ-QUICKDIAL=7;X-FRITZ-VANITY=AB:**9\r\n"
              "TEL;TYPE=CELL:0171\r\nEMAIL;TYPE=INTERNET,WORK:a@example.org\r\nCATEGORIES:VIP\r\n"
              "X-FRITZ-UNIQUEID:12\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + ae(36) + "\r\n " + ae(4) + "\r\nN:" + ae(36) + "\r\n " + ae(4) +
                  ";;;;\r\nEND:VCARD\r\n");

    const std::string header =
        "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last Name,Name Prefix,"
        "Name Suffix,Nickname,File As,Organization Name,Organization Title,Organization Department,Birthday,Notes,"
        "Photo,Labels,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,"
        "Phone 2 - Value,Phone 3 - Label,Phone 3 - Value,Phone 1 - X-FRITZ-Type,Phone 1 - X-FRITZ-Quickdial,"
        "Phone 1 - X-FRITZ-Vanity,Phone 2 - X-FRITZ-Type,Phone 2 - X-FRITZ-Quickdial,Phone 2 - X-FRITZ-Vanity,"
        "Phone 3 - X-FRITZ-Type,Phone 3 - X-FRITZ-Quickdial,Phone 3 - X-FRITZ-Vanity,X-FRITZ-Uniqueid\r\n";
    EXPECT_EQ(WriteCsv(contacts),
              "\xEF\xBB\xBF" + header + "\"Weiß, Anna; Dr.\"" + std::string(16, ',') +
                  "* myContacts ::: VIP,Work,a@example.org,* Home,030 1,Other,**9,Mobile,0171,home,,,intern,7,AB,"
                  "mobile,,,12\r\n" +
                  ae(40) + std::string(16, ',') + "* myContacts" + std::string(18, ',') + "\r\n");
}

// A file read into a panel: the frame of a new phonebook named after the
// file, the router's shape of a contact, nr texts as loading gives them.
TEST(ContactsExchange, ImportedBookHasTheShapeOfALoadedOne)
{
    ASSERT_EQ(ExchangeFormatOf(u"/home/u/Kontakte.VCF"), ExchangeFormat::VCard);
    ASSERT_EQ(ExchangeFormatOf(u"C:\\Daten\\a.csv"), ExchangeFormat::Csv);
    EXPECT_FALSE(ExchangeFormatOf(u"Telefonbuch.xml") || ExchangeFormatOf(u"csv") || ExchangeFormatOf(u"vcf.txt"));
    const std::u16string name = BookNameOf(u"/home/u/Alte Kontakte.2023.vcf");
    EXPECT_EQ(name, u"Alte Kontakte.2023");
    const ImportedBook book = ImportContacts(ExchangeFormat::VCard, Card("FN:Anna\r\nTEL;TYPE=HOME,PREF:030 1\r\n"),
                                             name, u" (2)");
    EXPECT_EQ(nwtest::RunsText(book.records),
              "0 (2)|0|phonebooks||\n"
              "1 (2)|1|phonebook|owner=\"1\"|name=\"Alte Kontakte.2023\"||\n"
              "2 (2)|2|contact||\n3 (2)|3|category||0\n4 (2)|3|person||\n5 (2)|4|realName||Anna\n"
              "6 (2)|3|telephony|nid=\"1\"||\n7 (2)|4|number|type=\"home\"|prio=\"1\"|id=\"0\"||030 1\n8 (2)|3|setup||\n");
}

// The information box after an import with something to tell.
TEST(ContactsExchange, ReportMessageTellsWhatWasLeftOut)
{
    ImportReport report;
    report.read = 3;
    EXPECT_EQ(ImportReportMessage(report), u"");
    for (std::size_t line = 1; line <= 11; ++line)
        report.skipped.push_back({line * 10, line == 2 ? ImportProblem::UnclosedQuote : ImportProblem::CardWithoutEnd});
    report.photos = 2;
    report.unknownColumns = {u"Telefon", u"Farbe"};
    EXPECT_EQ(U8(ImportReportMessage(report)),
              "  3 Kontakte wurden gelesen.    \n"
              "  11 fehlerhafte Einträge wurden übersprungen:    \n"
              "  Zeile 10: Karte ohne END:VCARD    \n"
              "  Zeile 20: Anführungszeichen nicht geschlossen    \n"
              "  Zeile 30: Karte ohne END:VCARD    \n  Zeile 40: Karte ohne END:VCARD    \n"
              "  Zeile 50: Karte ohne END:VCARD    \n  Zeile 60: Karte ohne END:VCARD    \n"
              "  Zeile 70: Karte ohne END:VCARD    \n  Zeile 80: Karte ohne END:VCARD    \n"
              "  Zeile 90: Karte ohne END:VCARD    \n  Zeile 100: Karte ohne END:VCARD    \n"
              "  und 1 weitere    \n"
              "  2 Fotos wurden nicht übernommen.    \n"
              "  Unbekannte Spalten, nicht übernommen:    \n  'Telefon', 'Farbe'    ");
    // One of each is told in the singular.
    report = {};
    report.read = 1;
    report.skipped.push_back({4, ImportProblem::CardWithoutEnd});
    report.photos = 1;
    EXPECT_EQ(U8(ImportReportMessage(report)), "  1 Kontakt wurde gelesen.    \n"
                                               "  1 fehlerhafter Eintrag wurde übersprungen:    \n"
                                               "  Zeile 4: Karte ohne END:VCARD    \n"
                                               "  1 Foto wurde nicht übernommen.    ");
}

}  // namespace
