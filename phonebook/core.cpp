#include "phonebook/core.h"

#include "phonebook/text.h"

#include <algorithm>
#include <utility>

namespace {

const std::u16string ContactName = u"contact";

bool NeedsEscape(std::u16string_view value)
{
    return value.find(u'|') != std::u16string_view::npos;
}

}  // namespace

// Attribute text ------------------------------------------------------------------

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

namespace {

// Calls take(name, value) for every field of an attributes text that has a
// name. value is a scratch buffer that the next call reuses.
template <typename Take>
void ForEachAttribute(const std::u16string& attributes, std::u16string& name, std::u16string& value, Take take)
{
    const std::size_t n = attributes.size();
    std::size_t start = 0;
    while (start < n) {
        // Find the separator that ends this field. A backslash always takes the
        // character after it along: in an escaped value that is how "\|" stays
        // inside the value; in an unescaped value it can never swallow the
        // separator, because the separator follows the closing double quote.
        std::size_t i = start;
        while (i < n && attributes[i] != u'|')
            i += (attributes[i] == u'\\') ? 2 : 1;
        const std::size_t end = std::min(i, n);  // field is [start, end)
        const std::u16string_view field(attributes.data() + start, end - start);
        start = end + 1;

        const std::size_t eq = field.find(u'=');
        if (eq == std::u16string_view::npos || eq == 0)
            continue;  // no name: never made into an attribute
        name.assign(field.substr(0, eq));
        // The value lies between the double quote after "=" and the field's
        // last character (the closing double quote).
        std::u16string_view raw;
        if (field.size() >= eq + 3)
            raw = field.substr(eq + 2, field.size() - eq - 3);
        if (raw.find(u'|') != std::u16string_view::npos) {
            value.clear();
            for (std::size_t k = 0; k < raw.size(); ++k) {
                if (raw[k] == u'\\' && k + 1 < raw.size())
                    ++k;
                value.push_back(raw[k]);
            }
        } else {
            value.assign(raw);
        }
        take(name, value);
    }
}

}  // namespace

std::vector<AttributePair> SplitAttributes(const std::u16string& attributes)
{
    std::vector<AttributePair> pairs;
    std::u16string name, value;
    ForEachAttribute(attributes, name, value,
                     [&pairs](const std::u16string& n, const std::u16string& v) { pairs.push_back({n, v}); });
    return pairs;
}

// Flattening ---------------------------------------------------------------------

FlattenResult FlattenDocument(XmlNode* main, const std::u16string& suffix, RecordList& out,
                              std::u16string& phonebookName,
                              const std::function<void(int kind)>& onIgnored)
{
    FlattenResult result;
    // Pre-order walk with the ancestors of the current node on an explicit
    // stack; its size is the current node's depth below main.
    std::vector<XmlNode*> ancestors;
    long long counter = -1;
    XmlNode* node = main;
    while (node) {
        XmlNode* child = nullptr;
        const int kind = XmlNodeKindOf(node);
        if (kind == XmlKindElement) {
            ++counter;
            NodeRecord record;
            // The index in decimal, then the suffix: one allocation at most.
            char16_t digits[24];
            std::size_t first = sizeof digits / sizeof digits[0];
            for (long long v = counter; v > 0 || first == sizeof digits / sizeof digits[0]; v /= 10)
                digits[--first] = static_cast<char16_t>(u'0' + v % 10);
            record.nr.assign(digits + first, digits + sizeof digits / sizeof digits[0]);
            record.nr += suffix;
            record.depth = static_cast<std::int32_t>(ancestors.size());
            const std::u16string_view elementName = XmlNodeNameView(node);
            record.name.assign(elementName);
            const bool isPhonebook = elementName == u"phonebook";
            // Views into the document: nothing is copied twice.
            const int attributeCount = XmlAttributeCount(node);
            for (int i = 0; i < attributeCount; ++i) {
                const std::u16string_view name = XmlAttributeNameView(node, i);
                const std::u16string_view value = XmlAttributeValueView(node, i);
                AppendAttributeField(record.attributes, name, value);
                if (isPhonebook && name == u"name")
                    phonebookName.assign(value);
            }
            record.text.assign(XmlNodeTextView(node));
            out.Append(std::move(record));
            ++result.elements;
            child = XmlFirstChild(node);
        } else {
            ++result.ignoredNodes;
            if (onIgnored)
                onIgnored(kind);
        }

        if (child) {
            ancestors.push_back(node);
            node = child;
            continue;
        }
        // Nothing below: go on with the next sibling, climbing up as long as
        // there is none. main's own siblings are not part of the walk.
        while (true) {
            if (ancestors.empty()) {
                node = nullptr;
                break;
            }
            if (XmlNode* sibling = XmlNextSibling(node)) {
                node = sibling;
                break;
            }
            node = ancestors.back();
            ancestors.pop_back();
        }
    }
    return result;
}

