#include "contacts/attributes.h"

#include <algorithm>

namespace {

bool NeedsEscape(std::u16string_view value)
{
    return value.find(u'|') != std::u16string_view::npos;
}

std::size_t IndexIn(std::span<const std::u16string_view> order, std::u16string_view name)
{
    return static_cast<std::size_t>(std::find(order.begin(), order.end(), name) - order.begin());
}

}  // namespace

void AppendAttributeField(std::u16string& attributes, std::u16string_view name, std::u16string_view value)
{
    attributes += name;
    attributes += u"=\"";
    if (NeedsEscape(value)) {
        for (char16_t c : value) {
            if (c == u'|' || c == u'\\')
                attributes.push_back(u'\\');
            attributes.push_back(c);
        }
    } else {
        attributes += value;
    }
    attributes += u"\"|";
}

bool NextAttributeField(std::u16string_view attributes, std::size_t& pos, AttributeField& out)
{
    const std::size_t n = attributes.size();
    if (pos >= n)
        return false;
    // Find the separator that ends this field. A backslash always takes the
    // character after it along: in an escaped value that is how "\|" stays
    // inside the value; in an unescaped value it can never swallow the
    // separator, because the separator follows the closing double quote.
    std::size_t i = pos;
    while (i < n && attributes[i] != u'|')
        i += (attributes[i] == u'\\') ? 2 : 1;
    const std::size_t end = std::min(i, n);  // field is [pos, end)
    out.field = attributes.substr(pos, end - pos);
    pos = end + 1;

    out.name = {};
    out.raw = {};
    const std::size_t eq = out.field.find(u'=');
    if (eq == std::u16string_view::npos || eq == 0)
        return true;  // no name: never made into an attribute
    out.name = out.field.substr(0, eq);
    // The value lies between the double quote after "=" and the field's last
    // character (the closing double quote).
    if (out.field.size() >= eq + 3)
        out.raw = out.field.substr(eq + 2, out.field.size() - eq - 3);
    return true;
}

std::u16string_view AttributeValue(std::u16string_view raw, std::u16string& scratch)
{
    if (!NeedsEscape(raw))
        return raw;
    scratch.clear();
    for (std::size_t k = 0; k < raw.size(); ++k) {
        if (raw[k] == u'\\' && k + 1 < raw.size())
            ++k;
        scratch.push_back(raw[k]);
    }
    return scratch;
}

std::vector<AttributePair> SplitAttributes(std::u16string_view attributes)
{
    std::vector<AttributePair> pairs;
    std::u16string scratch;
    ForEachAttribute(attributes, scratch, [&pairs](std::u16string_view n, std::u16string_view v) {
        pairs.push_back({std::u16string(n), std::u16string(v)});
    });
    return pairs;
}

bool FindAttribute(std::u16string_view attributes, std::u16string_view name, std::u16string& value)
{
    value.clear();
    std::size_t pos = 0;
    AttributeField f;
    while (NextAttributeField(attributes, pos, f)) {
        if (f.name == name) {
            std::u16string scratch;
            value.assign(AttributeValue(f.raw, scratch));
            return true;
        }
    }
    return false;
}

std::u16string WithAttribute(std::u16string_view attributes, std::u16string_view name, std::u16string_view value,
                             std::span<const std::u16string_view> order)
{
    std::u16string ignored;
    const bool present = FindAttribute(attributes, name, ignored);
    const std::size_t rank = IndexIn(order, name);
    bool placed = false;
    std::u16string out;
    out.reserve(attributes.size() + name.size() + value.size() + 4);
    std::size_t pos = 0;
    AttributeField f;
    while (NextAttributeField(attributes, pos, f)) {
        const bool same = !f.name.empty() && f.name == name;
        if (!present && !placed && rank < order.size() && !f.name.empty()) {
            const std::size_t fieldRank = IndexIn(order, f.name);
            if (fieldRank < order.size() && fieldRank > rank) {
                AppendAttributeField(out, name, value);
                placed = true;
            }
        }
        if (same && !placed) {
            AppendAttributeField(out, name, value);
            placed = true;
        } else {
            out += f.field;
            out += u'|';
        }
    }
    if (!placed)
        AppendAttributeField(out, name, value);
    return out;
}
