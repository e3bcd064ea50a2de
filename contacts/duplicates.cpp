#include "contacts/duplicates.h"

#include <algorithm>
#include <limits>
#include <span>
#include <string_view>
#include <utility>

#include "contacts/text_ids.h"

using Node = RecordList::Node;

namespace {

constexpr std::uint32_t NoEntry = std::numeric_limits<std::uint32_t>::max();

// Per id (counted from 1), the entries holding it, in document order.
struct Holders {
    std::vector<std::uint32_t> start;  // per id; start[id + 1] - start[id] holders
    std::vector<std::uint32_t> entries;

    std::span<const std::uint32_t> Of(std::uint32_t id) const
    {
        return {entries.data() + start[id], entries.data() + start[id + 1]};
    }
};

// The contacts of one or two books with their keys, as small numbers, and the
// same-contact groups as a union-find forest.
class Index {
public:
    struct Entry {
        int book;
        Node* contact;
        RecordText name;
        std::uint32_t nameId;   // 0: no name
        std::uint32_t keysBegin, keysEnd;  // into keys_, sorted, each once
    };

    Index(const RecordList& first, const RecordList* second, NumberKeys& numberKeys)
        : numberKeys_(numberKeys)
    {
        // A contact takes a dozen records, two or three of them numbers.
        const std::size_t records = first.Size() + (second ? second->Size() : 0);
        numberKeys_.Reserve(records / 5);
        nameOfText_.reserve(records / 10);
        nameOfKey_.reserve(records / 10);
        entries_.reserve(records / 10);
        keys_.reserve(records / 5);
        Read(first, 0);
        if (second)
            Read(*second, 1);
        parent_.resize(entries_.size());
        for (std::uint32_t e = 0; e < parent_.size(); ++e)
            parent_[e] = e;
        keyHolders_ = Invert(keyInfo_.size(), [this](std::uint32_t e) { return Keys(e); });
        JoinSameContacts();
    }

    const std::vector<Entry>& entries() const { return entries_; }
    std::span<const std::uint32_t> Keys(std::uint32_t e) const
    {
        return {keys_.data() + entries_[e].keysBegin, keys_.data() + entries_[e].keysEnd};
    }
    std::uint32_t KeyCount() const { return static_cast<std::uint32_t>(keyInfo_.size()); }
    const NumberKey& Key(std::uint32_t key) const { return numberKeys_.KeyOfId(keyInfo_[key]); }
    std::span<const std::uint32_t> HoldersOfKey(std::uint32_t key) const { return keyHolders_.Of(key); }
    std::uint32_t NameCount() const { return static_cast<std::uint32_t>(nameKeys_.size()); }
    std::u16string_view NameKeyOf(std::uint32_t name) const { return nameKeys_[name]; }

    std::uint32_t Root(std::uint32_t e)
    {
        while (parent_[e] != e) {
            parent_[e] = parent_[parent_[e]];
            e = parent_[e];
        }
        return e;
    }

    // The same-contact groups of two or more, each in document order, the
    // groups in the order of their first members.
    std::vector<std::vector<std::uint32_t>> SameContactGroups()
    {
        std::vector<std::uint32_t> size(entries_.size(), 0), group(entries_.size(), NoEntry);
        for (std::uint32_t e = 0; e < entries_.size(); ++e)
            ++size[Root(e)];
        std::vector<std::vector<std::uint32_t>> groups;
        for (std::uint32_t e = 0; e < entries_.size(); ++e) {
            const std::uint32_t root = Root(e);
            if (size[root] < 2)
                continue;
            if (group[root] == NoEntry) {
                group[root] = static_cast<std::uint32_t>(groups.size());
                groups.emplace_back();
            }
            groups[group[root]].push_back(e);
        }
        return groups;
    }

    // Per id of count ids (0 unused), the entries holding it, in order.
    template <typename IdsOf>
    Holders Invert(std::size_t count, IdsOf idsOf) const
    {
        Holders h;
        h.start.assign(count + 1, 0);
        for (std::uint32_t e = 0; e < entries_.size(); ++e)
            for (std::uint32_t id : idsOf(e))
                ++h.start[id + 1];
        for (std::size_t id = 1; id <= count; ++id)
            h.start[id] += h.start[id - 1];
        h.entries.resize(h.start[count]);
        std::vector<std::uint32_t> fill(h.start.begin(), h.start.end() - 1);
        for (std::uint32_t e = 0; e < entries_.size(); ++e)
            for (std::uint32_t id : idsOf(e))
                h.entries[fill[id]++] = e;
        return h;
    }

private:
    // Name and numbers as ReadContact reads them (the last realName of the
    // run, every number record of it), without the other fields.
    void Read(const RecordList& list, int book)
    {
        Entry* e = nullptr;
        const auto finish = [this](Entry* done) {
            if (!done)
                return;
            done->nameId = NameId(done->name);
            const auto begin = keys_.begin() + done->keysBegin;
            std::sort(begin, keys_.end());
            keys_.erase(std::unique(begin, keys_.end()), keys_.end());
            done->keysEnd = static_cast<std::uint32_t>(keys_.size());
        };
        for (Node* n = list.FirstNode(); n; n = n->next) {
            const RecordText& name = n->record.name;
            if (name == u"contact") {
                finish(e);
                e = &entries_.emplace_back(Entry{book, n, {}, 0, static_cast<std::uint32_t>(keys_.size()), 0});
            } else if (e && name == u"number") {
                if (const std::uint32_t key = LocalKey(numberKeys_.Id(n->record.text)))
                    keys_.push_back(key);
            } else if (e && name == u"realName") {
                e->name = n->record.text;
            }
        }
        finish(e);
    }

