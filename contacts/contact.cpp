#include "contacts/contact.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include "contacts/attributes.h"

using Node = RecordList::Node;

namespace {

constexpr std::u16string_view ContactName = u"contact";
constexpr std::u16string_view CategoryName = u"category";
constexpr std::u16string_view PersonName = u"person";
constexpr std::u16string_view RealNameName = u"realName";
constexpr std::u16string_view ImageUrlName = u"imageURL";
constexpr std::u16string_view TelephonyName = u"telephony";
constexpr std::u16string_view NumberName = u"number";
constexpr std::u16string_view ServicesName = u"services";
constexpr std::u16string_view EmailName = u"email";
constexpr std::u16string_view SetupName = u"setup";
constexpr std::u16string_view ModTimeName = u"mod_time";
constexpr std::u16string_view UniqueIdName = u"uniqueid";

constexpr std::u16string_view NidAttribute = u"nid";
constexpr std::u16string_view TypeAttribute = u"type";
constexpr std::u16string_view PrioAttribute = u"prio";
constexpr std::u16string_view IdAttribute = u"id";
constexpr std::u16string_view QuickdialAttribute = u"quickdial";
constexpr std::u16string_view VanityAttribute = u"vanity";
constexpr std::u16string_view ClassifierAttribute = u"classifier";

constexpr std::u16string_view VipText = u"1";
constexpr std::u16string_view NotVipText = u"0";
constexpr std::u16string_view NoPrio = u"0";

// The router's order of a contact's children and of person's.
constexpr std::u16string_view ContactOrder[] = {CategoryName, PersonName, TelephonyName, ServicesName,
                                                SetupName,    u"features", ModTimeName,  UniqueIdName};
constexpr std::u16string_view PersonOrder[] = {RealNameName, ImageUrlName};

bool IsContact(const Node* node)
{
    return node->record.name == ContactName;
}

// The last node of node's element: node itself or its last descendant,
// within the contact's run.
Node* ElementEnd(Node* node)
{
    Node* last = node;
    for (Node* n = node->next; n && !IsContact(n) && n->record.depth > node->record.depth; n = n->next)
        last = n;
    return last;
}

bool IsVip(const RecordText& category)
{
    return category == VipText;
}

// Reuses the element at i when there is one, so that its strings keep their
// room.
template <typename T>
T& Slot(std::vector<T>& items, std::size_t i)
{
    if (i < items.size())
        return items[i];
    return items.emplace_back();
}

// What numbers and addresses differ in: their record's name, the record
// that holds them, and their attributes in the router's order.
template <typename Item>
struct ItemKind;

template <>
struct ItemKind<ContactNumber> {
    static constexpr std::u16string_view record = NumberName;
    static constexpr std::u16string_view container = TelephonyName;
    static constexpr std::u16string_view attributes[] = {TypeAttribute, QuickdialAttribute, VanityAttribute,
                                                         PrioAttribute, IdAttribute};
    static std::array<std::u16string*, 5> Values(ContactNumber& n)
    {
        return {&n.type, &n.quickdial, &n.vanity, &n.prio, &n.id};
    }
};

template <>
struct ItemKind<ContactEmail> {
    static constexpr std::u16string_view record = EmailName;
    static constexpr std::u16string_view container = ServicesName;
    static constexpr std::u16string_view attributes[] = {ClassifierAttribute, IdAttribute};
    static std::array<std::u16string*, 2> Values(ContactEmail& e) { return {&e.classifier, &e.id}; }
};

template <typename Item>
void ReadItem(Node* node, Item& item, std::u16string& scratch)
{
    item.text = node->record.text;
    item.node = node;
    const auto values = ItemKind<Item>::Values(item);
    for (std::u16string* value : values)
        value->clear();
    ForEachAttribute(node->record.attributes, scratch, [&values](std::u16string_view name, std::u16string_view value) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (ItemKind<Item>::attributes[i] == name) {
                values[i]->assign(value);
                break;
            }
        }
    });
}

// True when the item's record holds other values than the item.
template <typename Item>
bool ItemDiffers(const Item& item, std::u16string& scratch)
{
    Item current;
    ReadItem(item.node, current, scratch);
    return !(current == item);
}

