#pragma once
// The functional core of the phonebook editor: plain functions over records
// and XML documents, without widgets. The panel operations in phonebook.cpp
// are a thin shell around them.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "contacts/attributes.h"
#include "contacts/records.h"
#include "xml/xml.h"

// Flattening ---------------------------------------------------------------------

struct FlattenResult {
    int elements = 0;      // records made
    int ignoredNodes = 0;  // comments, CDATA sections, DTDs, instructions met
};

// Walks the element main and everything below it in pre-order and appends one
// record per element to out: nr = index in that order + suffix, depth 0 for
// main. Every node of another kind is reported through onIgnored (in document
// order) and dropped with everything below it. phonebookName receives the
// "name" attribute of every "phonebook" element met, so the last one wins.
// The walk keeps its own stack: any nesting costs memory, not call stack.
FlattenResult FlattenDocument(XmlNode* main, const std::u16string& suffix, RecordList& out,
                              std::u16string& phonebookName,
                              const std::function<void(int kind)>& onIgnored);

// The Information box text for an ignored node of the given kind.
std::u16string IgnoredNodeMessage(int kind);
// The one box that stands for all ignored nodes after the first few.
std::u16string FurtherIgnoredNodesMessage(long long count);

// Contact rows -------------------------------------------------------------------

// One row per record named "contact", in list order: calls
// visit(contact node, nr, id, name, telefon) once per row. "uniqueid",
// "realName" and "number" records count for the nearest "contact" record
// before them. The views last only for the call.
template <typename Visit>
void ForEachContactRow(const RecordList& records, Visit visit)
{
    RecordList::Node* contact = nullptr;
    std::u16string_view id, name;
    std::u16string telefon;
    for (RecordList::Node* node = records.FirstNode(); node; node = node->next) {
        const NodeRecord& r = node->record;
        const std::u16string_view recordName = r.name.view();
        if (recordName == u"contact") {
            if (contact)
                visit(contact, contact->record.nr.view(), id, name, std::u16string_view(telefon));
            contact = node;
            id = name = {};
            telefon.clear();
        } else if (!contact) {
            continue;  // before the first contact: shown nowhere
        } else if (recordName == u"uniqueid") {
            id = r.text.view();
        } else if (recordName == u"realName") {
            name = r.text.view();
        } else if (recordName == u"number") {
            if (!telefon.empty())
                telefon += u"  #  ";
            telefon += r.text.view();
        }
    }
    if (contact)
        visit(contact, contact->record.nr.view(), id, name, std::u16string_view(telefon));
}

// The texts of the "number" records that count for the contact that starts
// at contact (every one up to the next "contact" record), in list order:
// the pieces that make the row's Telefon. Calls visit(text) for each.
template <typename Visit>
void ForEachContactNumber(const RecordList::Node* contact, Visit visit)
{
    if (!contact)
        return;
    for (const RecordList::Node* node = contact->next; node && node->record.name.view() != u"contact";
         node = node->next)
        if (node->record.name.view() == u"number")
            visit(node->record.text.view());
}

// The list widget's text of a row: "\n" + nr + "\n" + id + "\n" + name + "\n" + telefon.
std::u16string RowText(std::u16string_view nr, std::u16string_view id, std::u16string_view name,
                       std::u16string_view telefon);
// The same text into text, which is emptied first (its room is reused).
void AssignRowText(std::u16string& text, std::u16string_view nr, std::u16string_view id, std::u16string_view name,
                   std::u16string_view telefon);
// The row text of the one contact that starts at contact, as
// ForEachContactRow gives it: for a row made anew after the contact changed.
std::u16string ContactRowText(const RecordList::Node* contact);

// Transfer -----------------------------------------------------------------------

// Appends copies of the contact that starts at contact (the record and every
// record after it up to the next "contact" record) to the end of target and
// returns the copy of the "contact" record.
RecordList::Node* CopyContactRecords(const RecordList::Node* contact, RecordList& target);
// Removes the contact that starts at contact from records.
void RemoveContactRecords(RecordList& records, RecordList::Node* contact);
// Moves the contact that starts at contact from source to the end of target
// without copying a record: afterwards source is as RemoveContactRecords and
// target as CopyContactRecords would have left them. Returns contact, which
// now belongs to target.
RecordList::Node* MoveContactRecords(RecordList& source, RecordList::Node* contact, RecordList& target);

// Rebuilding a document ----------------------------------------------------------

// Where a rebuild left out characters that XML cannot hold
// (HoldsNonXmlCharacters): the Name field, or a field of one record.
struct LeftOutCharacters {
    enum class Field { NameField, ElementName, AttributeName, AttributeValue, Text };
    Field field = Field::NameField;
    const RecordList::Node* record = nullptr;   // nullptr for the Name field
    const RecordList::Node* contact = nullptr;  // the contact the record counts for; nullptr before the first
    std::u16string attribute;                   // for an attribute's value: its name as written
};

// Creates one element from one record as the last child of parent. A
// "phonebook" element's "name" attribute takes phonebookName. Characters XML
// cannot hold are left out of every name and text. Returns the element, or
// nullptr when the library could not make it or a name is no XML name even
// without those characters.
XmlNode* AddRecordElement(XmlNode* parent, std::u16string_view name, std::u16string_view attributes,
                          std::u16string_view text, const std::u16string& phonebookName);

// What a rebuild found that the caller may have to tell or act on.
struct RebuildReport {
    std::vector<LeftOutCharacters> leftOut;  // in document order, the Name field first
    std::size_t levels = 0;                  // the deepest nesting made: 1 for the document element alone
};

// Rebuilds records into the document under the number, which must be new and
// empty (XmlCreateDocument). Every record becomes one element, in list order.
// A record's parent is the nearest open element of a smaller depth, so a list
// made by loading comes back as the file was. A contact brought in by a
// transfer goes beside the contacts before it or into a "phonebook", never
// into another contact or into what another transfer brought, and the
// records that came with it stay inside the element that took it, nested
// among themselves as they were. A list that does not begin with a record
// that stood at the top of a file gets the frame of a new phonebook.
// Characters XML cannot hold are left out; report, when given, receives
// where. Returns false when there is no such empty document or one of the
// elements could not be made; the document may then hold part of the records
// and must not be saved.
bool BuildPhonebookDocument(int document, const RecordList& records, const std::u16string& phonebookName,
                            RebuildReport* report = nullptr);

// The Information box text that tells which characters a save left out:
// the places in order, the first few named with the contact's Nr. and Name.
std::u16string LeftOutCharactersMessage(const RecordList& records, const std::vector<LeftOutCharacters>& places);
