#pragma once
// Attribute texts: how a record keeps its element's attributes.
//
// A record keeps its element's attributes as one text: per attribute the name,
// "=", a double quote, the value, a double quote and "|". A value holding "|"
// would be cut there when the text is split again, so such a value (and only
// such a value) is written with "|" as "\|" and "\" as "\\". A value without
// "|" stands in the text exactly as parsed, backslashes included; a value with
// "|" in the text is always an escaped one.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Appends one attribute field to an attributes text.
void AppendAttributeField(std::u16string& attributes, std::u16string_view name, std::u16string_view value);

struct AttributePair {
    std::u16string name;
    std::u16string value;
};
// Splits an attributes text into its pairs, in order. Fields without a name
// are skipped, so no attribute without a name ever comes out.
std::vector<AttributePair> SplitAttributes(std::u16string_view attributes);

// One field of an attributes text as it stands there.
struct AttributeField {
    std::u16string_view field;  // the whole field, without the "|" that ends it
    std::u16string_view name;   // empty for a field without a name
    std::u16string_view raw;    // the value as written, escapes not undone
};
// The field that starts at pos; pos moves past it. False when no field is left.
bool NextAttributeField(std::u16string_view attributes, std::size_t& pos, AttributeField& out);
// A field's value: raw itself, or, when it is an escaped one, the value with
// its escapes undone into scratch.
std::u16string_view AttributeValue(std::u16string_view raw, std::u16string& scratch);

// Calls take(name, value) for every field of an attributes text that has a
// name, with views that last only for the call. scratch holds an escaped
// value once its escapes are undone.
template <typename Take>
void ForEachAttribute(std::u16string_view attributes, std::u16string& scratch, Take take)
{
    std::size_t pos = 0;
    AttributeField f;
    while (NextAttributeField(attributes, pos, f))
        if (!f.name.empty())
            take(f.name, AttributeValue(f.raw, scratch));
}

// The value of the attribute name into value; false (value emptied) when the
// text has no such attribute.
bool FindAttribute(std::u16string_view attributes, std::u16string_view name, std::u16string& value);

// The attributes text with name set to value: in place when the attribute is
// there; else inserted before the first attribute that order names after
// name (at the end when there is none, or when order does not hold name).
// Every other field stays as it stands.
std::u16string WithAttribute(std::u16string_view attributes, std::u16string_view name, std::u16string_view value,
                             std::span<const std::u16string_view> order = {});
