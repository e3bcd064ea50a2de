#pragma once
// The command table and the steps its commands share: reading an input as
// "Laden" does and reporting what the window would show, writing an output
// atomically or to standard output, refusing an output that is an input,
// and progress lines for long steps.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "contacts/checks.h"
#include "phonebook/book_file.h"

namespace CLI {
class App;
}

namespace cli {

// What runs a command once its arguments are parsed.
using CommandRun = std::function<int(const Io& io)>;

// One entry of the table: a command of its own with its help, the set-up of
// its arguments (which returns what runs it) and the examples that end its
// help.
struct Command {
    const char* name;
    const char* summary;
    const char* examples;
    CommandRun (*setUp)(CLI::App& command);
};

// Every command, in the order --help lists them.
const std::vector<Command>& Commands();

// Set-up of each command (one file each).
CommandRun SetUpList(CLI::App& command);
CommandRun SetUpFormat(CLI::App& command);
CommandRun SetUpMerge(CLI::App& command);
CommandRun SetUpCheck(CLI::App& command);
CommandRun SetUpDupes(CLI::App& command);
CommandRun SetUpDedupe(CLI::App& command);
CommandRun SetUpConvert(CLI::App& command);
CommandRun SetUpSet(CLI::App& command);
CommandRun SetUpAdd(CLI::App& command);

// The XML document number the commands work with, one at a time.
constexpr int Document = 0;

// Text and paths ------------------------------------------------------------

// An argument as a path the core takes.
std::u16string ArgumentPath(const std::string& argument);
// Appends text as UTF-8.
void AppendUtf8(std::string& out, std::u16string_view text);
// Text as UTF-8.
std::string Utf8(std::u16string_view text);
// Appends text as UTF-8 for a field of a line: a tab or line break in it
// becomes a blank, so that the field keeps its line.
void AppendField(std::string& line, std::u16string_view text);

// Progress ------------------------------------------------------------------

// One step of a command. On a terminal, a step that runs longer than
// Io::progressAfter gets a line on err: what it does, then how long it took.
class ProgressStep {
public:
    ProgressStep(const Io& io, std::string what);
    ~ProgressStep();
    ProgressStep(const ProgressStep&) = delete;
    ProgressStep& operator=(const ProgressStep&) = delete;

private:
    void Show();  // with mutex_ held

    const Io& io_;
    std::string what_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    bool shown_ = false;
    std::thread watch_;
};

// Records a command works on to its end, kept until the next command or the
// end of the process: the system takes a large phonebook's memory back at
// once, where freeing its million records one by one would delay the end.
// A command that works on two books at once keeps them in two slots.
constexpr int KeptBooks = 2;
RecordList& KeepUntilExit(RecordList records, int slot = 0);

// Inputs --------------------------------------------------------------------

// Reads the file named by the argument as "Laden" does (ReadPhonebookFile),
// nr suffix as given, and reports on err what the window shows in message
// boxes: a file that cannot be opened or a parse error as
// "FILE:LINE:COLUMN: MESSAGE" (line and column 0 when nothing could be
// read), every other box as "FILE: TITLE: TEXT". With keepDocument the XML
// document stays loaded for WriteFormattedCopy; otherwise it is freed
// before the result is returned.
struct Input {
    std::string argument;
    ReadPhonebook book;
    // Opened and well-formed.
    bool ok() const { return book.opened && book.status == 0; }
};
Input ReadInput(const std::string& argument, const std::u16string& suffix, const Io& io, bool keepDocument);

// Reads the whole file named by the argument into bytes. A file that
// cannot be read, or is empty, gets the line ReadInput gives it
// ("FILE:0:0: ..."); false then.
bool ReadBytesInput(const std::string& argument, std::string& bytes, const Io& io);

// Prints message boxes as lines "FILE: TITLE: TEXT", the text on one line.
void PrintMessages(const std::string& file, const std::vector<BookMessage>& messages, const Io& io);

// Findings as "check" prints them, one line each: "FILE: severity code Nr.
// Name: text", Nr. and Name only for a finding about a contact that has
// records, the name only when it has one.
void PrintFindings(const std::string& file, const std::vector<CheckFinding>& findings, std::ostream& out);

// Outputs -------------------------------------------------------------------

// "-" names standard output.
bool IsStandardOutput(const std::string& output);

// UsageError, with a line on err, when output names one of the inputs, also
// through a link (same device and inode); Done otherwise.
int RefuseInputAsOutput(const std::string& output, const std::vector<std::string>& inputs, const Io& io);

// Writes through write (WriteFormattedCopy, WritePhonebook) to the output:
// a file, atomically, or standard output. Done, or OutputFailed with the
// writer's reason on err.
int WriteOutput(const std::string& output, const Io& io,
                const std::function<WriteOutcome(const ByteTarget& target)>& write);

// Writes bytes made in one piece to a target as WriteOutput hands it: a
// file atomically, or the target's write function.
WriteOutcome WriteBytes(const ByteTarget& target, std::string_view bytes);

// The end of a command that prints on standard output: status, once what
// was printed has gone out; otherwise OutputFailed, with a line on err.
int FlushedOutput(const Io& io, int status);

}  // namespace cli
