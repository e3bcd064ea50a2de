#include "phonebook/core.h"

#include "base/text.h"
#include "contacts/contact.h"

#include <algorithm>
#include <cstring>
#include <memory>
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

// Attribute texts and element texts repeat all through a phonebook: the same
// number types, categories and dates in contact after contact. Equal texts
// met close together share one buffer, found by their content's hash; a
// text that is not there yet replaces what its slot held.
class TextCache {
public:
    const RecordText& Get(std::u16string_view text)
    {
        if (text.size() > LongestKept) {
            scratch_ = text;
            return scratch_;
        }
        const std::uint64_t hash = Hash(text);
        Entry& e = slots_[hash & (Slots - 1)];
        if (e.hash != hash || e.text.view() != text) {
            e.hash = hash;
            e.text = text;
        }
        return e.text;
    }

private:
    // Eight bytes at a time: the texts are short, and a collision costs only
    // a text made anew.
    static std::uint64_t Hash(std::u16string_view text)
    {
        constexpr std::uint64_t Mix = 0x9E3779B97F4A7C15ull;
        std::uint64_t hash = text.size() * Mix;
        const char* p = reinterpret_cast<const char*>(text.data());
        std::size_t bytes = text.size() * sizeof(char16_t);
        for (; bytes >= 8; bytes -= 8, p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            hash = (hash ^ word) * Mix;
        }
        if (bytes > 0) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, bytes);
            hash = (hash ^ word) * Mix;
        }
        return hash ^ (hash >> 29);
    }

    struct Entry {
        std::uint64_t hash = 0;
        RecordText text;
    };
    static constexpr std::size_t LongestKept = 64;
    static constexpr std::size_t Slots = 1024;
    Entry slots_[Slots];
    RecordText scratch_;
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
    // On the heap: its slots are too many for the stack of a small thread.
    const auto texts = std::make_unique<TextCache>();
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
                record.attributes = texts->Get(buffer);
            }
            if (const std::u16string_view text = XmlNodeTextView(node); !text.empty())
                record.text = texts->Get(text);
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

std::u16string ContactRowText(const RecordList::Node* contact)
{
    std::u16string_view id, name;
    std::u16string telefon;
    for (const RecordList::Node* node = contact->next; node && node->record.name.view() != u"contact";
         node = node->next) {
        const NodeRecord& r = node->record;
        if (r.name.view() == u"uniqueid") {
            id = r.text.view();
        } else if (r.name.view() == u"realName") {
            name = r.text.view();
        } else if (r.name.view() == u"number") {
            if (!telefon.empty())
                telefon += u"  #  ";
            telefon += r.text.view();
        }
    }
    return RowText(contact->record.nr.view(), id, name, telefon);
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

// Tells whether a name can be written as an element or attribute name that a
// parser reads back (XmlIsName). A name beyond ASCII is put to the parser
// once per save.
class NameCheck {
public:
    bool Writable(std::u16string_view name)
    {
        if (std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; }))
            return XmlIsName(name);
        if (name == last_)
            return lastWritable_;
        const std::u16string key(name);
        const auto found = known_.find(key);
        lastWritable_ = found != known_.end() ? found->second : known_.emplace(key, XmlIsName(name)).first->second;
        last_ = key;
        return lastWritable_;
    }

private:
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
            // One "|" ends each field: room for as many attributes, no more.
            XmlReserveAttributes(element, static_cast<int>(std::count(attributes.begin(), attributes.end(), u'|')));
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

// A list that does not begin with a record that stood at the top of a file
// (contacts copied into a panel that held no phonebook, whatever depth they
// had), or an empty one, gets the frame a new phonebook has.
bool NeedsFrame(const RecordList::Node* first)
{
    return !first || (first->record.name != u"phonebooks" && (first->record.depth > 0 || first->unit != 0));
}

// One element on the path from the document element down to the element
// made last, with the depth of its record.
struct OpenElement {
    std::int32_t depth;
    XmlNode* element;
    const NodeRecord* record;  // nullptr for a frame element
    std::uint32_t unit;
    bool hasChild;
    bool phonebook;      // a "phonebook" element
    bool holdsContacts;  // a "phonebook", or an element a contact was put in
};

// Makes the elements of a rebuild in list order, each as the last child of
// an element on the open path, so the document keeps the order of the list;
// the elements also lie in memory in the order that formatting and writing
// walk them. Nesting is bounded only by memory.
class DocumentBuilder {
public:
    DocumentBuilder(XmlNode* root, const std::u16string& phonebookName, RebuildReport* report)
        : root_(root), writer_(phonebookName, report ? &report->leftOut : nullptr), report_(report)
    {
    }

    // "phonebooks" holding "phonebook" with owner "1" and the name: the
    // contacts land in it, and the file stays a phonebook the router reads.
    bool OpenFrame()
    {
        XmlNode* phonebooks = XmlCreateElement(root_, u"phonebooks");
        XmlNode* phonebook = phonebooks ? XmlCreateElement(phonebooks, u"phonebook") : nullptr;
        if (!phonebook)
            return false;
        XmlSetAttribute(phonebook, u"owner", u"1");
        XmlSetAttribute(phonebook, u"name", writer_.PhonebookName());
        open_.push_back({0, phonebooks, nullptr, 0, true, false, false});
        open_.push_back({1, phonebook, nullptr, 0, false, true, true});
        return true;
    }

