// vCard 2.1, 3.0 and 4.0 read into contacts; contacts written as vCard 3.0.
#include <array>
#include <cstring>
#include <unordered_map>

#include "base/text.h"
#include "contacts/exchange.h"
#include "contacts/exchange_detail.h"

using namespace exchange;

namespace {

// Reading ---------------------------------------------------------------------------

// The physical lines of a file, ended by CRLF or LF (by CR in a file that
// holds no LF at all).
class LineSource {
public:
    explicit LineSource(std::string_view text) : text_(text), end_(text.find('\n') == text.npos ? '\r' : '\n') {}

    bool Next(std::string_view& line)
    {
        if (pos_ >= text_.size())
            return false;
        const void* hit = std::memchr(text_.data() + pos_, end_, text_.size() - pos_);
        const std::size_t stop = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
        line = text_.substr(pos_, stop - pos_);
        pos_ = hit ? stop + 1 : stop;
        if (end_ == '\n' && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++number_;
        return true;
    }
    // True when the next line continues the one taken last (it begins with a
    // blank or a tab).
    bool NextIsFolded() const { return pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'); }
    // The next line without taking it.
    std::string_view PeekNext() const
    {
        LineSource copy = *this;
        std::string_view line;
        return copy.Next(line) ? line : std::string_view();
    }
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    char end_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

bool SameAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string LowerAsciiBytes(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view TrimmedAscii(std::string_view value)
{
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    return value;
}

std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

struct Param {
    std::string_view name;
    std::string_view value;
    bool hasValue = false;
};

// One content line: [group "."] name *(";" param) ":" value.
struct ContentLine {
    std::string_view group, name, value;
    std::vector<Param> params;

    const Param* Find(std::string_view paramName) const
    {
        for (const Param& p : params)
            if (p.hasValue && SameAscii(p.name, paramName))
                return &p;
        return nullptr;
    }
    // ENCODING=<encoding>, or the bare word as vCard 2.1 writes it.
    bool Encoded(std::string_view encoding, std::string_view shortName = {}) const
    {
        for (const Param& p : params) {
            const std::string_view word = p.hasValue && SameAscii(p.name, "encoding") ? Unquoted(p.value)
                                          : p.hasValue                               ? std::string_view()
                                                                                     : p.name;
            if (SameAscii(word, encoding) || (!shortName.empty() && SameAscii(word, shortName)))
                return true;
        }
        return false;
    }
};

bool NameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Splits a content line; false when it is none.
bool ParseContentLine(std::string_view line, ContentLine& out)
{
    out.params.clear();
    std::size_t i = line.find_first_of(";:");
    if (i == line.npos)
        return false;
    std::string_view name = line.substr(0, i);
    const std::size_t dot = name.rfind('.');
    out.group = dot == name.npos ? std::string_view() : name.substr(0, dot);
    out.name = dot == name.npos ? name : name.substr(dot + 1);
    if (out.name.empty())
        return false;
    for (char c : name)
        if (!NameCharacter(c) && c != '.')
            return false;
    while (i < line.size() && line[i] == ';') {
        const std::size_t start = ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ';' && line[i] != ':'))) {
            if (line[i] == '"')
                quoted = !quoted;
            ++i;
        }
        const std::string_view text = line.substr(start, i - start);
        const std::size_t equals = text.find('=');
        Param p;
        p.hasValue = equals != text.npos;
        p.name = p.hasValue ? text.substr(0, equals) : text;
        p.value = p.hasValue ? text.substr(equals + 1) : std::string_view();
        out.params.push_back(p);
    }
    if (i >= line.size() || line[i] != ':')
        return false;
    out.value = line.substr(i + 1);
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Quoted-printable into bytes; a "=" at the very end is a soft line break
// with nothing after it. False for a "=" without two hexadecimal digits.
bool DecodeQuotedPrintable(std::string_view in, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out += in[i];
        } else if (i + 1 == in.size()) {
            break;
        } else if (i + 2 < in.size() && HexDigit(in[i + 1]) >= 0 && HexDigit(in[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(in[i + 1]) * 16 + HexDigit(in[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// A value's text: quoted-printable undone, then read in its CHARSET.
bool DecodeValue(const ContentLine& line, std::string& scratch, std::u16string& out)
{
    std::string_view bytes = line.value;
    if (line.Encoded("quoted-printable")) {
        if (!DecodeQuotedPrintable(bytes, scratch))
            return false;
        bytes = scratch;
    }
    const Param* charset = line.Find("charset");
    const std::string_view name = charset ? Unquoted(charset->value) : std::string_view();
    bool singleByte = false;
    for (std::string_view s : {"iso-8859-1", "latin1", "windows-1252", "cp1252", "us-ascii", "ascii"})
        singleByte = singleByte || SameAscii(name, s);
    out = singleByte ? Windows1252ToUtf16(bytes) : DecodeText(bytes);
    return true;
}

// Text escapes undone: "\n" "\N" to a line feed, "\\" "\," "\;" "\:" to the
// character; any other backslash stays.
std::u16string Unescaped(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char16_t next = text[++i];
        if (next == u'n' || next == u'N')
            out += u'\n';
        else if (next == u'\\' || next == u',' || next == u';' || next == u':')
            out += next;
        else
            out.append({c, next});
    }
    return out;
}

// The parts of a value between separators that are not escaped, escapes
// still in place.
std::vector<std::u16string_view> SplitEscaped(std::u16string_view text, char16_t separator)
{
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\')
            ++i;
        else if (text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// N: family;given;additional;prefix;suffix, each a list -> "given
// additional family".
std::u16string NameOfStructured(std::u16string_view value)
{
    const std::vector<std::u16string_view> parts = SplitEscaped(value, u';');
    std::u16string name;
    for (std::size_t index : {1, 2, 0}) {
        if (index >= parts.size())
            continue;
        for (std::u16string_view item : SplitEscaped(parts[index], u',')) {
            const std::u16string text = Unescaped(item);
            if (text.empty())
                continue;
            if (!name.empty())
                name += u' ';
            name += text;
        }
    }
    return name;
}

// RFC 6868's escapes in a parameter value: ^n, ^' and ^^.
std::string CaretDecoded(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '^' && i + 1 < value.size() && (value[i + 1] == 'n' || value[i + 1] == '\'' || value[i + 1] == '^')) {
            ++i;
            out += value[i] == 'n' ? '\n' : value[i] == '\'' ? '"' : '^';
        } else {
            out += value[i];
        }
    }
    return out;
}

// The marks of a TEL or EMAIL: TYPE lists, bare vCard 2.1 types, PREF=1.
unsigned MarksOf(const ContentLine& line)
{
    unsigned marks = 0;
    const auto word = [](std::string_view w) { return MarkOfWord(std::u16string(w.begin(), w.end())); };
    for (const Param& p : line.params) {
        if (!p.hasValue) {
            marks |= word(p.name);
        } else if (SameAscii(p.name, "type")) {
            std::string_view list = Unquoted(p.value);
            for (std::size_t comma; !list.empty(); list.remove_prefix(comma == list.npos ? list.size() : comma + 1)) {
                comma = list.find(',');
                marks |= word(list.substr(0, comma));
            }
        } else if (SameAscii(p.name, "pref") && Unquoted(p.value) == "1") {
            marks |= Preferred;
        }
    }
    return marks;
}

// Apple's labels of the standard kinds, _$!<Mobile>!$_ and the like.
unsigned MarksOfLabel(std::u16string_view label)
{
    if (!label.starts_with(u"_$!<") || !label.ends_with(u">!$_"))
        return 0;
    const std::u16string kind = LowerAscii(label.substr(4, label.size() - 8));
    if (kind == u"homefax")
        return Fax | Home;
    if (kind == u"workfax")
        return Fax | Work;
    if (kind == u"otherfax")
        return Fax;
    const unsigned mark = MarkOfWord(kind);
    return mark == Preferred ? 0 : mark;
}

// A number or an address as the card gives it, before the labels of its
// group are known.
template <std::size_t Extras>
struct PendingItem {
    std::u16string text;
    unsigned marks = 0;
    std::string group;
    std::array<std::u16string, Extras> extras;
    std::array<bool, Extras> hasExtra{};
};
using PendingNumber = PendingItem<std::size(NumberExtras)>;
using PendingEmail = PendingItem<std::size(EmailExtras)>;

template <std::size_t N>
void ReadExtras(const ContentLine& line, const std::u16string_view (&names)[N], std::array<std::u16string, N>& values,
                std::array<bool, N>& present)
{
    for (const Param& p : line.params) {
        if (!p.hasValue || p.name.size() <= ExtraPrefix.size())
            continue;
        const std::u16string name(p.name.begin(), p.name.end());
        for (std::size_t i = 0; i < N; ++i) {
            if (EqualsIgnoringCase(name, std::u16string(ExtraPrefix) + std::u16string(names[i]))) {
                values[i] = DecodeText(CaretDecoded(Unquoted(p.value)));
                present[i] = true;
            }
        }
    }
}

struct Card {
    std::size_t begin = 0;  // the line of BEGIN:VCARD
    bool failed = false;
    SkippedEntry problem;
    bool hasFn = false;
    std::u16string fn, structured, org;
    std::vector<PendingNumber> numbers;
    std::vector<PendingEmail> emails;
    std::vector<std::pair<std::string, unsigned>> labels;  // group, marks
    bool vip = false;
    std::array<std::u16string, std::size(ContactExtras)> extras;
    std::size_t photos = 0;

    void Start()
    {
        failed = hasFn = vip = false;
        fn.clear();
        structured.clear();
        org.clear();
        numbers.clear();
        emails.clear();
        labels.clear();
        for (std::u16string& e : extras)
            e.clear();
        photos = 0;
    }
    void Fail(std::size_t line, ImportProblem why)
    {
        if (!failed)
            problem = {line, why};
        failed = true;
    }
    // The marks of an item, its group's label's where it has no kind of its
    // own; groups holds the labels' marks by group in lower case.
    template <std::size_t N>
    static unsigned Marks(const PendingItem<N>& item, const std::unordered_map<std::string, unsigned>& groups)
    {
        if (item.marks & KindMarks || item.group.empty() || groups.empty())
            return item.marks;
        const auto found = groups.find(LowerAsciiBytes(item.group));
        return found == groups.end() ? item.marks : item.marks | found->second;
    }

    void Fill(Contact& fields) const
    {
        std::unordered_map<std::string, unsigned> groups;
        for (const auto& [group, marks] : labels)
            groups[LowerAsciiBytes(group)] |= marks;
        fields.name = hasFn && !fn.empty() ? fn : !structured.empty() ? structured : org;
        fields.vip = vip;
        fields.uniqueId = extras[0];
        fields.modTime = extras[1];
        fields.imageUrl = extras[2];
        fields.from = {};
        fields.numbers.clear();
        for (const PendingNumber& p : numbers) {
            ContactNumber& n = fields.numbers.emplace_back();
            const unsigned marks = Marks(p, groups);
            n.text = p.text;
            n.type = p.hasExtra[0] ? p.extras[0] : std::u16string(NumberTypeOf(marks));
            n.prio = p.hasExtra[1] ? p.extras[1] : marks & Preferred ? u"1" : u"";
            n.quickdial = p.extras[2];
            n.vanity = p.extras[3];
            n.id = p.extras[4];
        }
        fields.emails.clear();
        for (const PendingEmail& p : emails) {
            ContactEmail& e = fields.emails.emplace_back();
            e.text = p.text;
            e.classifier = p.hasExtra[0] ? p.extras[0] : std::u16string(ClassifierOf(Marks(p, groups)));
            e.id = p.extras[1];
        }
    }
};

class VCardReader {
public:
    VCardReader(ImportReport& report, const std::function<void(Contact&)>& take) : report_(report), take_(take) {}

    void Read(std::string_view text)
    {
        LineSource lines(text);
        std::string_view physical;
        bool inCard = false;
        bool afterBase64 = false;  // vCard 2.1 lets base64 run on over lines without a blank
        while (lines.Next(physical)) {
            const std::size_t number = lines.number();
            std::string_view logical = physical;
            if (lines.NextIsFolded()) {
                folded_.assign(physical);
                std::string_view more;
                while (lines.NextIsFolded() && lines.Next(more))
                    folded_.append(more.substr(1));
                logical = folded_;
            }
            if (logical.find_first_not_of(" \t") == logical.npos)
                continue;
            if (!ParseContentLine(logical, line_)) {
                if (inCard && !(afterBase64 && logical.find(':') == logical.npos))
                    card_.Fail(number, ImportProblem::NotAProperty);
                continue;
            }
            afterBase64 = false;
            const bool vcard = SameAscii(TrimmedAscii(line_.value), "vcard");
            if (vcard && SameAscii(line_.name, "begin")) {
                if (inCard)
                    Skip({card_.begin, ImportProblem::CardWithoutEnd});
                report_.recognized = true;
                inCard = true;
                card_.Start();
                card_.begin = number;
                continue;
            }
            if (!inCard)
                continue;
            if (vcard && SameAscii(line_.name, "end")) {
                Finish();
                inCard = false;
                continue;
            }
            // Quoted-printable goes on over the next lines after a soft
            // line break.
            if (!line_.value.empty() && line_.value.back() == '=' && line_.Encoded("quoted-printable")) {
                extended_.assign(line_.value);
                std::string_view more;
                while (!extended_.empty() && extended_.back() == '=' && !lines.PeekNext().empty() &&
                       !SameAscii(lines.PeekNext(), "end:vcard") && lines.Next(more)) {
                    extended_.pop_back();
                    extended_.append(more);
                }
                line_.value = extended_;
            }
            afterBase64 = line_.Encoded("base64", "b");
            Take(number);
        }
        if (inCard)
            Skip({card_.begin, ImportProblem::CardWithoutEnd});
    }

private:
    void Skip(const SkippedEntry& entry) { report_.skipped.push_back(entry); }

    void Finish()
    {
        if (card_.failed) {
            Skip(card_.problem);
            return;
        }
        card_.Fill(fields_);
        ++report_.read;
        report_.photos += card_.photos;
        take_(fields_);
    }

    bool Decode(std::size_t number, std::u16string& out)
    {
        if (DecodeValue(line_, scratch_, out))
            return true;
        card_.Fail(number, ImportProblem::BadQuotedPrintable);
        return false;
    }

    // One property of the card.
    void Take(std::size_t number)
    {
        const std::string_view name = line_.name;
        if (SameAscii(name, "photo")) {
            ++card_.photos;
            return;
        }
        if (SameAscii(name, "fn")) {
            if (!card_.hasFn && Decode(number, text_)) {
                card_.fn = Unescaped(text_);
                card_.hasFn = true;
            }
        } else if (SameAscii(name, "n")) {
            if (Decode(number, text_))
                card_.structured = NameOfStructured(text_);
        } else if (SameAscii(name, "org")) {
            if (Decode(number, text_) && card_.org.empty())
                card_.org = Unescaped(SplitEscaped(text_, u';').front());
        } else if (SameAscii(name, "tel")) {
            if (Decode(number, text_)) {
                PendingNumber& n = card_.numbers.emplace_back();
                n.text = Unescaped(text_);
                if (n.text.size() >= 4 && EqualsIgnoringCase(std::u16string_view(n.text).substr(0, 4), u"tel:"))
                    n.text.erase(0, 4);
                n.marks = MarksOf(line_);
                n.group = line_.group;
                ReadExtras(line_, NumberExtras, n.extras, n.hasExtra);
            }
        } else if (SameAscii(name, "email")) {
            if (Decode(number, text_)) {
                PendingEmail& e = card_.emails.emplace_back();
                e.text = Unescaped(text_);
                e.marks = MarksOf(line_);
                e.group = line_.group;
                ReadExtras(line_, EmailExtras, e.extras, e.hasExtra);
            }
        } else if (SameAscii(name, "categories")) {
            if (Decode(number, text_))
                for (std::u16string_view item : SplitEscaped(text_, u','))
                    card_.vip = card_.vip || EqualsIgnoringCase(TrimBlanks(Unescaped(item)), u"VIP");
        } else if (SameAscii(name, "x-ablabel")) {
            if (Decode(number, text_) && !line_.group.empty())
                card_.labels.emplace_back(line_.group, MarksOfLabel(Unescaped(text_)));
        } else if (name.size() > ExtraPrefix.size()) {
            const std::u16string wide(name.begin(), name.end());
            for (std::size_t i = 0; i < std::size(ContactExtras); ++i)
                if (EqualsIgnoringCase(wide, std::u16string(ExtraPrefix) + std::u16string(ContactExtras[i])) &&
                    Decode(number, text_))
                    card_.extras[i] = Unescaped(text_);
        }
    }

    ImportReport& report_;
    const std::function<void(Contact&)>& take_;
    ContentLine line_;
    Card card_;
    Contact fields_;
    std::string folded_, extended_, scratch_;
    std::u16string text_;
};

// Writing ---------------------------------------------------------------------------

// Appends text as UTF-8 with the escapes of a text value: backslash and line
// breaks always, "," and ";" where the value is a text list or structured.
void AppendEscaped(std::string& out, std::u16string_view text, bool separators)
{
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const char16_t c = *p;
        if (c < 0x80) {
            ++p;
            if (c == u'\\')
                out += "\\\\";
            else if (c == u'\n' || (c == u'\r' && !(p < end && *p == u'\n')))
                out += "\\n";
            else if (c == u'\r')
                continue;
            else if (separators && (c == u',' || c == u';'))
                out.append({'\\', static_cast<char>(c)});
            else
                out += static_cast<char>(c);
            continue;
        }
        unsigned char bytes[4];
        out.append(reinterpret_cast<const char*>(bytes), EncodeUtf8(NextCodePoint(p, end), bytes));
    }
}

// A parameter value: as it is when it holds nothing that ends one, else in
// double quotes with RFC 6868's escapes for quotes, carets and line breaks.
void AppendParamValue(std::string& out, std::u16string_view value)
{
    bool plain = !value.empty();
    for (char16_t c : value)
        plain = plain && c >= 0x20 && c != u';' && c != u':' && c != u',' && c != u'"' && c != u'^';
    if (plain) {
        out += Utf16ToUtf8(value);
        return;
    }
    out += '"';
    for (char c : Utf16ToUtf8(value)) {
        if (c == '^')
            out += "^^";
        else if (c == '"')
            out += "^'";
        else if (c == '\n' || c == '\r')
            out += "^n";
        else
            out += c;
    }
    out += '"';
}

// Appends a content line folded at 75 octets (a following line holds a
// blank and 74 octets), never inside a UTF-8 sequence, and CRLF.
void AppendFolded(std::string& out, std::string_view line)
{
    std::size_t limit = 75;
    while (line.size() > limit) {
        std::size_t cut = limit;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        limit = 74;
    }
    out.append(line);
    out += "\r\n";
}

template <std::size_t N>
std::array<std::string, N> ExtraNames(const std::u16string_view (&names)[N])
{
    std::array<std::string, N> out;
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = ";" + Utf16ToUtf8(std::u16string(ExtraPrefix) + std::u16string(names[i])) + "=";
        for (char& c : out[i])
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

constexpr std::pair<unsigned, const char*> TypeWords[] = {
    {Home, "HOME"}, {Work, "WORK"}, {Cell, "CELL"}, {Fax, "FAX"}, {Preferred, "PREF"}};

void AppendCard(std::string& out, std::string& line, const Contact& c)
{
    static const auto numberExtras = ExtraNames(NumberExtras);
    static const auto emailExtras = ExtraNames(EmailExtras);
    static const auto contactExtras = ExtraNames(ContactExtras);

    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    line = "FN:";
    AppendEscaped(line, c.name, true);
    AppendFolded(out, line);
    line = "N:";
    AppendEscaped(line, c.name, true);
    line += ";;;;";
    AppendFolded(out, line);

    const bool numberIds = !IdsAreIndexes(c.numbers);
    for (std::size_t i = 0; i < c.numbers.size(); ++i) {
        const ContactNumber& n = c.numbers[i];
        const unsigned marks = MarksOfNumberType(n.type) | (n.prio == u"1" ? unsigned{Preferred} : 0u);
        line = "TEL";
        const char* separator = ";TYPE=";
        for (const auto& [mark, word] : TypeWords) {
            if (marks & mark) {
                line += separator;
                line += word;
                separator = ",";
            }
        }
        const bool ownPrio = !n.prio.empty() && n.prio != u"1" && n.prio != u"0";
        const std::u16string_view values[] = {n.type, n.prio, n.quickdial, n.vanity, n.id};
        const bool wanted[] = {NumberTypeOf(marks) != n.type, ownPrio, !n.quickdial.empty(), !n.vanity.empty(),
                               numberIds && !n.id.empty()};
        for (std::size_t k = 0; k < std::size(values); ++k) {
            if (wanted[k]) {
                line += numberExtras[k];
                AppendParamValue(line, values[k]);
            }
        }
        line += ':';
        // A number that begins like a tel: URI keeps that beginning, which
        // reading takes off once.
        if (n.text.size() >= 4 && EqualsIgnoringCase(n.text.view().substr(0, 4), u"tel:"))
            line += "tel:";
        AppendEscaped(line, n.text, false);
        AppendFolded(out, line);
    }
    const bool emailIds = !IdsAreIndexes(c.emails);
    for (const ContactEmail& e : c.emails) {
        const unsigned marks = MarksOfClassifier(e.classifier);
        line = marks & Home ? "EMAIL;TYPE=INTERNET,HOME" : marks & Work ? "EMAIL;TYPE=INTERNET,WORK" : "EMAIL;TYPE=INTERNET";
        if (ClassifierOf(marks) != e.classifier) {
            line += emailExtras[0];
            AppendParamValue(line, e.classifier);
        }
        if (emailIds && !e.id.empty()) {
            line += emailExtras[1];
            AppendParamValue(line, e.id);
        }
        line += ':';
        AppendEscaped(line, e.text, false);
        AppendFolded(out, line);
    }
    if (c.vip)
        out += "CATEGORIES:VIP\r\n";
    const RecordText* values[] = {&c.uniqueId, &c.modTime, &c.imageUrl};
    for (std::size_t k = 0; k < std::size(values); ++k) {
        if (values[k]->empty())
            continue;
        line.assign(contactExtras[k], 1, contactExtras[k].size() - 2);
        line += ':';
        AppendEscaped(line, *values[k], true);
        AppendFolded(out, line);
    }
    out += "END:VCARD\r\n";
}

}  // namespace

void ReadVCard(std::string_view bytes, ImportReport& report, const std::function<void(Contact&)>& take)
{
    report = ImportReport{};
    std::string storage;
    VCardReader(report, take).Read(WithoutByteOrderMark(bytes, storage));
}

std::string WriteVCard(std::span<RecordList::Node* const> contacts)
{
    std::string out, line;
    out.reserve(contacts.size() * 160);
    Contact fields;
    for (RecordList::Node* node : contacts) {
        ReadContact(node, fields);
        AppendCard(out, line, fields);
    }
    return out;
}
