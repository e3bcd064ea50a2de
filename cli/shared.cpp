// The steps the commands share.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ostream>

#include "base/atomic_file.h"
#include "base/path.h"
#include "base/text.h"
#include "cli/command.h"
#include "xml/xml.h"

namespace cli {

std::u16string ArgumentPath(const std::string& argument)
{
    return PathText(argument);
}

void AppendUtf8(std::string& out, std::u16string_view text)
{
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    unsigned char bytes[4];
    while (p < end) {
        if (*p < 0x80) {
            out += static_cast<char>(*p++);
            continue;
        }
        const std::size_t n = EncodeUtf8(NextCodePoint(p, end), bytes);
        out.append(reinterpret_cast<const char*>(bytes), n);
    }
}

std::string Utf8(std::u16string_view text)
{
    std::string out;
    AppendUtf8(out, text);
    return out;
}

void AppendField(std::string& line, std::u16string_view text)
{
    const std::size_t start = line.size();
    AppendUtf8(line, text);
    for (std::size_t i = start; i < line.size(); ++i)
        if (line[i] == '\t' || line[i] == '\n' || line[i] == '\r')
            line[i] = ' ';
}

RecordList& KeepUntilExit(RecordList records, int slot)
{
    static RecordList* const kept = new RecordList[KeptBooks];
    kept[slot] = std::move(records);
    return kept[slot];
}

// Progress -------------------------------------------------------------------------

ProgressStep::ProgressStep(const Io& io, std::string what)
    : io_(io), what_(std::move(what)), start_(std::chrono::steady_clock::now())
{
    if (!io_.terminal)
        return;
    try {
        watch_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!ended_.wait_for(lock, io_.progressAfter, [this] { return done_; }))
                Show();
        });
    } catch (const std::system_error&) {
        // Without a watch the line comes when the step ends.
    }
}

ProgressStep::~ProgressStep()
{
    if (!io_.terminal)
        return;
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    ended_.notify_all();
    if (watch_.joinable())
        watch_.join();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start_;
    std::lock_guard lock(mutex_);
    if (!shown_ && took >= io_.progressAfter)
        Show();
    if (shown_) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", took.count());
        std::string text = seconds;
        for (char& c : text)
            if (c == '.')
                c = ',';
        io_.err << " fertig (" << text << " s)" << std::endl;
    }
}

void ProgressStep::Show()
{
    io_.err << "nummernwerk-cli: " << what_ << " …" << std::flush;
    shown_ = true;
}

// Inputs ---------------------------------------------------------------------------

namespace {

// Blanks, tabs and line breaks of a message box text as single blanks.
std::string OneLine(const std::u16string& text)
{
    std::u16string line;
    bool blank = false;
    for (char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line += u' ';
        blank = false;
        line += c;
    }
    return Utf16ToUtf8(line);
}

// Why a file could not be loaded, as far as the file system tells.
std::string OpenFailure(const std::string& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "Datei nicht gefunden" : "Datei nicht lesbar";
    if (!S_ISREG(st.st_mode))
        return "keine Datei";
    if (st.st_size == 0)
        return "Datei ist leer";
    if (::access(file.c_str(), R_OK) != 0)
        return "Keine Leseberechtigung";
    return "Datei nicht lesbar";
}

}  // namespace

bool ReadBytesInput(const std::string& argument, std::string& bytes, const Io& io)
{
    {
        ProgressStep step(io, argument + " wird gelesen");
        // In one piece of the file's size, read straight into place.
        bytes.clear();
        const int fd = ::open(argument.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            bytes.resize(static_cast<std::size_t>(st.st_size));
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    done = 0;  // a read error: nothing counts
                    break;
                }
                if (n == 0)
                    break;  // the file got shorter meanwhile
                done += static_cast<std::size_t>(n);
            }
            bytes.resize(done);
        }
        if (fd >= 0)
            ::close(fd);
    }
    if (!bytes.empty())
        return true;
    io.err << argument << ":0:0: Das Telefonbuch kann nicht geöffnet werden: " << OpenFailure(argument) << '\n';
    return false;
}

void PrintMessages(const std::string& file, const std::vector<BookMessage>& messages, const Io& io)
{
    for (const BookMessage& m : messages) {
        std::string title;
        AppendUtf8(title, m.title);
        io.err << file << ": " << title << ": " << OneLine(m.text) << '\n';
    }
    io.err.flush();
}

