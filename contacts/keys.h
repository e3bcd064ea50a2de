#pragma once
// Keys under which two contacts are compared: a number's key and a name's.
//
// A number's kind is decided on its text before anything is normalised, in
// this order: a text starting with "*" or "#" is an internal or feature code
// ("**610", "#96*5*"), one holding "@" a SIP address, one ending in "*" a
// wildcard. Their key is the text without blanks, compared exactly. Every
// other number is dialable: its key is the E.164 form libphonenumber gives
// it, read in the default region ("+49301234567" for "030 1234567" in
// Germany; an extension follows as ";ext=12"). A dialable number that
// libphonenumber cannot read keeps its digits as its key; a text without
// any digit has no key and is like no other number.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum class NumberKind : std::uint8_t {
    None,      // no key: blank, or a dialable text without digits
    Dialable,  // E.164
    Digits,    // a dialable text libphonenumber could not read: its digits
    Code,      // internal or feature code
    Sip,       // SIP address
    Wildcard,  // ends in "*"
};

// A short ASCII name of each kind, for machine-readable listings:
// "none", "e164", "digits", "code", "sip", "wildcard".
std::string_view NumberKindId(NumberKind kind);

struct NumberKey {
    NumberKind kind = NumberKind::None;
    std::u16string text;

    bool operator==(const NumberKey& other) const = default;
};

// The country of a locale name: "DE" for "de_DE.UTF-8" or "de_DE@euro",
// empty for "C", "POSIX", "de" or "".
std::string RegionFromLocale(std::string_view locale);
// The default region of the locale that decides the telephone format: the
// first of LC_ALL, LC_TELEPHONE and LANG that is set and not empty, as
// given (nullptr for unset); "DE" when that locale names no country.
std::string RegionFromEnvironment(const char* lcAll, const char* lcTelephone, const char* lang);
// RegionFromEnvironment with this process's environment.
std::string SystemRegion();

// Number keys in one default region, each distinct text worked out once.
// Not for use from several threads at once.
class NumberKeys {
public:
    // Shortcut reads the common German and Austrian forms ("030 1234567",
    // "+49 30 1234567", "0049 30 1234567") without libphonenumber, with the
    // result libphonenumber gives them; LibraryOnly hands every dialable
    // number to libphonenumber.
    enum class Reading { Shortcut, LibraryOnly };

    // A region libphonenumber does not know counts as "DE".
    explicit NumberKeys(std::string region = SystemRegion(), Reading reading = Reading::Shortcut);
    ~NumberKeys();
    NumberKeys(const NumberKeys&) = delete;
    NumberKeys& operator=(const NumberKeys&) = delete;

    const std::string& Region() const;

    const NumberKey& Key(std::u16string_view number);
    // A small number per distinct key, counted from 1 in the order the keys
    // were first met; 0 for a number without key.
    std::uint32_t Id(std::u16string_view number);
    // The key of an id that Id gave; the empty key for 0.
    const NumberKey& KeyOfId(std::uint32_t id) const;
    // Makes room for this many more distinct texts, so that a large
    // phonebook's texts go in without the tables growing step by step.
    void Reserve(std::size_t texts);
    // How many texts libphonenumber has read so far.
    std::size_t LibraryReadings() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The key of a name: case-folded (with compatibility forms unified, so
// "GROSS", "Groß" and "groß" agree), blanks collapsed and trimmed, and
// "Nachname, Vorname" turned into "vorname nachname". Empty for a blank name.
std::u16string NameKey(std::u16string_view name);
