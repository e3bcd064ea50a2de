#include "contacts/edit.h"

#include <algorithm>

#include "base/text.h"

using Node = RecordList::Node;

namespace {

// The number a text begins with (at most 15 digits), or -1 when it begins
// with none.
long long LeadingNumber(std::u16string_view text)
{
    long long value = -1;
    for (std::size_t i = 0; i < text.size() && i < 15 && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = (value < 0 ? 0 : value * 10) + (text[i] - u'0');
    return value;
}

bool WholeNumber(std::u16string_view text)
{
    return !text.empty() && text.size() <= 15 &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

std::u16string LabelOf(std::span<const ValueLabel> labels, std::u16string_view value)
{
    for (const ValueLabel& l : labels)
        if (l.value == value)
            return std::u16string(l.label);
    return value.empty() ? u"(ohne)" : std::u16string(value);
}

bool RefusesChange(const std::vector<CheckFinding>& findings)
{
    return AnyFinding(findings, CheckSeverity::Error);
}

std::u16string NextUniqueId(const RecordList& book)
{
    long long highest = 0;
    for (const NodeRecord& r : book)
        if (r.name == u"uniqueid" && WholeNumber(r.text))
            highest = std::max(highest, LeadingNumber(r.text));
    return DecimalText(highest + 1);
}

std::u16string NextContactNr(const RecordList& book, std::u16string_view suffix)
{
    long long highest = -1;
    for (const NodeRecord& r : book)
        highest = std::max(highest, LeadingNumber(r.nr));
    return DecimalText(highest + 1) + std::u16string(suffix);
}

std::int32_t NewContactDepth(const RecordList& book)
{
    for (const Node* n = book.LastNode(); n; n = n->prev) {
        if (n->record.name == u"contact")
            return n->record.depth;
        if (n->record.name == u"phonebook")
            return n->record.depth + 1;
    }
    return 2;
}

std::u16string ModTimeText(std::int64_t unixSeconds)
{
    return DecimalText(unixSeconds);
}

bool ApplyContactEdit(RecordList& book, Contact& fields, std::int64_t now)
{
    if (!WriteContact(book, fields))
        return false;
    if (fields.from.modTime) {
        fields.modTime = ModTimeText(now);
        WriteContact(book, fields);
    }
    return true;
}

RecordList::Node* AddContactToBook(RecordList& book, Contact& fields, std::int64_t now, std::u16string_view suffix)
{
    if (fields.uniqueId.empty())
        fields.uniqueId = NextUniqueId(book);
    if (fields.modTime.empty())
        fields.modTime = ModTimeText(now);
    return AppendNewContact(book, fields, NextContactNr(book, suffix), NewContactDepth(book));
}
