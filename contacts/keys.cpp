#include "contacts/keys.h"

#include "base/text.h"

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <vector>

#include "contacts/text_ids.h"

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

constexpr std::string_view FallbackRegion = "DE";

// Blanks a number may hold anywhere: space, tab, line breaks, no-break space.
bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0';
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

std::u16string FromAscii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

// A numbering plan whose common forms are read without libphonenumber: its
// country code, with "00" before international and "0" before national
// numbers, and no other prefix that libphonenumber strips.
struct Plan {
    std::string_view region;
    std::u16string_view countryCode;
};
constexpr Plan Plans[] = {{"DE", u"49"}, {"AT", u"43"}};

// What a national significant number read by the shortcut must look like:
// libphonenumber keeps a leading "0" or a shorter number as it stands, and
// judges longer ones against the plan's lengths.
bool FitsShortcut(std::u16string_view national)
{
    return national.size() >= 4 && national.size() <= 13 && national[0] != u'0';
}

// True for a number in international form of one of the plans (the
// digits after "+" or "00").
bool InternationalShortcut(std::u16string_view digits)
{
    for (const Plan& plan : Plans)
        if (digits.starts_with(plan.countryCode) && FitsShortcut(digits.substr(plan.countryCode.size())))
            return true;
    return false;
}

}  // namespace

std::string_view NumberKindId(NumberKind kind)
{
    switch (kind) {
    case NumberKind::None:
        return "none";
    case NumberKind::Dialable:
        return "e164";
    case NumberKind::Digits:
        return "digits";
    case NumberKind::Code:
        return "code";
    case NumberKind::Sip:
        return "sip";
    case NumberKind::Wildcard:
        return "wildcard";
    }
    return "none";
}

std::string RegionFromLocale(std::string_view locale)
{
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::size_t underscore = locale.find('_');
    if (underscore == std::string_view::npos)
        return {};
    const std::string_view country = locale.substr(underscore + 1);
    if (country.size() != 2)
        return {};
    std::string region;
    for (char c : country) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            return {};
        region += c;
    }
    return region;
}

std::string RegionFromEnvironment(const char* lcAll, const char* lcTelephone, const char* lang)
{
    for (const char* locale : {lcAll, lcTelephone, lang}) {
        if (locale && *locale) {
            const std::string region = RegionFromLocale(locale);
            return region.empty() ? std::string(FallbackRegion) : region;
        }
    }
    return std::string(FallbackRegion);
}

std::string SystemRegion()
{
    return RegionFromEnvironment(std::getenv("LC_ALL"), std::getenv("LC_TELEPHONE"), std::getenv("LANG"));
}

struct NumberKeys::State {
    std::string region;
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    std::u16string_view homeCode;  // the plan's country code when the shortcut reads this region
    TextStore texts;
    TextIds idOfText;              // number text -> id
    TextIds idOfKey;               // kind letter + key text -> id
    std::vector<NumberKey> keys{NumberKey{}};
    std::size_t readings = 0;
    // A kind letter and a key: what idOfKey holds, and where a key is made.
    std::u16string lookup;
    std::u16string digits;  // scratch

    // The id of the key in lookup, of the given kind; a new one for a new key.
    std::uint32_t Intern(NumberKind kind);
    // The kind of a number, with its key in lookup, when libphonenumber need
    // not read it; false when it must.
    bool Quick(std::u16string_view text, NumberKind& kind);
    bool Shortcut(std::u16string_view text);
    NumberKey Library(std::u16string_view text);
};

NumberKeys::NumberKeys(std::string region, Reading reading) : state_(std::make_unique<State>())
{
    if (state_->util->GetCountryCodeForRegion(region) == 0)
        region = FallbackRegion;
    state_->region = std::move(region);
    if (reading == Reading::Shortcut)
        for (const Plan& plan : Plans)
            if (plan.region == state_->region)
                state_->homeCode = plan.countryCode;
}

NumberKeys::~NumberKeys() = default;

const std::string& NumberKeys::Region() const
{
    return state_->region;
}

void NumberKeys::Reserve(std::size_t texts)
{
    state_->idOfText.reserve(state_->idOfText.size() + texts);
    state_->idOfKey.reserve(state_->idOfKey.size() + texts);
}

std::size_t NumberKeys::LibraryReadings() const
{
    return state_->readings;
}

const NumberKey& NumberKeys::Key(std::u16string_view number)
{
    return KeyOfId(Id(number));
}

const NumberKey& NumberKeys::KeyOfId(std::uint32_t id) const
{
    return id < state_->keys.size() ? state_->keys[id] : state_->keys[0];
}

std::uint32_t NumberKeys::Id(std::u16string_view number)
{
    State& s = *state_;
    NumberKind kind = NumberKind::None;
    if (s.Quick(number, kind))
        return s.Intern(kind);
    // Only what libphonenumber reads is worth remembering by its text.
    if (const auto found = s.idOfText.find(number); found != s.idOfText.end())
        return found->second;
    const NumberKey key = s.Library(number);
    s.lookup.assign(1, u'\0');
    s.lookup += key.text;
    const std::uint32_t id = s.Intern(key.kind);
    s.idOfText.emplace(s.texts.Keep(number), id);
    return id;
}