    // Number keys count from 1 in the order these books meet them, whatever
    // numberKeys met before.
    std::uint32_t LocalKey(std::uint32_t global)
    {
        if (global == 0)
            return 0;
        if (global >= localKey_.size())
            localKey_.resize(std::max<std::size_t>(global + 1, localKey_.size() * 2), 0);
        std::uint32_t& local = localKey_[global];
        if (local == 0) {
            local = static_cast<std::uint32_t>(keyInfo_.size());
            keyInfo_.push_back(global);
        }
        return local;
    }

    // Names are looked up by their text as written (the records outlive the
    // index), and a new text by its key.
    std::uint32_t NameId(const RecordText& name)
    {
        return nameOfText_
            .lazy_emplace(name.view(),
                          [&](const TextIds::constructor& make) { make(name.view(), NameKeyId(NameKey(name))); })
            ->second;
    }

    std::uint32_t NameKeyId(const std::u16string& key)
    {
        if (key.empty())
            return 0;
        const auto id = static_cast<std::uint32_t>(nameKeys_.size());
        return nameOfKey_
            .lazy_emplace(std::u16string_view(key),
                          [&](const TextIds::constructor& make) {
                              nameKeys_.push_back(texts_.Keep(key));
                              make(nameKeys_.back(), id);
                          })
            ->second;
    }

    // The earlier entry stays the root, so that groups do not depend on the
    // order of joining.
    void Join(std::uint32_t a, std::uint32_t b)
    {
        a = Root(a);
        b = Root(b);
        if (a != b)
            parent_[std::max(a, b)] = std::min(a, b);
    }

    void JoinSameContacts()
    {
        // Same name and a shared number: the first entry with both.
        absl::flat_hash_map<std::uint64_t, std::uint32_t> firstWith;
        firstWith.reserve(keys_.size());
        for (std::uint32_t e = 0; e < entries_.size(); ++e) {
            if (entries_[e].nameId == 0)
                continue;
            for (std::uint32_t key : Keys(e)) {
                const std::uint64_t both = (static_cast<std::uint64_t>(entries_[e].nameId) << 32) | key;
                const auto [at, added] = firstWith.try_emplace(both, e);
                if (!added)
                    Join(at->second, e);
            }
        }
        // No name: the first named contact holding all its numbers, else
        // the first unnamed one. The candidates are the holders of its
        // rarest number.
        for (std::uint32_t e = 0; e < entries_.size(); ++e) {
            const std::span<const std::uint32_t> own = Keys(e);
            if (entries_[e].nameId != 0 || own.empty())
                continue;
            std::uint32_t rarest = own.front();
            for (std::uint32_t key : own)
                if (HoldersOfKey(key).size() < HoldersOfKey(rarest).size())
                    rarest = key;
            std::uint32_t named = NoEntry, unnamed = NoEntry;
            for (std::uint32_t h : HoldersOfKey(rarest)) {
                const std::span<const std::uint32_t> theirs = Keys(h);
                if (h == e || !std::includes(theirs.begin(), theirs.end(), own.begin(), own.end()))
                    continue;
                if (entries_[h].nameId != 0) {
                    named = h;
                    break;
                }
                if (unnamed == NoEntry)
                    unnamed = h;
            }
            if (named != NoEntry || unnamed != NoEntry)
                Join(e, named != NoEntry ? named : unnamed);
        }
    }

