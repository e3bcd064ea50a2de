#pragma once
// What the vCard and the CSV side of contacts/exchange.h share: the kinds a
// number or an address is marked with in both formats and how they map to
// the router's types, the decoding of bytes, and the column names of the
// X-FRITZ values.
#include <cstddef>
#include <string>
#include <string_view>

namespace exchange {

// The marks of a number or an address as vCard types or CSV labels give
// them.
enum Mark : unsigned {
    Home = 1,
    Work = 2,
    Cell = 4,
    Fax = 8,
    Preferred = 16,
};
constexpr unsigned KindMarks = Home | Work | Cell | Fax;

// The router's number type for marks: fax with work or alone -> fax_work,
// fax with home -> other, cell -> mobile, home -> home, work -> work, else
// other.
std::u16string_view NumberTypeOf(unsigned marks);
// The marks that stand for a router type (0 for other and every type
// without marks of its own); NumberTypeOf gives the type back where it can.
unsigned MarksOfNumberType(std::u16string_view type);
// The classifier for marks: home -> private, work -> work, else other; and
// the marks back.
std::u16string_view ClassifierOf(unsigned marks);
unsigned MarksOfClassifier(std::u16string_view classifier);

// The mark a type word stands for, in any case: "home", "work", "cell"
// ("mobile", "iphone"), "fax", "pref"; 0 for every other word.
unsigned MarkOfWord(std::u16string_view word);

// Bytes of a text: UTF-8 when they are well-formed UTF-8, else
// Windows-1252.
std::u16string DecodeText(std::string_view bytes);

// The bytes of a file without its byte-order mark: UTF-8 ones as they
// stand, UTF-16 ones (either order) converted to UTF-8 into storage.
std::string_view WithoutByteOrderMark(std::string_view bytes, std::string& storage);

// ASCII letters in lower case, every other character as it is.
std::u16string LowerAscii(std::u16string_view text);
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);
std::u16string_view TrimBlanks(std::u16string_view text);

// True when every number or address has its index as id, as new records
// get them: then no id needs writing. Otherwise every id that is not empty
// is written, and the empty ones come back filled as they would be.
template <typename Items>
bool IdsAreIndexes(const Items& items)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::u16string_view id = items[i].id;
        std::size_t value = 0;
        for (char16_t c : id)
            value = c >= u'0' && c <= u'9' && value < 1000000 ? value * 10 + (c - u'0') : 1000001;
        if (id.empty() || (id.size() > 1 && id[0] == u'0') || value != i)
            return false;
    }
    return true;
}

// The X-FRITZ values of a number, an address and a contact, in this order;
// vCard writes them as X-FRITZ-<NAME> parameters and properties, CSV as
// columns "Phone n - X-FRITZ-<Name>", "E-mail n - X-FRITZ-<Name>" and
// "X-FRITZ-<Name>".
inline constexpr std::u16string_view NumberExtras[] = {u"Type", u"Prio", u"Quickdial", u"Vanity", u"Id"};
inline constexpr std::u16string_view EmailExtras[] = {u"Classifier", u"Id"};
inline constexpr std::u16string_view ContactExtras[] = {u"Uniqueid", u"ModTime", u"ImageURL"};
inline constexpr std::u16string_view ExtraPrefix = u"X-FRITZ-";

}  // namespace exchange