std::u16string IgnoredNodeMessage(int kind)
{
    const char16_t* name = u"Root";
    switch (kind) {
    case XmlKindComment: name = u"Comment"; break;
    case XmlKindCData: name = u"CData"; break;
    case XmlKindDtd: name = u"DTD"; break;
    case XmlKindInstruction: name = u"Instruction"; break;
    default: break;
    }
    return std::u16string(u"  Ein XML-Knoten '") + name +
           u"' wurde gefunden.\n  Dieser wird noch nicht verarbeitet und ignoriert.    \n  Bitte beachten !";
}

std::u16string FurtherIgnoredNodesMessage(long long count)
{
    return u"  Weitere " + DecimalText(count) +
           u" XML-Knoten wurden gefunden.\n  Diese werden noch nicht verarbeitet und ignoriert.    \n  Bitte beachten !";
}

// Contact rows -------------------------------------------------------------------

std::vector<ContactRow> BuildContactRows(const RecordList& records)
{
    std::vector<ContactRow> rows;
    ContactRow* row = nullptr;
    for (RecordList::Node* node = records.FirstNode(); node; node = node->next) {
        const NodeRecord& r = node->record;
        if (r.name == ContactName) {
            rows.emplace_back();
            row = &rows.back();
            row->nr = r.nr;
            row->contact = node;
        } else if (!row) {
            continue;  // before the first contact: shown nowhere
        } else if (r.name == u"uniqueid") {
            row->id = r.text;
        } else if (r.name == u"realName") {
            row->name = r.text;
        } else if (r.name == u"number") {
            if (!row->telefon.empty())
                row->telefon += u"  #  ";
            row->telefon += r.text;
        }
    }
    return rows;
}

std::u16string RowText(const std::u16string& nr, const std::u16string& id, const std::u16string& name,
                       const std::u16string& telefon)
{
    std::u16string text;
    text.reserve(4 + nr.size() + id.size() + name.size() + telefon.size());
    text += u'\n';
    text += nr;
    text += u'\n';
    text += id;
    text += u'\n';
    text += name;
    text += u'\n';
    text += telefon;
    return text;
}

// Transfer -----------------------------------------------------------------------

namespace {

std::uint32_t NewTransferUnit()
{
    static std::uint32_t last = 0;
    if (++last == 0)
        last = 1;
    return last;
}

}  // namespace

RecordList::Node* CopyContactRecords(const RecordList::Node* contact, RecordList& target)
{
    if (!contact)
        return nullptr;
    const std::uint32_t unit = NewTransferUnit();
    target.Append(contact->record);
    RecordList::Node* copy = target.LastNode();
    copy->unit = unit;
    for (const RecordList::Node* n = contact->next; n && n->record.name != ContactName; n = n->next) {
        target.Append(n->record);
        target.LastNode()->unit = unit;
    }
    return copy;
}

void RemoveContactRecords(RecordList& records, RecordList::Node* contact)
{
    if (!contact)
        return;
    RecordList::Node* n = records.Erase(contact);
    while (n && n->record.name != ContactName)
        n = records.Erase(n);
}

RecordList::Node* MoveContactRecords(RecordList& source, RecordList::Node* contact, RecordList& target)
{
    if (!contact)
        return nullptr;
    const std::uint32_t unit = NewTransferUnit();
    contact->unit = unit;
    RecordList::Node* end = contact->next;
    for (; end && end->record.name != ContactName; end = end->next)
        end->unit = unit;
    return target.AppendFrom(source, contact, end);
}

// Rebuilding a document ----------------------------------------------------------

XmlNode* AddRecordElement(XmlNode* parent, const std::u16string& name, const std::u16string& attributes,
                          const std::u16string& text, const std::u16string& phonebookName)
{
    XmlNode* element = XmlCreateElement(parent, name);
    if (!element)
        return nullptr;
    if (!attributes.empty()) {
        const bool isPhonebook = name == u"phonebook";
        std::u16string attributeName, value;
        ForEachAttribute(attributes, attributeName, value, [&](const std::u16string& n, const std::u16string& v) {
            XmlSetAttribute(element, n, isPhonebook && n == u"name" ? phonebookName : v);
        });
    }
    if (!text.empty())
        XmlSetNodeText(element, text);
    return element;
}

namespace {

// True for a record whose text holds more than blanks, tabs and line breaks.
bool HoldsText(const NodeRecord* record)
{
    if (!record)
        return false;
    for (char16_t c : record->text)
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
            return true;
    return false;
}

// True when nr is the number right after the one of before, with the same
// panel suffix: "13 (2)" after "12 (2)"; also when either has no number, as
// then nothing tells them apart.
bool FollowsInSource(const std::u16string& before, const std::u16string& nr)
{
    const auto number = [](const std::u16string& text, std::size_t& digits) {
        unsigned long long value = 0;
        digits = 0;
        while (digits < text.size() && digits < 18 && text[digits] >= u'0' && text[digits] <= u'9')
            value = value * 10 + (text[digits++] - u'0');
        return value;
    };
    std::size_t a = 0, b = 0;
    const unsigned long long first = number(before, a);
    const unsigned long long second = number(nr, b);
    if (a == 0 || b == 0)
        return true;
    return second == first + 1 &&
           std::u16string_view(before).substr(a) == std::u16string_view(nr).substr(b);
}

}  // namespace