std::uint32_t NumberKeys::State::Intern(NumberKind kind)
{
    if (kind == NumberKind::None)
        return 0;
    lookup[0] = static_cast<char16_t>(u'0' + static_cast<int>(kind));  // keys of two kinds never meet
    std::uint32_t id = static_cast<std::uint32_t>(keys.size());
    const auto at = idOfKey.lazy_emplace(std::u16string_view(lookup), [&](const TextIds::constructor& make) {
        make(texts.Keep(lookup), id);
        keys.push_back({kind, lookup.substr(1)});
    });
    return at->second;
}

bool NumberKeys::State::Quick(std::u16string_view text, NumberKind& kind)
{
    lookup.assign(1, u'\0');
    for (char16_t c : text)
        if (!IsBlank(c))
            lookup += c;
    const std::u16string_view compact = std::u16string_view(lookup).substr(1);
    // The kind comes from the text as written: libphonenumber would drop
    // "*" and "#" and make "+49610" of "**610".
    if (compact.empty())
        kind = NumberKind::None;
    else if (compact.front() == u'*' || compact.front() == u'#')
        kind = NumberKind::Code;
    else if (compact.find(u'@') != std::u16string_view::npos)
        kind = NumberKind::Sip;
    else if (compact.back() == u'*')
        kind = NumberKind::Wildcard;
    else if (Shortcut(text))
        kind = NumberKind::Dialable;
    else
        return false;
    return true;
}

// The key of a number made of digits, blanks (space, no-break space) and
// "-/.()" with at most a leading "+", in one of the plans, as libphonenumber would give it, after
// the first character of lookup; false for every other number.
bool NumberKeys::State::Shortcut(std::u16string_view text)
{
    if (homeCode.empty())
        return false;
    digits.clear();
    bool plus = false;
    for (char16_t c : text) {
        if (IsDigit(c))
            digits += c;
        else if (c == u'+' && !plus && digits.empty())
            plus = true;
        else if (c != u' ' && c != u'\u00A0' && c != u'-' && c != u'/' && c != u'.' && c != u'(' && c != u')')
            return false;  // libphonenumber takes no tab or line break in a number, for one
    }
    std::u16string_view d = digits;
    lookup.resize(1);
    if (plus || d.starts_with(u"00")) {
        d.remove_prefix(plus ? 0 : 2);
        if (!InternationalShortcut(d))
            return false;
    } else if (d.starts_with(u'0') && FitsShortcut(d.substr(1))) {
        d.remove_prefix(1);
        lookup += homeCode;
    } else if (!d.starts_with(homeCode) && FitsShortcut(d)) {
        lookup += homeCode;
    } else {
        return false;
    }
    lookup.insert(1, 1, u'+');
    lookup += d;
    return true;
}

NumberKey NumberKeys::State::Library(std::u16string_view text)
{
    std::string utf8;
    icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size())).toUTF8String(utf8);
    ++readings;
    PhoneNumber number;
    if (util->Parse(utf8, region, &number) == PhoneNumberUtil::NO_PARSING_ERROR) {
        std::string e164;
        util->Format(number, PhoneNumberUtil::E164, &e164);
        if (number.has_extension() && !number.extension().empty())
            e164 += ";ext=" + number.extension();
        return {NumberKind::Dialable, FromAscii(e164)};
    }
    util->NormalizeDigitsOnly(&utf8);
    if (utf8.empty())
        return {};
    return {NumberKind::Digits, FromAscii(utf8)};
}

namespace {

// Appends the words of text to out, each after one blank (none before the
// first word of out).
void AppendWords(std::u16string& out, std::u16string_view text)
{
    bool blank = !out.empty();
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t c = CodePointAt(text, i, length);
        if (u_isUWhiteSpace(static_cast<UChar32>(c))) {
            blank = !out.empty();
        } else {
            if (blank)
                out += u' ';
            blank = false;
            out.append(text.substr(i, length));
        }
        i += length;
    }
}

}  // namespace

std::u16string NameKey(std::u16string_view name)
{
    if (name.empty())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    static const icu::Normalizer2* const fold = icu::Normalizer2::getNFKCCasefoldInstance(status);
    icu::UnicodeString folded;
    if (fold) {
        status = U_ZERO_ERROR;
        folded = fold->normalize(icu::UnicodeString(false, name.data(), static_cast<int32_t>(name.size())), status);
    }
    if (!fold || U_FAILURE(status))
        folded = icu::UnicodeString(name.data(), static_cast<int32_t>(name.size())).foldCase();
    const std::u16string_view text(folded.getBuffer(), static_cast<std::size_t>(folded.length()));

    std::u16string key;
    const std::size_t comma = text.find(u',');
    if (comma != std::u16string_view::npos && text.find(u',', comma + 1) == std::u16string_view::npos) {
        AppendWords(key, text.substr(comma + 1));  // "Nachname, Vorname": first name first
        AppendWords(key, text.substr(0, comma));
    } else {
        AppendWords(key, text);
    }
    return key;
}
