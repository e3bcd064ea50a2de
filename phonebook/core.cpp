#include "phonebook/core.h"

#include "base/text.h"
#include "contacts/contact.h"

#include <expat.h>

#include <algorithm>
#include <unordered_map>
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

namespace {

bool AsciiNameStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':';
}

bool AsciiNameCharacter(char16_t c)
{
    return AsciiNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

// Tells whether a name can be written as an element or attribute name that a
// parser reads back. The ASCII characters are judged here; a name with others
// is put to Expat, the parser that reads the file again, once per save.
class NameCheck {
public:
    bool Writable(std::u16string_view name)
    {
        if (name.empty())
            return false;
        bool ascii = true;
        for (std::size_t i = 0; i < name.size(); ++i) {
            const char16_t c = name[i];
            if (c >= 0x80)
                ascii = false;
            else if (i == 0 ? !AsciiNameStart(c) : !AsciiNameCharacter(c))
                return false;
        }
        return ascii || ParserAccepts(name);
    }

private:
    bool ParserAccepts(std::u16string_view name)
    {
        if (name == last_)
            return lastWritable_;
        const std::u16string key(name);
        if (const auto found = known_.find(key); found != known_.end()) {
            last_ = key;
            lastWritable_ = found->second;
            return lastWritable_;
        }
        // Only name characters among the ASCII ones: "<" name "/>" is
        // well-formed exactly when name is a name.
        const std::string element = "<" + Utf16ToUtf8(key) + "/>";
        bool writable = false;
        if (XML_Parser parser = XML_ParserCreate("UTF-8")) {
            writable = XML_Parse(parser, element.data(), static_cast<int>(element.size()), 1) == XML_STATUS_OK;
            XML_ParserFree(parser);
        }
        known_.emplace(key, writable);
        last_ = key;
        lastWritable_ = writable;
        return writable;
    }

    std::unordered_map<std::u16string, bool> known_;
    std::u16string last_;
    bool lastWritable_ = false;
};

// Makes the elements of a rebuild, leaving out the characters XML cannot
// hold and noting where.
class ElementWriter {
public:
    ElementWriter(const std::u16string& phonebookName, std::vector<LeftOutCharacters>* leftOut)
        : phonebookName_(phonebookName), leftOut_(leftOut)
    {
        nameHeldMore_ = HoldsNonXmlCharacters(phonebookName);
        if (nameHeldMore_)
            cleanName_ = WithoutNonXmlCharacters(phonebookName);
    }

    // The Name field as written.
    const std::u16string& PhonebookName()
    {
        nameWritten_ = true;
        return nameHeldMore_ ? cleanName_ : phonebookName_;
    }

    // The element of one record (record may be nullptr when nothing is to
    // be reported), as the last child of parent.
    XmlNode* Add(XmlNode* parent, std::u16string_view name, std::u16string_view attributes, std::u16string_view text,
                 const RecordList::Node* record, const RecordList::Node* contact)
    {
        record_ = record;
        contact_ = contact;
        // Records share the text of equal names, so most names are found
        // here by where their characters lie, and checked once per save.
        auto& known = goodNames_[(reinterpret_cast<std::uintptr_t>(name.data()) / sizeof(char16_t)) % GoodNames];
        std::u16string nameScratch;
        if (known.first != name.data() || known.second != name.size()) {
            name = Clean(name, nameScratch, LeftOutCharacters::Field::ElementName, {});
            if (!names_.Writable(name))
                return nullptr;
            if (nameScratch.empty())
                known = {name.data(), name.size()};
        }
        XmlNode* element = XmlCreateElement(parent, name);
        if (!element)
            return nullptr;
        if (!attributes.empty()) {
            const bool isPhonebook = name == u"phonebook";
            // Looked at field by field only when the whole text holds a
            // character to leave out.
            const bool clean = Plain(attributes) || !HoldsNonXmlCharacters(attributes);
            bool writable = true;
            std::u16string scratch, keyScratch, valueScratch;
            ForEachAttribute(attributes, scratch, [&](std::u16string_view key, std::u16string_view value) {
                if (!clean)
                    key = Clean(key, keyScratch, LeftOutCharacters::Field::AttributeName, {});
                if (!names_.Writable(key)) {
                    writable = false;
                    return;
                }
                if (isPhonebook && key == u"name")
                    value = PhonebookName();
                else if (!clean)
                    value = Clean(value, valueScratch, LeftOutCharacters::Field::AttributeValue, key);
                XmlSetAttribute(element, key, value);
            });
            if (!writable)
                return nullptr;
        }
        if (!text.empty()) {
            std::u16string scratch;
            XmlSetNodeText(element, Clean(text, scratch, LeftOutCharacters::Field::Text, {}));
        }
        return element;
    }

    // Puts the Name field first among the places when it was written with
    // characters left out.
    void Finish()
    {
        if (leftOut_ && nameHeldMore_ && nameWritten_)
            leftOut_->insert(leftOut_->begin(), LeftOutCharacters{});
    }

private:
    // True when every unit of text is one of the characters U+0020 to
    // U+D7FF, which XML always holds; written without a branch per unit, so
    // that the compiler can take several units at a time.
    static bool Plain(std::u16string_view text)
    {
        bool plain = true;
        for (char16_t c : text)
            plain &= static_cast<char16_t>(c - 0x20) < 0xD800 - 0x20;
        return plain;
    }

    std::u16string_view Clean(std::u16string_view text, std::u16string& scratch, LeftOutCharacters::Field field,
                              std::u16string_view attribute)
    {
        if (Plain(text) || !HoldsNonXmlCharacters(text))
            return text;
        scratch = WithoutNonXmlCharacters(text);
        if (leftOut_)
            leftOut_->push_back({field, record_, contact_, std::u16string(attribute)});
        return scratch;
    }

    const std::u16string& phonebookName_;
    std::u16string cleanName_;
    bool nameHeldMore_ = false;
    bool nameWritten_ = false;
    std::vector<LeftOutCharacters>* leftOut_;
    const RecordList::Node* record_ = nullptr;
    const RecordList::Node* contact_ = nullptr;
    NameCheck names_;
    static constexpr std::size_t GoodNames = 31;
    std::pair<const char16_t*, std::size_t> goodNames_[GoodNames] = {};
};

}  // namespace