// A text that is a whole decimal number, or -1.
long long WholeNumber(std::u16string_view text)
{
    if (text.empty() || text.size() > 15)
        return -1;
    long long value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

std::u16string Decimal(long long value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// The empty values a new number or address gets from the router: prio "0"
// and the next id.
template <typename Item>
void FillNewValues(Item& item, long long& nextId)
{
    if constexpr (std::is_same_v<Item, ContactNumber>) {
        if (item.prio.empty())
            item.prio = NoPrio;
    }
    if (item.id.empty())
        item.id = Decimal(nextId++);
}

template <typename Item>
long long NextId(const std::vector<Item>& items)
{
    long long highest = -1;
    for (const Item& item : items)
        highest = std::max(highest, WholeNumber(item.id));
    return highest + 1;
}

// The attributes text of a new number or address: the values in the
// router's order, type and classifier always, the others when not empty.
template <typename Item>
std::u16string NewAttributes(Item& item)
{
    std::u16string text;
    const auto values = ItemKind<Item>::Values(item);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (i == 0 || !values[i]->empty())
            AppendAttributeField(text, ItemKind<Item>::attributes[i], *values[i]);
    return text;
}

// Adds records for one contact and counts what it changed.
class RecordWriter {
public:
    RecordWriter(RecordList& list, Node* contact) : list_(list), contact_(contact) {}

    // How many records were changed, made or removed so far.
    std::size_t changes() const { return changes_; }

    // Records that must stay: the fields' records and every record made.
    // Removing an element that holds one of them removes only the element's
    // own record.
    void Keep(const Node* node)
    {
        if (node)
            kept_.push_back(node);
    }

    // A new record after at.
    Node* Add(Node* at, std::u16string_view name, std::int32_t depth, std::u16string_view attributes = {},
              const RecordText& text = {})
    {
        NodeRecord record;
        record.nr = NextNr();
        record.depth = depth;
        record.name = name;
        record.attributes = attributes;
        record.text = text;
        Node* node = list_.Insert(at, std::move(record));
        node->unit = contact_->unit;
        ++changes_;
        Keep(node);
        return node;
    }

    // A new child of parent, before the first child that order puts after
    // it, else after its last child.
    Node* AddChild(Node* parent, std::span<const std::u16string_view> order, std::u16string_view name,
                   std::u16string_view attributes = {}, const RecordText& text = {})
    {
        const std::int32_t depth = parent->record.depth + 1;
        const auto rank = [order](const RecordText& n) {
            return static_cast<std::size_t>(std::find(order.begin(), order.end(), n.view()) - order.begin());
        };
        const std::size_t own = rank(name);
        const Node* end = ElementEnd(parent)->next;
        for (Node* child = parent->next; child != end; child = ElementEnd(child)->next) {
            const std::size_t r = rank(child->record.name);
            if (r < order.size() && r > own)
                return Add(child->prev, name, depth, attributes, text);
        }
        return Add(ElementEnd(parent), name, depth, attributes, text);
    }

    void SetText(Node* node, const RecordText& text)
    {
        if (node->record.text != text) {
            node->record.text = text;
            ++changes_;
        }
    }

    void SetAttribute(Node* node, std::u16string_view name, std::u16string_view value,
                      std::span<const std::u16string_view> order)
    {
        std::u16string current;
        const bool present = FindAttribute(node->record.attributes, name, current);
        if (current == value && (present || value.empty()))
            return;
        node->record.attributes = WithAttribute(node->record.attributes, name, value, order);
        ++changes_;
    }

    // Removes node with the elements inside it; when a record that must
    // stay lies inside it, only the node itself goes.
    void Erase(Node* node)
    {
        Node* last = ElementEnd(node);
        for (Node* n = node->next; n != last->next; n = n->next) {
            if (std::find(kept_.begin(), kept_.end(), n) != kept_.end()) {
                last = node;
                break;
            }
        }
        for (Node* n = node, *stop = last->next; n != stop;)
            n = list_.Erase(n);
        ++changes_;
    }

    void Move(Node* at, Node* node)
    {
        list_.Move(at, node, ElementEnd(node));
        ++changes_;
    }

    // The first record of the given name inside the contact's element.
    Node* Find(std::u16string_view name) const
    {
        const Node* end = ElementEnd(contact_)->next;
        for (Node* n = contact_->next; n != end; n = n->next)
            if (n->record.name == name)
                return n;
        return nullptr;
    }

    // The contact's first record of the given name, made as a child of the
    // contact when there is none.
    Node* Container(std::u16string_view name, std::u16string_view attributes = {})
    {
        if (Node* found = Find(name))
            return found;
        return AddChild(contact_, ContactOrder, name, attributes);
    }

private:
    // The contact's nr with a serial after its number: "12.3 (1)".
    std::u16string NextNr()
    {
        const std::u16string_view nr = contact_->record.nr.view();
        std::size_t digits = 0;
        while (digits < nr.size() && nr[digits] >= u'0' && nr[digits] <= u'9')
            ++digits;
        const std::u16string_view number = nr.substr(0, digits);
        const std::u16string_view rest = nr.substr(digits);
        if (serial_ < 0) {
            // Go on from the serials records added earlier carry.
            serial_ = 0;
            for (const Node* n = contact_->next; n && !IsContact(n); n = n->next) {
                const std::u16string_view other = n->record.nr.view();
                if (other.size() <= digits + 1 || other.substr(0, digits) != number || other[digits] != u'.')
                    continue;
                std::size_t end = digits + 1;
                while (end < other.size() && other[end] >= u'0' && other[end] <= u'9')
                    ++end;
                if (other.substr(end) == rest)
                    serial_ = std::max(serial_, WholeNumber(other.substr(digits + 1, end - digits - 1)));
            }
        }
        std::u16string out(number);
        out += u'.';
        out += Decimal(++serial_);
        out += rest;
        return out;
    }

    RecordList& list_;
    Node* contact_;
    std::vector<const Node*> kept_;
    long long serial_ = -1;
    std::size_t changes_ = 0;
};

// Writes the numbers or the addresses of a contact; returns true when a
// record changed.
template <typename Item>
bool WriteItems(RecordWriter& w, Node* contact, std::vector<Item>& items)
{
    using Kind = ItemKind<Item>;
    const std::size_t changesBefore = w.changes();
    // The item records the contact has now, in record order.
    std::vector<Node*> present;
    for (Node* n = contact->next; n && !IsContact(n); n = n->next)
        if (n->record.name == Kind::record)
            present.push_back(n);
    const auto indexOf = [&present](const Node* n) {
        return static_cast<std::size_t>(std::find(present.begin(), present.end(), n) - present.begin());
    };
    // A node that is not one of them, or that an earlier item claims
    // already, makes its item a new one.
    std::vector<bool> claimed(present.size(), false);
    for (Item& item : items) {
        const std::size_t i = indexOf(item.node);
        if (i < present.size() && !claimed[i])
            claimed[i] = true;
        else
            item.node = nullptr;
    }
    // Backwards, so that a record inside another one goes first.
    for (std::size_t i = present.size(); i-- > 0;) {
        if (!claimed[i]) {
            w.Erase(present[i]);
            present[i] = nullptr;
        }
    }

    long long nextId = NextId(items);
    std::u16string scratch;
    Node* previous = nullptr;   // the record of the item placed last
    std::size_t inOrder = 0;    // 1 + index in present of the last item left in place
    for (Item& item : items) {
        if (item.node) {
            if (ItemDiffers(item, scratch)) {
                w.SetText(item.node, item.text);
                const auto values = Kind::Values(item);
                for (std::size_t i = 0; i < values.size(); ++i)
                    w.SetAttribute(item.node, Kind::attributes[i], *values[i], Kind::attributes);
            }
            const std::size_t index = indexOf(item.node) + 1;
            if (index > inOrder) {
                inOrder = index;
            } else {
                // Out of order: it goes after the item before it, unless that
                // one stands inside it.
                Node* at = ElementEnd(previous);
                Node* const end = ElementEnd(item.node)->next;
                bool inside = false;
                for (Node* n = item.node; n != end && !inside; n = n->next)
                    inside = n == at;
                if (!inside)
                    w.Move(at, item.node);
            }
            previous = item.node;
            continue;
        }
        FillNewValues(item, nextId);
        const std::u16string attributes = NewAttributes(item);
        if (previous) {
            item.node = w.Add(ElementEnd(previous), Kind::record, previous->record.depth, attributes, item.text);
        } else {
            // Before the first item record still there, else at the end of
            // the container.
            Node* first = nullptr;
            for (Node* n : present)
                if (n && !first)
                    first = n;
            if (first) {
                item.node = w.Add(first->prev, Kind::record, first->record.depth, attributes, item.text);
            } else {
                std::u16string nid;
                AppendAttributeField(nid, NidAttribute, u"0");
                Node* container = w.Container(Kind::container, nid);
                item.node = w.Add(ElementEnd(container), Kind::record, container->record.depth + 1, attributes, item.text);
            }
        }
        previous = item.node;
    }
    return w.changes() != changesBefore;
}

// Sets nid to the count of children on every record of the contact named
// containerName that has one.
void Recount(RecordWriter& w, Node* contact, std::u16string_view containerName)
{
    const Node* end = ElementEnd(contact)->next;
    std::u16string nid;
    for (Node* n = contact->next; n != end; n = n->next) {
        if (n->record.name != containerName || !FindAttribute(n->record.attributes, NidAttribute, nid))
            continue;
        w.SetAttribute(n, NidAttribute, Decimal(static_cast<long long>(NidChildCount(n))), {});
    }
}

}  // namespace

void ReadContact(RecordList::Node* contact, Contact& fields)
{
    fields.name.clear();
    fields.vip = false;
    fields.imageUrl.clear();
    fields.uniqueId.clear();
    fields.modTime.clear();
    fields.from = {};
    std::size_t numbers = 0, emails = 0;
    std::u16string scratch;  // holds no buffer until an escaped value comes
    if (contact && IsContact(contact)) {
        fields.from.contact = contact;
        for (Node* n = contact->next; n && !IsContact(n); n = n->next) {
            const NodeRecord& r = n->record;
            const std::u16string_view name = r.name.view();
            if (name == NumberName) {
                ReadItem(n, Slot(fields.numbers, numbers++), scratch);
            } else if (name == EmailName) {
                ReadItem(n, Slot(fields.emails, emails++), scratch);
            } else if (name == RealNameName) {
                fields.name = r.text;
                fields.from.name = n;
            } else if (name == CategoryName) {
                fields.vip = IsVip(r.text);
                fields.from.category = n;
            } else if (name == ImageUrlName) {
                fields.imageUrl = r.text;
                fields.from.imageUrl = n;
            } else if (name == UniqueIdName) {
                fields.uniqueId = r.text;
                fields.from.uniqueId = n;
            } else if (name == ModTimeName) {
                fields.modTime = r.text;
                fields.from.modTime = n;
            }
        }
    }
    fields.numbers.resize(numbers);
    fields.emails.resize(emails);
}

Contact ReadContact(RecordList::Node* contact)
{
    Contact fields;
    ReadContact(contact, fields);
    return fields;
}

bool WriteContact(RecordList& list, Contact& fields)
{
    Node* contact = fields.from.contact;
    if (!contact || !IsContact(contact))
        return false;
    // Where the fields held once stand now, as ReadContact finds them.
    Contact::Sources now;
    now.contact = contact;
    for (Node* n = contact->next; n && !IsContact(n); n = n->next) {
        const RecordText& name = n->record.name;
        if (name == RealNameName)
            now.name = n;
        else if (name == CategoryName)
            now.category = n;
        else if (name == ImageUrlName)
            now.imageUrl = n;
        else if (name == UniqueIdName)
            now.uniqueId = n;
        else if (name == ModTimeName)
            now.modTime = n;
    }

    RecordWriter w(list, contact);
    for (const Node* n : {now.name, now.category, now.imageUrl, now.uniqueId, now.modTime})
        w.Keep(n);
    for (const ContactNumber& n : fields.numbers)
        w.Keep(n.node);
    for (const ContactEmail& e : fields.emails)
        w.Keep(e.node);

    // "person" for a new realName or imageURL: the one holding realName,
    // else the contact's first, else a new one.
    const auto person = [&]() -> Node* {
        if (now.name) {
            Node* parent = now.name->prev;
            while (parent != contact && parent->record.depth >= now.name->record.depth)
                parent = parent->prev;
            if (parent->record.name == PersonName)
                return parent;
        }
        return w.Container(PersonName);
    };

    if (now.name)
        w.SetText(now.name, fields.name);
    else if (!fields.name.empty())
        now.name = w.AddChild(person(), PersonOrder, RealNameName, {}, fields.name);

    if (now.category) {
        if (IsVip(now.category->record.text) != fields.vip)
            w.SetText(now.category, fields.vip ? VipText : NotVipText);
    } else if (fields.vip) {
        now.category = w.AddChild(contact, ContactOrder, CategoryName, {}, VipText);
    }

    // Fields held once that go when they become empty.
    struct Single {
        Node*& source;
        const RecordText& value;
        std::u16string_view name;
    };
    const Single singles[] = {
        {now.imageUrl, fields.imageUrl, ImageUrlName},
        {now.modTime, fields.modTime, ModTimeName},
        {now.uniqueId, fields.uniqueId, UniqueIdName},
    };
    for (const Single& f : singles) {
        if (f.source && f.value.empty() && !f.source->record.text.empty()) {
            w.Erase(f.source);
            f.source = nullptr;
        } else if (f.source) {
            w.SetText(f.source, f.value);
        } else if (!f.value.empty() && f.name == ImageUrlName) {
            f.source = w.AddChild(person(), PersonOrder, f.name, {}, f.value);
        } else if (!f.value.empty()) {
            f.source = w.AddChild(contact, ContactOrder, f.name, {}, f.value);
        }
    }

    if (WriteItems(w, contact, fields.numbers))
        Recount(w, contact, TelephonyName);
    if (WriteItems(w, contact, fields.emails))
        Recount(w, contact, ServicesName);

    fields.from = now;
    return w.changes() > 0;
}

void AppendPhonebookFrame(RecordList& list, std::u16string_view name, std::u16string_view suffix)
{
    NodeRecord phonebooks;
    phonebooks.nr = u"0" + std::u16string(suffix);
    phonebooks.depth = 0;
    phonebooks.name = u"phonebooks";
    list.Append(std::move(phonebooks));

    NodeRecord phonebook;
    phonebook.nr = u"1" + std::u16string(suffix);
    phonebook.depth = 1;
    phonebook.name = u"phonebook";
    std::u16string attributes;
    AppendAttributeField(attributes, u"owner", u"1");
    AppendAttributeField(attributes, u"name", name);
    phonebook.attributes = attributes;
    list.Append(std::move(phonebook));
}

RecordList::Node* AppendNewContact(RecordList& list, Contact& fields, std::u16string_view nr, std::int32_t depth)
{
    NodeRecord record;
    record.nr = nr;
    record.depth = depth;
    record.name = ContactName;
    Node* contact = list.Insert(list.LastNode(), std::move(record));
    RecordWriter w(list, contact);
    fields.from = {};
    fields.from.contact = contact;

    Node* at = fields.from.category = w.Add(contact, CategoryName, depth + 1, {}, fields.vip ? VipText : NotVipText);
    at = w.Add(at, PersonName, depth + 1);
    at = fields.from.name = w.Add(at, RealNameName, depth + 2, {}, fields.name);
    if (!fields.imageUrl.empty())
        at = fields.from.imageUrl = w.Add(at, ImageUrlName, depth + 2, {}, fields.imageUrl);

    const auto addItems = [&](auto& items) {
        using Kind = ItemKind<std::remove_reference_t<decltype(items.front())>>;
        std::u16string nid;
        AppendAttributeField(nid, NidAttribute, Decimal(static_cast<long long>(items.size())));
        at = w.Add(at, Kind::container, depth + 1, nid);
        long long nextId = NextId(items);
        for (auto& item : items) {
            FillNewValues(item, nextId);
            at = item.node = w.Add(at, Kind::record, depth + 2, NewAttributes(item), item.text);
        }
    };
    addItems(fields.numbers);
    if (!fields.emails.empty())
        addItems(fields.emails);

    at = w.Add(at, SetupName, depth + 1);
    if (!fields.modTime.empty())
        at = fields.from.modTime = w.Add(at, ModTimeName, depth + 1, {}, fields.modTime);
    if (!fields.uniqueId.empty())
        at = fields.from.uniqueId = w.Add(at, UniqueIdName, depth + 1, {}, fields.uniqueId);
    return contact;
}

void EraseContact(RecordList& list, RecordList::Node* contact)
{
    if (!contact)
        return;
    Node* n = list.Erase(contact);
    while (n && !IsContact(n))
        n = list.Erase(n);
}

std::vector<const RecordList::Node*> UnknownRecords(const Contact& contact)
{
    std::vector<const Node*> unknown;
    const Node* first = contact.from.contact;
    if (!first || !IsContact(first))
        return unknown;
    for (const Node* n = first->next; n && !IsContact(n); n = n->next) {
        const RecordText& name = n->record.name;
        const bool container = name == PersonName || name == TelephonyName || name == ServicesName;
        const bool field = n == contact.from.name || n == contact.from.category || n == contact.from.imageUrl ||
                           n == contact.from.uniqueId || n == contact.from.modTime || name == NumberName ||
                           name == EmailName;
        if (!container && !field)
            unknown.push_back(n);
    }
    return unknown;
}

std::size_t NidChildCount(const RecordList::Node* container)
{
    if (!container)
        return 0;
    const RecordText& name = container->record.name;
    std::u16string_view child;
    if (name == TelephonyName)
        child = NumberName;
    else if (name == ServicesName)
        child = EmailName;
    else
        return 0;
    std::size_t count = 0;
    const std::int32_t depth = container->record.depth + 1;
    for (const Node* n = container->next; n && !IsContact(n) && n->record.depth >= depth; n = n->next)
        if (n->record.depth == depth && n->record.name == child)
            ++count;
    return count;
}