    NumberKeys& numberKeys_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> keys_;
    std::vector<std::uint32_t> localKey_;         // NumberKeys id -> local key
    std::vector<std::uint32_t> keyInfo_{0};       // local key -> NumberKeys id
    TextStore texts_;
    TextIds nameOfText_, nameOfKey_;
    std::vector<std::u16string_view> nameKeys_{std::u16string_view()};
    std::vector<std::uint32_t> parent_;
    Holders keyHolders_;
};

DuplicateGroup MakeGroup(const Index& index, DuplicateKind kind, std::span<const std::uint32_t> members)
{
    DuplicateGroup group;
    group.kind = kind;
    group.members.reserve(members.size());
    for (std::uint32_t e : members) {
        const Index::Entry& entry = index.entries()[e];
        group.members.push_back({entry.book, entry.contact, entry.contact->record.nr, entry.name});
    }
    return group;
}

// Same contact, with the numbers two or more members hold.
void AddSameContactGroups(Index& index, std::vector<DuplicateGroup>& groups)
{
    const auto& entries = index.entries();
    std::vector<std::uint32_t> count(index.KeyCount(), 0), stamp(index.KeyCount(), NoEntry);
    std::vector<std::uint32_t> met;
    for (const std::vector<std::uint32_t>& members : index.SameContactGroups()) {
        DuplicateGroup group = MakeGroup(index, DuplicateKind::SameContact, members);
        met.clear();
        const std::uint32_t g = static_cast<std::uint32_t>(groups.size());
        for (std::uint32_t e : members) {
            if (group.nameKey.empty())
                group.nameKey = index.NameKeyOf(entries[e].nameId);
            for (std::uint32_t key : index.Keys(e)) {
                if (stamp[key] != g) {
                    stamp[key] = g;
                    count[key] = 0;
                    met.push_back(key);
                }
                ++count[key];
            }
        }
        std::sort(met.begin(), met.end());  // local keys count in the order first met
        for (std::uint32_t key : met)
            if (count[key] >= 2)
                group.numberKeys.push_back(index.Key(key));
        groups.push_back(std::move(group));
    }
}

}  // namespace

std::vector<DuplicateGroup> FindSameContacts(const RecordList& first, const RecordList* second, NumberKeys& keys)
{
    Index index(first, second, keys);
    std::vector<DuplicateGroup> groups;
    AddSameContactGroups(index, groups);
    return groups;
}

std::vector<DuplicateGroup> FindDuplicates(const RecordList& first, const RecordList* second, NumberKeys& keys)
{
    Index index(first, second, keys);
    const auto& entries = index.entries();
    std::vector<DuplicateGroup> groups;
    AddSameContactGroups(index, groups);

    // One number, different names: its named holders. A key's first named
    // holder may come after the next key's, so they are put in order.
    std::vector<std::pair<std::uint32_t, DuplicateGroup>> sameNumber;
    std::vector<std::uint32_t> named;
    for (std::uint32_t key = 1; key < index.KeyCount(); ++key) {
        named.clear();
        bool differ = false;
        for (std::uint32_t e : index.HoldersOfKey(key)) {
            if (entries[e].nameId == 0)
                continue;
            differ = differ || (!named.empty() && entries[named.front()].nameId != entries[e].nameId);
            named.push_back(e);
        }
        if (!differ)
            continue;
        DuplicateGroup group = MakeGroup(index, DuplicateKind::SameNumber, named);
        group.numberKeys.push_back(index.Key(key));
        sameNumber.emplace_back(named.front(), std::move(group));
    }
    std::stable_sort(sameNumber.begin(), sameNumber.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [first, group] : sameNumber)
        groups.push_back(std::move(group));

    // One name, not all one contact.
    const Holders byName =
        index.Invert(index.NameCount(), [&entries](std::uint32_t e) {
            return std::span<const std::uint32_t>(&entries[e].nameId, entries[e].nameId ? 1 : 0);
        });
    for (std::uint32_t name = 1; name < index.NameCount(); ++name) {
        const std::span<const std::uint32_t> members = byName.Of(name);
        bool split = false;
        for (std::uint32_t e : members)
            split = split || index.Root(e) != index.Root(members.front());
        if (!split)
            continue;
        DuplicateGroup group = MakeGroup(index, DuplicateKind::SameName, members);
        group.nameKey = index.NameKeyOf(name);
        groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<RecordList::Node*> LaterDuplicates(const RecordList& book, const RecordList* other, NumberKeys& keys)
{
    Index index(book, other, keys);
    const auto& entries = index.entries();
    // Per group root: whether the other book holds a member, and whether a
    // member of book came already.
    std::vector<char> inOther(entries.size(), 0), seen(entries.size(), 0);
    for (std::uint32_t e = 0; e < entries.size(); ++e)
        if (entries[e].book == 1)
            inOther[index.Root(e)] = 1;
    std::vector<Node*> ticked;
    for (std::uint32_t e = 0; e < entries.size() && entries[e].book == 0; ++e) {
        const std::uint32_t root = index.Root(e);
        if (inOther[root] || seen[root])
            ticked.push_back(entries[e].contact);
        seen[root] = 1;
    }
    return ticked;
}
