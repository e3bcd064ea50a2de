#include "bench_support.h"

#include <expat.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace nwbench {

static std::size_t StatusField(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            std::istringstream fields(line.substr(prefix.size()));
            std::size_t kib = 0;
            fields >> kib;
            return kib * 1024;
        }
    }
    return 0;
}

double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

static void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
static void XMLCALL NoEnd(void*, const XML_Char*) {}
static void XMLCALL NoText(void*, const XML_Char*, int) {}

static void XMLCALL CountStart(void* data, const XML_Char*, const XML_Char** attributes)
{
    auto* counts = static_cast<ParseCounts*>(data);
    ++counts->elements;
    for (int i = 0; attributes[i]; i += 2)
        ++counts->attributes;
}

static void XMLCALL CountText(void* data, const XML_Char*, int length)
{
    static_cast<ParseCounts*>(data)->characters += static_cast<unsigned long long>(length);
}

bool BareExpatParse(const std::string& path, ParseCounts* counts)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (counts) {
        XML_SetUserData(parser, counts);
        XML_SetElementHandler(parser, CountStart, NoEnd);
        XML_SetCharacterDataHandler(parser, CountText);
    } else {
        XML_SetElementHandler(parser, NoStart, NoEnd);
        XML_SetCharacterDataHandler(parser, NoText);
    }
    bool ok = true;
    for (;;) {
        void* buffer = XML_GetBuffer(parser, 16384);
        const std::size_t got = buffer ? std::fread(buffer, 1, 16384, f) : 0;
        const bool last = got < 16384;
        if (!buffer || XML_ParseBuffer(parser, static_cast<int>(got), last) != XML_STATUS_OK) {
            ok = false;
            break;
        }
        if (last)
            break;
    }
    XML_ParserFree(parser);
    std::fclose(f);
    return ok;
}

std::vector<int> BookSizes(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000};
    return sizes;
}