    // Makes the element of record n under the parent ParentIndex chooses and
    // cuts the path there. The first record of a list without a frame becomes
    // the document element, whatever its name and depth.
    bool Place(const RecordList::Node* n)
    {
        const NodeRecord& r = n->record;
        const bool isContact = r.name == ContactName;
        if (isContact)
            contact_ = n;
        if (open_.empty()) {
            XmlNode* element = writer_.Add(root_, r.name, r.attributes, r.text, n, contact_);
            if (!element)
                return false;
            Push(n, element, true);
            levels_ = 1;
            unit_ = n->unit;
            return true;
        }
        const bool sameTransfer = n->unit != 0 && n->unit == unit_;
        const std::size_t k = ParentIndex(n, sameTransfer);
        OpenElement& parent = open_[k - 1];
        parent.hasChild = true;
        parent.holdsContacts = parent.holdsContacts || isContact;
        XmlNode* element = writer_.Add(parent.element, r.name, r.attributes, r.text, n, contact_);
        if (!element)
            return false;
        open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(k), open_.end());
        if (!sameTransfer) {
            unit_ = n->unit;
            unitFloor_ = k;
        }
        Push(n, element, false);
        levels_ = std::max(levels_, open_.size());
        return true;
    }

    // Tells the report, when there is one, where characters were left out
    // and the deepest nesting made.
    void Report()
    {
        writer_.Finish();
        if (report_)
            report_->levels = std::max(levels_, open_.size());
    }

private:
    // The parent of record n, as its position on the path counted from 1.
    std::size_t ParentIndex(const RecordList::Node* n, bool sameTransfer) const
    {
        const NodeRecord& r = n->record;
        const bool transferred = n->unit != 0;
        // The path is never cut above the document element, so a second top
        // record goes below it with all it holds; nor, for the later records
        // of a transfer, above the element that took its contact.
        const std::size_t floor = sameTransfer ? unitFloor_ : 1;
        // The innermost element of a smaller depth: for a list made by
        // loading, the nearest record before it with depth one less.
        std::size_t k = open_.size();
        while (k > floor && open_[k - 1].depth >= r.depth)
            --k;
        if (r.name == ContactName && !sameTransfer) {
            // A transferred contact goes no further out than the innermost
            // "phonebook": a contact outside a phonebook is lost on the router.
            if (transferred) {
                for (std::size_t c = open_.size(); c > k; --c) {
                    if (open_[c - 1].phonebook) {
                        k = c;
                        break;
                    }
                }
            }
            // A contact goes beside, never inside, a contact of another origin
            // or anything another transfer brought in (whose later records
            // would otherwise count for it).
            for (std::size_t c = 0; c < k; ++c) {
                const OpenElement& o = open_[c];
                if (o.record && o.unit != n->unit && (o.unit != 0 || o.record->name == ContactName)) {
                    k = std::max(c, floor);
                    break;
                }
            }
            // Nor does a transferred contact go into an element that holds
            // no contacts (a "setup" after the last contact, say).
            if (transferred)
                while (k > floor && !open_[k - 1].holdsContacts)
                    --k;
        }
        while (k > floor && !TakesChild(open_[k - 1], n))
            --k;
        return k;
    }

    // An element with text takes a first child only where the record followed
    // it in its own file: of the same transfer, with the next number. Below
    // another, the text would end up between child elements and come back
    // with blanks around it; this happens where a transfer, a deletion or a
    // move brings records of different places together. "phonebook" and
    // "phonebooks" hold contacts whatever text they have.
    static bool TakesChild(const OpenElement& parent, const RecordList::Node* n)
    {
        if (!HoldsText(parent.record))
            return true;
        const RecordText& name = parent.record->name;
        if (name == u"phonebook" || name == u"phonebooks")
            return true;
        return parent.unit == n->unit && (parent.hasChild || FollowsInSource(parent.record->nr, n->record.nr));
    }

    void Push(const RecordList::Node* n, XmlNode* element, bool hasChild)
    {
        const NodeRecord& r = n->record;
        const bool phonebook = r.name == u"phonebook";
        open_.push_back({r.depth, element, &r, n->unit, hasChild, phonebook, phonebook});
    }

    XmlNode* root_;
    ElementWriter writer_;
    RebuildReport* report_;
    std::vector<OpenElement> open_;
    std::size_t levels_ = 0;
    // The transfer of the record placed last, and where on the path its
    // contact's element lies.
    std::uint32_t unit_ = 0;
    std::size_t unitFloor_ = 1;
    const RecordList::Node* contact_ = nullptr;  // the contact the records count for
};

}  // namespace

bool BuildPhonebookDocument(int document, const RecordList& records, const std::u16string& phonebookName,
                            RebuildReport* report)
{
    XmlNode* root = XmlRootNode(document);
    if (!root || XmlMainNode(document))
        return false;
    DocumentBuilder builder(root, phonebookName, report);
    const RecordList::Node* first = records.FirstNode();
    if (NeedsFrame(first) && !builder.OpenFrame())
        return false;
    for (const RecordList::Node* n = first; n; n = n->next)
        if (!builder.Place(n))
            return false;
    builder.Report();
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
