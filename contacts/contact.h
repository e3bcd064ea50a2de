#pragma once
// The typed contact: a contact's records read into named fields, and changed
// fields written back into the same records.
//
// A contact is a run of records: its "contact" record and every record after
// it up to the next "contact" record, as the list's rows count them. Reading
// takes each field from the run wherever it stands; a field held once
// (realName, imageURL, category, mod_time, uniqueid) comes from the last record
// of that name, as the list's columns show it. Every other record, and every
// attribute the fields do not name, is the unknown rest: writing back leaves
// it as it is, in place.
//
// Writing back changes only the records of changed fields, so a contact read
// and written back unchanged keeps every record byte for byte. New records go
// where the router puts them (contact > category, person > realName /
// imageURL, telephony nid > number, services nid > email, setup, features,
// mod_time, uniqueid), below the contact's own element.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "contacts/records.h"

// The values of a number's "type" attribute that the router knows.
namespace NumberType {
inline constexpr std::u16string_view Home = u"home";
inline constexpr std::u16string_view Mobile = u"mobile";
inline constexpr std::u16string_view Work = u"work";
inline constexpr std::u16string_view FaxWork = u"fax_work";
inline constexpr std::u16string_view Intern = u"intern";
inline constexpr std::u16string_view Memo = u"memo";
inline constexpr std::u16string_view Other = u"other";
}  // namespace NumberType
inline constexpr std::array<std::u16string_view, 7> NumberTypes = {
    NumberType::Home,   NumberType::Mobile, NumberType::Work,  NumberType::FaxWork,
    NumberType::Intern, NumberType::Memo,   NumberType::Other,
};

// A number: the text of a "number" record and its attributes. An attribute
// value is empty when the attribute is absent.
struct ContactNumber {
    RecordText text;
    std::u16string type;
    std::u16string prio;  // "1" for the main number
    std::u16string id;
    std::u16string quickdial;
    std::u16string vanity;
    // The record it was read from or written to; nullptr for a number not
    // written yet. One that is not a number record of this contact (copied
    // from another contact, say) counts as a new number.
    RecordList::Node* node = nullptr;

    bool operator==(const ContactNumber& other) const = default;
};

// An e-mail address: an "email" record (in "services") and its attributes.
struct ContactEmail {
    RecordText text;
    std::u16string classifier;
    std::u16string id;
    RecordList::Node* node = nullptr;  // as for a number

    bool operator==(const ContactEmail& other) const = default;
};

struct Contact {
    RecordText name;      // person/realName
    bool vip = false;     // category "1"
    RecordText imageUrl;  // person/imageURL
    RecordText uniqueId;
    RecordText modTime;
    std::vector<ContactNumber> numbers;  // in record order
    std::vector<ContactEmail> emails;    // in record order

    // The records the fields were read from or written to; nullptr where the
    // contact has none.
    struct Sources {
        RecordList::Node* contact = nullptr;
        RecordList::Node* name = nullptr;
        RecordList::Node* category = nullptr;
        RecordList::Node* imageUrl = nullptr;
        RecordList::Node* uniqueId = nullptr;
        RecordList::Node* modTime = nullptr;
        bool operator==(const Sources& other) const = default;
    } from;

    bool operator==(const Contact& other) const = default;
};

// Reads the contact whose "contact" record is contact into fields, which are
// emptied first. Their storage is reused, so reading many contacts into one
// object allocates little; texts share the records' buffers. A node that is
// not a "contact" record gives empty fields.
void ReadContact(RecordList::Node* contact, Contact& fields);
Contact ReadContact(RecordList::Node* contact);

// Writes the fields back into the records of fields.from.contact, which must
// be a record of list, and returns true when a record changed. Afterwards
// fields and their sources are what ReadContact would read.
//
// - A changed field rewrites its record's text and the attributes it names;
//   every other attribute stays as it stands.
// - A field held once that becomes empty removes its record (imageURL,
//   uniqueid, mod_time); realName keeps its record with an empty text; a
//   contact that is no longer VIP gets category "0".
// - A number or address without a record of this contact gets a new record:
//   after the one before it in the list, else before the first one still
//   there, else at the end of the contact's first "telephony" / "services"
//   (made where the router puts it when there is none). It carries type,
//   quickdial and vanity (when not empty), prio ("0" when empty) and id (one
//   above the highest id of the contact's numbers when empty), in this
//   order; an address carries classifier and id alike. The empty values
//   filled in this way are filled in the fields too.
// - A number or address no longer in the fields loses its record, with the
//   elements inside it.
// - Existing numbers in a new order have their records moved into that order.
// - When the numbers (addresses) changed, every "telephony" ("services")
//   record of the contact with a nid attribute gets the count of its
//   "number" ("email") records as nid.
//
// A new record's depth follows its parent's. Its nr is the contact's nr with
// a serial after the number, "12.1 (1)", "12.2 (1)" for contact "12 (1)":
// unique in the list as long as the contacts' nrs are, and it tells which
// contact the record was added to. It takes the contact record's unit.
bool WriteContact(RecordList& list, Contact& fields);

// Appends the frame of a new phonebook to list: "phonebooks" (depth 0, nr
// "0" + suffix) and in it "phonebook" with owner="1" and name (depth 1, nr
// "1" + suffix).
void AppendPhonebookFrame(RecordList& list, std::u16string_view name, std::u16string_view suffix);

// Appends a new contact in the router's own shape to the end of list and
// returns its "contact" record (nr and depth as given, the records in it
// numbered as WriteContact numbers new ones):
//   contact > category ("1" or "0"), person > realName (and imageURL when
//   there is one), telephony nid > number..., services nid > email... (when
//   there are addresses), setup, mod_time and uniqueid (each when not empty).
// Numbers and addresses carry their attributes as WriteContact gives a new
// one; fields.from and the nodes are set to the new records.
RecordList::Node* AppendNewContact(RecordList& list, Contact& fields, std::u16string_view nr, std::int32_t depth);

// Removes the contact whose "contact" record is contact: that record and
// every record after it up to the next "contact" record. Nothing happens for
// nullptr.
void EraseContact(RecordList& list, RecordList::Node* contact);

// The records of the contact's run that no field stands for and that are no
// "person", "telephony" or "services" record: what writing back leaves as
// it is (setup, features, carddav_uid, a second realName, ...).
std::vector<const RecordList::Node*> UnknownRecords(const Contact& contact);

// The count the nid of a "telephony" or "services" record stands for: its
// "number" or "email" children. 0 for any other record.
std::size_t NidChildCount(const RecordList::Node* container);