std::vector<std::u16string> GenerateRows(int count, std::u16string_view numberSeparator)
{
    static const char16_t* const first[] = {u"J\u00fcrgen", u"Anna", u"Bj\u00f6rn", u"K\u00e4the",
                                            u"\u00d6zlem", u"Paul", u"Grete", u"S\u00fcleyman"};
    static const char16_t* const last[] = {u"M\u00fcller", u"Sch\u00e4fer", u"Wei\u00df", u"Gro\u00df",
                                           u"Meier & S\u00f6hne", u"Kr\u00fcger", u"B\u00f6hm", u"Fu\u00df"};
    const auto ascii = [](const std::string& text) { return std::u16string(text.begin(), text.end()); };
    std::vector<std::u16string> rows;
    rows.reserve(static_cast<std::size_t>(count));
    unsigned state = 1;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    for (int i = 0; i < count; ++i) {
        std::u16string row = u"\n" + ascii(std::to_string(3 + i * 11)) + u" (1)\n" + ascii(std::to_string(i + 1)) +
                             u"\n" + first[next() % 8] + u" " + last[next() % 8] + u"\n";
        const int numbers = 1 + static_cast<int>(next() % 3);
        for (int k = 0; k < numbers; ++k) {
            if (k)
                row += u"  #  ";
            row += u"0" + ascii(std::to_string(30 + next() % 900));
            row += numberSeparator;
            row += ascii(std::to_string(1000000 + next() * 7 % 8999999));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::size_t PeakRss() { return StatusField("VmHWM"); }
std::size_t CurrentRss() { return StatusField("VmRSS"); }

bool ResetPeakRss()
{
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    bool ok = std::fputs("5", f) >= 0;
    return (std::fclose(f) == 0) && ok;
}

std::string GeneratePhonebook(int contacts, unsigned seed)
{
    static const char* const first[] = {"Jürgen", "Anna", "Björn", "Käthe", "Özlem", "Paul", "Grete", "Süleyman"};
    static const char* const last[] = {"Müller", "Schäfer", "Weiß", "Groß", "Meier &amp; Söhne", "Krüger", "Böhm", "Fuß"};
    unsigned state = seed ? seed : 1;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    std::string out;
    out.reserve(static_cast<std::size_t>(contacts) * 420 + 200);
    out += "<?xml version=\"1.0\" encoding=\"utf-8\"?><phonebooks><phonebook owner=\"1\" name=\"Telefonbuch\">";
    for (int i = 0; i < contacts; ++i) {
        int numbers = 1 + static_cast<int>(next() % 3);  // 1..3 numbers: 10..12 elements
        out += "<contact><category>0</category><person><realName>";
        out += first[next() % 8];
        out += ' ';
        out += last[next() % 8];
        out += "</realName></person><telephony nid=\"";
        out += std::to_string(numbers);
        out += "\">";
        for (int k = 0; k < numbers; ++k) {
            out += "<number type=\"";
            out += (k == 0 ? "home" : k == 1 ? "mobile" : "work");
            out += "\" prio=\"";
            out += (k == 0 ? "1" : "0");
            out += "\" id=\"";
            out += std::to_string(k);
            out += "\">0";
            out += std::to_string(30 + next() % 900);
            out += std::to_string(1000000 + next() * 7 % 8999999);
            out += "</number>";
        }
        out += "</telephony><services/><features doorphone=\"0\"/><mod_time>1700000000</mod_time><uniqueid>";
        out += std::to_string(i + 1);
        out += "</uniqueid></contact>";
    }
    out += "</phonebook></phonebooks>";
    return out;
}

namespace {

// A number of a person, written one of four ways when it is dialable.
struct GeneratedNumber {
    int kind;  // 0 dialable, 1 internal code, 2 foreign
    std::string area, subscriber;

    std::string Written(int way) const
    {
        if (kind == 1)
            return area + subscriber;
        if (kind == 2)
            return way % 2 ? "001 " + area + " " + subscriber : "+1 " + area + " " + subscriber.substr(0, 3) + " " +
                                                                   subscriber.substr(3);
        switch (way) {
        case 0:
            return "0" + area + " " + subscriber;
        case 1:
            return "+49 " + area + " " + subscriber;
        case 2:
            return "0049" + area + subscriber;
        default:
            return "0" + area + "/" + subscriber.substr(0, 3) + " " + subscriber.substr(3, 2) + " " +
                   subscriber.substr(5);
        }
    }
};

struct GeneratedPerson {
    std::string first, last;
    std::vector<GeneratedNumber> numbers;
};

}  // namespace

std::string GenerateDuplicatePhonebook(int contacts, unsigned seed)
{
    static const char* const first[] = {"Jürgen", "Anna",  "Björn", "Käthe", "Özlem",  "Paul",   "Grete", "Süleyman",
                                        "Heinz",  "Ute",   "Lars",  "Mia",   "Tobias", "Frieda", "Emil",  "Ida",
                                        "Jörg",   "Lena",  "Timo",  "Zoë",   "Malte",  "Hanna",  "Ole",   "Rüdiger",
                                        "Sven",   "Elif",  "Kurt",  "Marie", "Jonas",  "Gül",    "Max",   "Wilma"};
    static const char* const heads[] = {"Mül", "Schä", "Wei", "Gro", "Mei", "Krü", "Böh", "Fu", "Ber", "Lin",
                                        "Hart", "Wag", "Beck", "Ho", "Rich", "Kle", "Neu", "Schwarz", "Zim", "Braun"};
    static const char* const middles[] = {"ler", "ber", "ten", "ro", "sa", "ni", "ko", "ma", "de", "li",
                                          "wen", "tho", "gel", "ri", "ha", "bu", "ste", "ka", "no", "ze"};
    static const char* const endings[] = {"ler", "fer", "ß", "mann", "er", "ke", "nert", "sen", "dorf", "ig"};
    static const char* const areas[] = {"30", "40", "89", "221", "69", "711", "911", "351", "6221", "7531",
                                        "341", "511", "202", "421", "228", "761"};
    static const char* const mobiles[] = {"151", "160", "170", "171", "172", "175", "176", "179"};
    static const char* const types[] = {"home", "mobile", "work"};
    unsigned state = seed ? seed : 1;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    const auto subscriber = [&next] { return std::to_string(1000000 + (next() * 32768 + next()) % 8999999); };
    const auto newNumber = [&](std::vector<GeneratedPerson>& persons) {
        const unsigned roll = next() % 100;
        if (roll < 3 && !persons.empty())  // a colleague's office number
            return persons[next() % persons.size()].numbers.front();
        if (roll < 5)
            return GeneratedNumber{1, "**61", std::to_string(next() % 10)};
        if (roll < 6)
            return GeneratedNumber{2, std::to_string(200 + next() % 800), subscriber()};
        if (roll < 35)
            return GeneratedNumber{0, mobiles[next() % 8], subscriber()};
        return GeneratedNumber{0, areas[next() % 16], subscriber()};
    };

    std::vector<GeneratedPerson> persons;
    std::string out;
    out.reserve(static_cast<std::size_t>(contacts) * 430 + 200);
    out += "<?xml version=\"1.0\" encoding=\"utf-8\"?><phonebooks><phonebook owner=\"1\" name=\"Telefonbuch\">";
    std::vector<std::string> numbers;
    for (int i = 0; i < contacts; ++i) {
        std::string name;
        numbers.clear();
        if (!persons.empty() && next() % 3 == 0) {
            const GeneratedPerson& p = persons[next() % persons.size()];
            switch (next() % 10) {
            case 0:
                break;  // no name
            case 1:
            case 2:
                name = p.last + ", " + p.first;
                break;
            case 3:
                for (char c : p.first + " " + p.last)
                    name += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
                break;
            default:
                name = p.first + " " + p.last;
            }
            const std::size_t left = p.numbers.size() > 1 && next() % 3 == 0 ? next() % p.numbers.size() : 99;
            for (std::size_t k = 0; k < p.numbers.size(); ++k)
                if (k != left)
                    numbers.push_back(p.numbers[k].Written(static_cast<int>(next() % 4)));
        } else {
            GeneratedPerson p;
            p.first = first[next() % 32];
            p.last = std::string(heads[next() % 20]) + middles[next() % 20] + middles[next() % 20] + endings[next() % 10];
            for (int k = 1 + static_cast<int>(next() % 3); k > 0; --k)
                p.numbers.push_back(newNumber(persons));
            name = p.first + " " + p.last;
            for (const GeneratedNumber& n : p.numbers)
                numbers.push_back(n.Written(static_cast<int>(next() % 4)));
            persons.push_back(std::move(p));
        }
        out += "<contact><category>0</category><person><realName>";
        out += name;
        out += "</realName></person><telephony nid=\"";
        out += std::to_string(numbers.size());
        out += "\">";
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            out += "<number type=\"";
            out += types[k % 3];
            out += k == 0 ? "\" prio=\"1\" id=\"" : "\" prio=\"0\" id=\"";
            out += std::to_string(k);
            out += "\">";
            out += numbers[k];
            out += "</number>";
        }
        out += "</telephony><services/><features doorphone=\"0\"/><mod_time>1700000000</mod_time><uniqueid>";
        out += std::to_string(i + 1);
        out += "</uniqueid></contact>";
    }
    out += "</phonebook></phonebooks>";
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace nwbench