XmlNode* AddRecordElement(XmlNode* parent, std::u16string_view name, std::u16string_view attributes,
                          std::u16string_view text, const std::u16string& phonebookName)
{
    ElementWriter writer(phonebookName, nullptr);
    return writer.Add(parent, name, attributes, text, nullptr, nullptr);
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

bool BuildPhonebookDocument(int document, const RecordList& records, const std::u16string& phonebookName,
                            RebuildReport* report)
{
    XmlNode* root = XmlRootNode(document);
    if (!root || XmlMainNode(document))
        return false;
    ElementWriter writer(phonebookName, report ? &report->leftOut : nullptr);
    std::size_t levels = 0;

    // The elements are made in list order, each as the last child of an
    // element on the path from the document element down to the element made
    // last, so the document keeps the order of the list; they also lie in
    // memory in the order that formatting and writing walk them.
    //
    // That path, with the depth of each element's record. A record's parent
    // is the innermost element on it of a smaller depth, which for a list
    // made by loading is exactly the nearest record before it with depth one
    // less. The rules below only ever take an element further out on the
    // path, and cut the path there. Nesting is bounded only by memory.
    struct Open {
        std::int32_t depth;
        XmlNode* element;
        const NodeRecord* record;  // nullptr for a frame element
        std::uint32_t unit;
        bool hasChild;
        bool phonebook;      // a "phonebook" element
        bool holdsContacts;  // a "phonebook", or an element a contact was put in
    };
    std::vector<Open> open;

    // A list that does not begin with a record that stood at the top of a
    // file (contacts copied into a panel that held no phonebook, whatever
    // depth they had), or an empty one, gets the frame a new phonebook has:
    // "phonebooks" holding "phonebook" with owner "1" and the name. The
    // contacts land in it, and the file stays a well-formed phonebook the
    // router can read. A file's own main element stays what it was.
    const RecordList::Node* first = records.FirstNode();
    if (!first || (first->record.name != u"phonebooks" && (first->record.depth > 0 || first->unit != 0))) {
        XmlNode* phonebooks = XmlCreateElement(root, u"phonebooks");
        XmlNode* phonebook = phonebooks ? XmlCreateElement(phonebooks, u"phonebook") : nullptr;
        if (!phonebook)
            return false;
        XmlSetAttribute(phonebook, u"owner", u"1");
        XmlSetAttribute(phonebook, u"name", writer.PhonebookName());
        open.push_back({0, phonebooks, nullptr, 0, true, false, false});
        open.push_back({1, phonebook, nullptr, 0, false, true, true});
    }

    // The records a transfer brought in stay together: once the contact has
    // found its place, each later record of the same transfer goes inside
    // the element that took the contact, after it, nested only among the
    // transfer's own elements. For them the path is never cut below
    // `unitFloor`, which lies just above that element; for every other
    // record only the document element always stays.
    std::uint32_t unit = 0;
    std::size_t unitFloor = 1;
    const RecordList::Node* contact = nullptr;
    for (const RecordList::Node* n = first; n; n = n->next) {
        const NodeRecord& r = n->record;
        const bool isContact = r.name == ContactName;
        if (isContact)
            contact = n;
        if (open.empty()) {
            // The first record becomes the document element, whatever its
            // name and depth. A document has only one: a later record with
            // nothing of a smaller depth above it (a second "phonebooks", or
            // a contact whose own file had "contact" as its main element)
            // goes below it instead, with everything it holds, so no record
            // is lost.
            XmlNode* element = writer.Add(root, r.name, r.attributes, r.text, n, contact);
            if (!element)
                return false;
            const bool phonebook = r.name == u"phonebook";
            open.push_back({r.depth, element, &r, n->unit, true, phonebook, phonebook});
            levels = 1;
            unit = n->unit;
            continue;
        }
        const bool sameTransfer = n->unit != 0 && n->unit == unit;
        const std::size_t floor = sameTransfer ? unitFloor : 1;
        std::size_t k = open.size();
        while (k > floor && open[k - 1].depth >= r.depth)
            --k;
        if (isContact && !sameTransfer) {
            // A contact brought in by a transfer goes no further out than the
            // innermost "phonebook" on the path, however shallow it stood in
            // its own file: a contact outside a phonebook is lost on the
            // router.
            if (n->unit != 0) {
                for (std::size_t c = open.size(); c > k; --c) {
                    if (open[c - 1].phonebook) {
                        k = c;
                        break;
                    }
                }
            }
            // A contact never goes inside a contact of another origin: one
            // brought in from a file whose contacts stand deeper would
            // otherwise land inside the contact before it, and that contact's
            // later records would then count for it. It goes beside that
            // contact. Nor does it go inside anything another transfer
            // brought in (a second "phonebook" that came along after a
            // contact, say), so contacts copied one after the other stand
            // side by side.
            for (std::size_t c = 0; c < k; ++c) {
                const Open& o = open[c];
                if (o.record && o.unit != n->unit && (o.unit != 0 || o.record->name == ContactName)) {
                    k = std::max<std::size_t>(c, floor);
                    break;
                }
            }
            // Nor into an element that holds no contacts, such as a "setup"
            // after the last contact: it goes beside contacts, into a
            // "phonebook", or else into the document element.
            if (n->unit != 0)
                while (k > floor && !open[k - 1].holdsContacts)
                    --k;
        }
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
        while (k > floor && !takes(open[k - 1]))
            --k;
        Open& parent = open[k - 1];
        parent.hasChild = true;
        parent.holdsContacts = parent.holdsContacts || isContact;
        XmlNode* element = writer.Add(parent.element, r.name, r.attributes, r.text, n, contact);
        if (!element)
            return false;
        while (open.size() > k)
            open.pop_back();
        if (!sameTransfer) {
            unit = n->unit;
            unitFloor = k;
        }
        const bool phonebook = r.name == u"phonebook";
        open.push_back({r.depth, element, &r, n->unit, false, phonebook, phonebook});
        levels = std::max(levels, open.size());
    }
    writer.Finish();
    if (report)
        report->levels = std::max(levels, open.size());
    return true;
}

std::u16string LeftOutCharactersMessage(const RecordList& records, const std::vector<LeftOutCharacters>& places)
{
    constexpr std::size_t Named = 10;
    std::u16string text = u"  Beim Speichern wurden Zeichen weggelassen,    \n"
                          u"  die eine XML-Datei nicht enthalten kann:    \n\n";
    // The Name column of the contacts named, as the list shows it.
    std::vector<std::pair<const RecordList::Node*, std::u16string>> names;
    ForEachContactRow(records, [&](RecordList::Node* contact, std::u16string_view, std::u16string_view,
                                   std::u16string_view name, std::u16string_view) {
        for (std::size_t i = 0; i < places.size() && i < Named; ++i)
            if (places[i].contact == contact) {
                names.emplace_back(contact, WithoutNonXmlCharacters(name));
                break;
            }
    });
    const auto quoted = [](std::u16string_view s) { return u"'" + WithoutNonXmlCharacters(s) + u"'"; };
    for (std::size_t i = 0; i < places.size() && i < Named; ++i) {
        const LeftOutCharacters& p = places[i];
        text += u"  ";
        if (!p.record) {
            text += u"Feld 'Name'    \n";
            continue;
        }
        if (p.contact) {
            text += u"Kontakt Nr. " + WithoutNonXmlCharacters(p.contact->record.nr);
            for (const auto& [node, name] : names)
                if (node == p.contact && !name.empty())
                    text += u" '" + name + u"'";
            text += u": ";
        } else {
            text += u"Vor dem ersten Kontakt: ";
        }
        const std::u16string element = quoted(p.record->record.name);
        switch (p.field) {
        case LeftOutCharacters::Field::ElementName: text += u"Name des Elements " + element; break;
        case LeftOutCharacters::Field::AttributeName: text += u"Name eines Attributs von " + element; break;
        case LeftOutCharacters::Field::AttributeValue:
            text += u"Attribut " + quoted(p.attribute) + u" von " + element;
            break;
        default: text += u"Text von " + element; break;
        }
        text += u"    \n";
    }
    if (places.size() > Named)
        text += u"  und " + DecimalText(static_cast<long long>(places.size() - Named)) + u" weitere Stellen    \n";
    return text + u"\n  Bitte beachten !";
}
