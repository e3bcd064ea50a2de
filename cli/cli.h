#pragma once
// nummernwerk-cli: the phonebook core from the command line. The commands
// read and write files through the same functions as the window's "Laden"
// and "Speichern" (phonebook/book_file.h); the tool links no widget code.
#include <chrono>
#include <iosfwd>

namespace cli {

// Exit statuses, as --help and the manual page give them.
enum Status : int {
    Done = 0,
    InputFailed = 1,   // an input could not be opened or is not well-formed XML
    UsageError = 2,    // wrong arguments, or an output that names an input
    OutputFailed = 3,  // the output could not be written
};

// Where the tool writes: results to out, messages to err.
struct Io {
    std::ostream& out;
    std::ostream& err;
    // Progress lines go to err only when it is a terminal, for a step that
    // has run progressAfter.
    bool terminal = false;
    std::chrono::milliseconds progressAfter{1000};
};

// Parses the arguments (argv[0] is the program) and runs the command they
// name; returns the exit status.
int Run(int argc, const char* const* argv, const Io& io);

}  // namespace cli
