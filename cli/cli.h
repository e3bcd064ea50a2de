#pragma once
// nummernwerk-cli: the phonebook core from the command line. The commands
// read and write files through the same functions as the window's "Laden"
// and "Speichern" (phonebook/book_file.h); the tool links no widget code.
#include <chrono>
#include <cstdint>
#include <iosfwd>

namespace cli {

// Exit statuses, as --help and the manual page give them.
enum Status : int {
    Done = 0,
    InputFailed = 1,   // an input could not be opened or is not well-formed XML
    UsageError = 2,    // wrong arguments, or an output that names an input
    OutputFailed = 3,  // the output could not be written
    ErrorsFound = 4,   // check: a book holds a finding of severity error;
                       // set, add: the change has one and is refused
};

// Where the tool writes: results to out, messages to err.
struct Io {
    std::ostream& out;
    std::ostream& err;
    // Progress lines go to err only when it is a terminal, for a step that
    // has run progressAfter.
    bool terminal = false;
    std::chrono::milliseconds progressAfter{1000};
    // The current time a changed contact's mod_time gets, in seconds since
    // 1970-01-01 00:00 UTC; the system's clock when negative.
    std::int64_t now = -1;
};

// Parses the arguments (argv[0] is the program) and runs the command they
// name; returns the exit status.
int Run(int argc, const char* const* argv, const Io& io);

}  // namespace cli