bool BuildPhonebookDocument(int document, const RecordList& records, const std::u16string& phonebookName)
{
    XmlNode* root = XmlRootNode(document);
    if (!root || XmlMainNode(document))
        return false;

    // First the shape: which record goes below which. Item 0 is the document
    // element; items are the records in list order, after the two frame
    // elements when a frame is needed.
    struct Item {
        const NodeRecord* record;  // nullptr for a frame element
        std::size_t parent;        // index of the parent item; unused for item 0
        std::uint32_t unit;
        bool hasChild;
    };
    std::vector<Item> items;
    items.reserve(records.Size() + 2);

    // A list that does not begin with a top-level record (contacts copied into
    // a panel that held no phonebook), or an empty one, gets the frame a new
    // phonebook has: "phonebooks" holding "phonebook" with owner "1" and the
    // name. The contacts land in it, and the file stays a well-formed
    // phonebook the router can read.
    const RecordList::Node* first = records.FirstNode();
    const bool frame = !first || (first->record.depth > 0 && first->record.name != u"phonebooks");

    // The items still open, with the depth of their records. A record's parent
    // is the innermost open item of a smaller depth, which for a list made by
    // loading is exactly the nearest record before it with depth one less.
    // Nesting is bounded only by memory.
    struct Open {
        std::int32_t depth;
        std::size_t item;
    };
    std::vector<Open> open;
    if (frame) {
        items.push_back({nullptr, 0, 0, true});
        items.push_back({nullptr, 0, 0, false});
        open.push_back({0, 0});
        open.push_back({1, 1});
    }
    for (const RecordList::Node* n = first; n; n = n->next) {
        const NodeRecord& r = n->record;
        while (!open.empty() && open.back().depth >= r.depth)
            open.pop_back();
        // The first record becomes the document element, whatever its name
        // and depth. A document has only one: a later record with nothing
        // open above it (a second "phonebooks", or a contact whose own file
        // had "contact" as its main element) goes below the document element
        // instead, with everything it holds, so no record is lost.
        // A contact brought in by a transfer may find, where its depth points,
        // an element of another contact that holds text (a "number" that
        // stood after the last contact, say). Below it, the text would end up
        // between child elements and come back with blanks around it; the
        // record goes to the next open element further out instead, at the
        // same place in document order.
        // Deleting or moving a contact away brings the records on both sides
        // of it together in the same way. So an element with text that has no
        // child yet takes as its first child only the record that followed it
        // where both came from: of the same transfer, with the next number.
        // "phonebook" and "phonebooks" hold contacts whatever text they have.
        const auto takes = [&](const Item& parent) {
            if (!HoldsText(parent.record))
                return true;
            const std::u16string& name = parent.record->name;
            if (name == u"phonebook" || name == u"phonebooks")
                return true;
            return parent.unit == n->unit && (parent.hasChild || FollowsInSource(parent.record->nr, r.nr));
        };
        std::size_t k = open.size();
        while (k > 0 && !takes(items[open[k - 1].item]))
            --k;
        const std::size_t parent = k > 0 ? open[k - 1].item : 0;
        items.push_back({&r, parent, n->unit, false});
        items[parent].hasChild = true;
        open.push_back({r.depth, items.size() - 1});
    }

    // Children of every item, in list order.
    const std::size_t count = items.size();
    std::vector<std::size_t> firstChild(count + 1, 0);
    for (std::size_t i = 1; i < count; ++i)
        ++firstChild[items[i].parent + 1];
    for (std::size_t i = 0; i < count; ++i)
        firstChild[i + 1] += firstChild[i];
    std::vector<std::size_t> children(count > 0 ? count - 1 : 0);
    {
        std::vector<std::size_t> fill(firstChild.begin(), firstChild.end() - 1);
        for (std::size_t i = 1; i < count; ++i)
            children[fill[items[i].parent]++] = i;
    }

    // Then the elements, level by level: all children of one element are
    // made one after the other, so appending each after its elder siblings
    // never walks a long sibling chain again. The tree is the same as when
    // the elements are made in list order.
    std::vector<XmlNode*> elements(count, nullptr);
    const auto make = [&](std::size_t i, XmlNode* parent) -> XmlNode* {
        if (const NodeRecord* r = items[i].record)
            return AddRecordElement(parent, r->name, r->attributes, r->text, phonebookName);
        if (i == 0)
            return XmlCreateElement(parent, u"phonebooks");
        XmlNode* phonebook = XmlCreateElement(parent, u"phonebook");
        if (phonebook) {
            XmlSetAttribute(phonebook, u"owner", u"1");
            XmlSetAttribute(phonebook, u"name", phonebookName);
        }
        return phonebook;
    };
    if (!(elements[0] = make(0, root)))
        return false;
    std::vector<std::size_t> queue{0};
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const std::size_t parent = queue[q];
        for (std::size_t k = firstChild[parent]; k < firstChild[parent + 1]; ++k) {
            const std::size_t child = children[k];
            if (!(elements[child] = make(child, elements[parent])))
                return false;
            queue.push_back(child);
        }
    }
    return true;
}