Input ReadInput(const std::string& argument, const std::u16string& suffix, const Io& io, bool keepDocument)
{
    Input input;
    input.argument = argument;
    {
        ProgressStep step(io, argument + " wird gelesen");
        input.book = ReadPhonebookFile(Document, ArgumentPath(argument), suffix);
        if (input.book.opened && !keepDocument)
            XmlFreeDocument(Document);
    }
    // The error boxes become one line with the place; the others are
    // printed as they are.
    std::vector<BookMessage> others;
    for (const BookMessage& m : input.book.messages)
        if (m.icon == MessageIcon::Information)
            others.push_back(m);
    if (!input.book.opened) {
        io.err << argument << ":0:0: Das Telefonbuch kann nicht geöffnet werden: " << OpenFailure(argument) << '\n';
    } else if (input.book.status != 0) {
        std::string message;
        AppendUtf8(message, input.book.errorMessage);
        io.err << argument << ':' << input.book.errorLine << ':' << input.book.errorColumn
               << ": Fehler in der XML-Datei: " << message << '\n';
    }
    PrintMessages(argument, others, io);
    return input;
}

void PrintFindings(const std::string& file, const std::vector<CheckFinding>& findings, std::ostream& out)
{
    std::string buffer;
    for (const CheckFinding& f : findings) {
        buffer += file;
        buffer += ": ";
        buffer += CheckSeverityId(f.severity());
        buffer += ' ';
        buffer += CheckCodeId(f.code);
        if (f.contact) {
            buffer += ' ';
            AppendField(buffer, f.nr);
            if (!f.name.empty()) {
                buffer += ' ';
                AppendField(buffer, f.name);
            }
        }
        buffer += ": ";
        AppendField(buffer, f.text);
        buffer += '\n';
    }
    out << buffer;
}

// Outputs --------------------------------------------------------------------------

bool IsStandardOutput(const std::string& output)
{
    return output == "-";
}

int RefuseInputAsOutput(const std::string& output, const std::vector<std::string>& inputs, const Io& io)
{
    // Standard output may be an input too: appended to by the shell (">>").
    struct stat out {};
    if (IsStandardOutput(output) ? ::fstat(STDOUT_FILENO, &out) != 0 : ::stat(output.c_str(), &out) != 0)
        return Done;
    for (const std::string& input : inputs) {
        struct stat in {};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            io.err << "nummernwerk-cli: " << (IsStandardOutput(output) ? "Die Standardausgabe" : output)
                   << " ist dieselbe Datei wie die Eingabe " << input << "; eine Eingabe wird nie überschrieben.\n";
            return UsageError;
        }
    }
    return Done;
}

int WriteOutput(const std::string& output, const Io& io,
                const std::function<WriteOutcome(const ByteTarget& target)>& write)
{
    ByteTarget target;
    if (IsStandardOutput(output)) {
        target.write = [&io](const char* bytes, std::size_t size) {
            io.out.write(bytes, static_cast<std::streamsize>(size));
            return io.out.good();
        };
    } else {
        target.path = ArgumentPath(output);
    }
    WriteOutcome outcome;
    {
        ProgressStep step(io, (IsStandardOutput(output) ? std::string("Die Ausgabe") : output) + " wird geschrieben");
        outcome = write(target);
        if (target.write)
            outcome.written = outcome.written && io.out.flush().good();
    }
    PrintMessages(IsStandardOutput(output) ? "nummernwerk-cli" : output, outcome.messages, io);
    if (outcome.written)
        return Done;
    std::string reason;
    AppendUtf8(reason, outcome.reason.empty() ? FileWriteReason(EIO) : outcome.reason);
    io.err << (IsStandardOutput(output) ? std::string("Standardausgabe") : output)
           << ": kann nicht geschrieben werden: " << reason << '\n';
    return OutputFailed;
}

int FlushedOutput(const Io& io, int status)
{
    if (io.out.flush())
        return status;
    io.err << "Standardausgabe: kann nicht geschrieben werden\n";
    return OutputFailed;
}

WriteOutcome WriteBytes(const ByteTarget& target, std::string_view bytes)
{
    WriteOutcome outcome;
    if (target.write) {
        outcome.written = target.write(bytes.data(), bytes.size());
        if (!outcome.written)
            outcome.reason = FileWriteReason(EIO);
    } else {
        outcome.written = WriteFileAtomically(NativePath(target.path), bytes, &outcome.reason);
    }
    return outcome;
}

}  // namespace cli
