#include "contacts/merge.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "contacts/contact.h"
#include "contacts/duplicates.h"
#include "contacts/limits.h"

using Node = RecordList::Node;

namespace {

constexpr std::u16string_view MainPrio = u"1";
constexpr std::u16string_view OtherPrio = u"0";

// An address as it is compared: without surrounding blanks, in lower case.
std::u16string AddressKey(std::u16string_view address)
{
    const std::size_t first = address.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos)
        return {};
    address = address.substr(first, address.find_last_not_of(u" \t") - first + 1);
    std::u16string key(address);
    for (char16_t& c : key)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return key;
}

// Takes a later number's quick-dial and vanity into the kept number with
// the same key.
void Combine(ContactNumber& kept, const ContactNumber& later, std::vector<MergeConflict>& conflicts)
{
    const struct {
        MergeConflict::Field field;
        std::u16string ContactNumber::*value;
    } fields[] = {{MergeConflict::Field::Quickdial, &ContactNumber::quickdial},
                  {MergeConflict::Field::Vanity, &ContactNumber::vanity}};
    for (const auto& f : fields) {
        std::u16string& mine = kept.*f.value;
        const std::u16string& theirs = later.*f.value;
        if (theirs.empty() || theirs == mine)
            continue;
        if (mine.empty())
            mine = theirs;
        else
            conflicts.push_back({f.field, kept.text, mine, theirs});
    }
}

}  // namespace

MergeResult MergeContacts(RecordList& list, std::span<RecordList::Node* const> contacts, NumberKeys& keys)
{
    std::vector<Node*> order;
    for (Node* c : contacts)
        if (c && c->record.name == u"contact" && std::find(order.begin(), order.end(), c) == order.end())
            order.push_back(c);
    MergeResult result;
    if (order.empty())
        return result;
    Contact target = ReadContact(order.front());
    result.contact = order.front();
    result.nr = order.front()->record.nr;
    result.name = target.name;
    result.numbers = target.numbers.size();
    if (order.size() < 2)
        return result;

    const std::size_t own = target.numbers.size();
    std::unordered_map<std::uint32_t, std::size_t> numberAt;  // key id -> index in target.numbers
    for (std::size_t i = 0; i < own; ++i)
        if (const std::uint32_t id = keys.Id(target.numbers[i].text))
            numberAt.try_emplace(id, i);
    std::unordered_set<std::u16string> addresses;
    for (const ContactEmail& e : target.emails)
        addresses.insert(AddressKey(e.text));

    Contact other;
    for (std::size_t k = 1; k < order.size(); ++k) {
        ReadContact(order[k], other);
        if (target.name.empty())
            target.name = other.name;
        if (target.imageUrl.empty())
            target.imageUrl = other.imageUrl;
        target.vip = target.vip || other.vip;
        for (const ContactNumber& n : other.numbers) {
            const std::uint32_t id = keys.Id(n.text);
            if (id == 0)
                continue;
            const auto [at, added] = numberAt.try_emplace(id, target.numbers.size());
            if (!added) {
                Combine(target.numbers[at->second], n, result.conflicts);
                continue;
            }
            ContactNumber& copy = target.numbers.emplace_back(n);
            copy.node = nullptr;
            copy.id.clear();
            copy.prio.clear();
        }
        for (const ContactEmail& e : other.emails) {
            std::u16string address = AddressKey(e.text);
            if (address.empty() || !addresses.insert(std::move(address)).second)
                continue;
            ContactEmail& copy = target.emails.emplace_back(e);
            copy.node = nullptr;
            copy.id.clear();
        }
    }
    result.name = target.name;
    result.numbers = target.numbers.size();
    if (result.numbers > ContactLimits::MaxNumbers && result.numbers > own) {
        result.refusal = MergeResult::Refusal::TooManyNumbers;
        result.conflicts.clear();
        return result;
    }

    std::size_t main = 0;
    for (std::size_t i = own; i-- > 0;)
        if (target.numbers[i].prio == MainPrio)
            main = i;
    for (std::size_t i = 0; i < target.numbers.size(); ++i) {
        std::u16string& prio = target.numbers[i].prio;
        if (i == main)
            prio = MainPrio;
        else if (prio == MainPrio)
            prio = OtherPrio;
    }

    WriteContact(list, target);
    for (std::size_t k = 1; k < order.size(); ++k)
        EraseContact(list, order[k]);
    result.merged = order.size() - 1;
    return result;
}

std::vector<MergeResult> MergeAllDuplicates(RecordList& book, NumberKeys& keys)
{
    std::vector<MergeResult> results, refused;
    std::vector<Node*> members;
    // A contact without a name whose numbers were spread over several
    // members of a group is like the merged contact only afterwards: rounds
    // go on until one merges nothing. Its refusals are the ones that stand.
    for (bool merged = true; merged;) {
        merged = false;
        refused.clear();
        for (const DuplicateGroup& group : FindSameContacts(book, nullptr, keys)) {
            members.clear();
            for (const DuplicateMember& m : group.members)
                members.push_back(m.contact);
            MergeResult result = MergeContacts(book, members, keys);
            merged = merged || result.merged > 0;
            (result.merged > 0 ? results : refused).push_back(std::move(result));
        }
    }
    for (MergeResult& r : refused)
        results.push_back(std::move(r));
    return results;
}
