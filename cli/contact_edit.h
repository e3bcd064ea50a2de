#pragma once
// What "set" and "add" share: the options for the fields of the window's
// contact dialog, and a change made with the dialog's rules
// (contacts/edit.h): checked against the rest of the book, refused while an
// error stands, written as "Speichern" writes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "contacts/contact.h"

namespace CLI {
class Option;
}

namespace cli {

struct ContactOptions {
    std::string file;
    std::string output;
    std::string name;
    std::vector<std::string> numbers;  // TYPE:TEXT
    std::vector<std::string> emails;   // [KIND:]ADDRESS
    bool vip = false;
    bool noVip = false;
    bool named = false;  // --name was given
};

// Adds DATEI, -o, --name, --number, --email, --vip and, for a change of a
// contact that has fields already, --no-vip; --name is required for a new
// contact. Returns the --name option, whose count tells whether it was given.
CLI::Option* AddContactOptions(CLI::App& command, ContactOptions& options, bool adding);

// Reads options.file as "Laden" does; read fills the fields of the contact
// to change (or returns a status other than Done, with its line on err);
// the options change them; CheckContact against the book decides: its
// findings go to err, an error refuses the change (ErrorsFound, nothing
// written). Otherwise write puts the fields into the book (at now) and the
// book goes to options.output as "Speichern" writes it.
int RunContactChange(const ContactOptions& options, const Io& io,
                     const std::function<int(RecordList& book, Contact& fields)>& read,
                     const std::function<void(RecordList& book, Contact& fields, std::int64_t now)>& write);

}  // namespace cli
