#include "phonebook/core.h"

#include "base/text.h"
#include "contacts/contact.h"

#include <algorithm>
#include <utility>

namespace {

const std::u16string_view ContactName = u"contact";

}  // namespace

// Flattening ---------------------------------------------------------------------

namespace {

// Element names repeat all through a phonebook; records of the same name
// share one text.
class NameCache {
public:
    const RecordText& Get(std::u16string_view name)
    {
        // The library keeps one copy of each name of a loaded file, so the
        // same name usually comes with the same address. The document does
        // not change during a walk, so the same address and length are the
        // same name.
        Entry& e = slots_[(reinterpret_cast<std::uintptr_t>(name.data()) / sizeof(char16_t) + name.size()) % Slots];
        if (e.data != name.data() || e.text.size() != name.size()) {
            e.data = name.data();
            e.text = name;
        }
        return e.text;
    }

private:
    struct Entry {
        const char16_t* data = nullptr;
        RecordText text;
    };
    static constexpr std::size_t Slots = 61;
    Entry slots_[Slots];
};

}  // namespace

FlattenResult FlattenDocument(XmlNode* main, const std::u16string& suffix, RecordList& out,
                              std::u16string& phonebookName,
                              const std::function<void(int kind)>& onIgnored)
{
    FlattenResult result;
    // Pre-order walk with the ancestors of the current node on an explicit
    // stack; its size is the current node's depth below main.
    std::vector<XmlNode*> ancestors;
    long long counter = -1;
    std::u16string buffer;  // nr and attribute texts are made here first
    NameCache names;
    XmlNode* node = main;
    while (node) {
        XmlNode* child = nullptr;
        const int kind = XmlNodeKindOf(node);
        if (kind == XmlKindElement) {
            ++counter;
            NodeRecord& record = out.Append(NodeRecord{});
            // The index in decimal, then the suffix.
            char16_t digits[24];
            std::size_t first = sizeof digits / sizeof digits[0];
            for (long long v = counter; v > 0 || first == sizeof digits / sizeof digits[0]; v /= 10)
                digits[--first] = static_cast<char16_t>(u'0' + v % 10);
            buffer.assign(digits + first, digits + sizeof digits / sizeof digits[0]);
            buffer += suffix;
            record.nr = buffer;
            record.depth = static_cast<std::int32_t>(ancestors.size());
            const std::u16string_view elementName = XmlNodeNameView(node);
            record.name = names.Get(elementName);
            const bool isPhonebook = elementName == u"phonebook";
            // Views into the document: nothing is copied twice.
            const int attributeCount = XmlAttributeCount(node);
            if (attributeCount > 0) {
                buffer.clear();
                for (int i = 0; i < attributeCount; ++i) {
                    const std::u16string_view name = XmlAttributeNameView(node, i);
                    const std::u16string_view value = XmlAttributeValueView(node, i);
                    AppendAttributeField(buffer, name, value);
                    if (isPhonebook && name == u"name")
                        phonebookName.assign(value);
                }
                record.attributes = buffer;
            }
            record.text = XmlNodeTextView(node);
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
    ForEachContactRow(records, [&rows](RecordList::Node* contact, std::u16string_view nr, std::u16string_view id,
                                       std::u16string_view name, std::u16string_view telefon) {
        rows.push_back({std::u16string(nr), std::u16string(id), std::u16string(name), std::u16string(telefon), contact});
    });
    return rows;
}

void AssignRowText(std::u16string& text, std::u16string_view nr, std::u16string_view id, std::u16string_view name,
                   std::u16string_view telefon)
{
    text.clear();
    text.reserve(4 + nr.size() + id.size() + name.size() + telefon.size());
    text += u'\n';
    text += nr;
    text += u'\n';
    text += id;
    text += u'\n';
    text += name;
    text += u'\n';
    text += telefon;
}

std::u16string RowText(std::u16string_view nr, std::u16string_view id, std::u16string_view name,
                       std::u16string_view telefon)
{
    std::u16string text;
    AssignRowText(text, nr, id, name, telefon);
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
    EraseContact(records, contact);
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

XmlNode* AddRecordElement(XmlNode* parent, std::u16string_view name, std::u16string_view attributes,
                          std::u16string_view text, const std::u16string& phonebookName)
{
    XmlNode* element = XmlCreateElement(parent, name);
    if (!element)
        return nullptr;
    if (!attributes.empty()) {
        const bool isPhonebook = name == u"phonebook";
        std::u16string scratch;
        ForEachAttribute(attributes, scratch, [&](std::u16string_view n, std::u16string_view v) {
            XmlSetAttribute(element, n, isPhonebook && n == u"name" ? std::u16string_view(phonebookName) : v);
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
bool FollowsInSource(std::u16string_view before, std::u16string_view nr)
{
    const auto number = [](std::u16string_view text, std::size_t& digits) {
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
    return second == first + 1 && before.substr(a) == nr.substr(b);
}

}  // namespace

bool BuildPhonebookDocument(int document, const RecordList& records, const std::u16string& phonebookName)
{
    XmlNode* root = XmlRootNode(document);
    if (!root || XmlMainNode(document))
        return false;

    // The elements are made in list order, each as the last child of its
    // parent, so they also lie in memory in the order that formatting and
    // writing walk them.
    //
    // The elements still open, with the depth of their records. A record's
    // parent is the innermost open element of a smaller depth, which for a
    // list made by loading is exactly the nearest record before it with depth
    // one less. Nesting is bounded only by memory.
    struct Open {
        std::int32_t depth;
        XmlNode* element;
        const NodeRecord* record;  // nullptr for a frame element
        std::uint32_t unit;
        bool hasChild;
    };
    std::vector<Open> open;
    XmlNode* documentElement = nullptr;

    // A list that does not begin with a top-level record (contacts copied into
    // a panel that held no phonebook), or an empty one, gets the frame a new
    // phonebook has: "phonebooks" holding "phonebook" with owner "1" and the
    // name. The contacts land in it, and the file stays a well-formed
    // phonebook the router can read.
    const RecordList::Node* first = records.FirstNode();
    if (!first || (first->record.depth > 0 && first->record.name != u"phonebooks")) {
        documentElement = XmlCreateElement(root, u"phonebooks");
        XmlNode* phonebook = documentElement ? XmlCreateElement(documentElement, u"phonebook") : nullptr;
        if (!phonebook)
            return false;
        XmlSetAttribute(phonebook, u"owner", u"1");
        XmlSetAttribute(phonebook, u"name", phonebookName);
        open.push_back({0, documentElement, nullptr, 0, true});
        open.push_back({1, phonebook, nullptr, 0, false});
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
        const auto takes = [&](const Open& parent) {
            if (!HoldsText(parent.record))
                return true;
            const RecordText& name = parent.record->name;
            if (name == u"phonebook" || name == u"phonebooks")
                return true;
            return parent.unit == n->unit && (parent.hasChild || FollowsInSource(parent.record->nr, r.nr));
        };
        std::size_t k = open.size();
        // A contact never goes inside a contact of another origin: one
        // brought in from a file whose contacts stand deeper would otherwise
        // land inside the contact before it, and that contact's later
        // records would then count for it. It goes beside that contact.
        if (r.name == ContactName) {
            for (std::size_t c = 0; c < k; ++c) {
                const Open& o = open[c];
                if (o.record && o.unit != n->unit && o.record->name == ContactName) {
                    k = c;
                    break;
                }
            }
        }
        while (k > 0 && !takes(open[k - 1]))
            --k;
        XmlNode* parent = root;
        if (k > 0) {
            parent = open[k - 1].element;
            open[k - 1].hasChild = true;
        } else if (documentElement) {
            parent = documentElement;
        }
        XmlNode* element = AddRecordElement(parent, r.name, r.attributes, r.text, phonebookName);
        if (!element)
            return false;
        if (!documentElement)
            documentElement = element;
        open.push_back({r.depth, element, &r, n->unit, element == documentElement});
    }
    return true;
}
