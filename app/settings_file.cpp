#include "app/settings_file.h"

#include <cerrno>
#include <climits>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/text.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool SameKey(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

std::u16string_view TrimEnd(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::u16string_view TrimStart(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// A file that starts with the UTF-8 byte-order mark (and has more than it) is
// UTF-8; so is a file without one that is well-formed UTF-8 throughout, as
// editors write it. Anything else is taken byte by byte as ISO 8859-1.
std::u16string DecodeFile(std::string_view bytes)
{
    if (bytes.size() > 2 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return Utf8ToUtf16(bytes.substr(3));
    if (IsValidUtf8(bytes))
        return Utf8ToUtf16(bytes);
    return Latin1ToUtf16(bytes);
}

// A regular file's bytes, at most limit of them; false for anything else or
// when it cannot be read. Opening does not wait: a named pipe without a
// writer opens at once and is then refused as no regular file. A longer
// file keeps only its whole lines within the limit.
bool ReadRegularFile(const char* path, std::size_t limit, std::string& bytes)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::size_t got = 0;
    if (ok) {
        bytes.resize(limit + 1);
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n >= 0;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    if (got > limit) {
        const std::size_t lineEnd = bytes.find_last_of("\r\n", limit - 1);
        got = lineEnd == std::string::npos ? 0 : lineEnd + 1;
    }
    bytes.resize(got);
    return ok;
}

}  // namespace

SettingsFile::~SettingsFile() = default;

bool SettingsFile::OpenForReading(const std::filesystem::path& file)
{
    file_.Abort();
    entries_.clear();
    written_ = false;
    createFailed_ = false;
    try {
        std::string bytes;
        if (!ReadRegularFile(file.c_str(), MaxReadBytes, bytes))
            return false;
        Parse(bytes);
        return true;
    } catch (const std::exception&) {
        // Out of memory while reading: the defaults, like an unreadable file.
        entries_.clear();
        return false;
    }
}

void SettingsFile::Parse(std::string_view bytes)
{
    entries_.clear();
    const std::u16string text = DecodeFile(bytes);
    std::u16string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find_first_of(u"\r\n");
        std::u16string_view line = rest.substr(0, end);
        rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);

        line = TrimStart(line);
        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[')
            break;  // only the key lines before the first group header count
        std::size_t equals = line.find(u'=');
        std::u16string_view key = TrimEnd(line.substr(0, equals));
        std::u16string_view value =
            equals == std::u16string_view::npos ? std::u16string_view() : TrimStart(line.substr(equals + 1));
        entries_.push_back({std::u16string(key), std::u16string(value)});
    }
}

const SettingsFile::Entry* SettingsFile::Find(std::u16string_view key) const
{
    for (const Entry& entry : entries_)
        if (SameKey(entry.key, key))
            return &entry;
    return nullptr;
}

std::u16string SettingsFile::ReadText(std::u16string_view key, const std::u16string& fallback) const
{
    const Entry* entry = Find(key);
    return entry ? std::u16string(TrimEnd(entry->value)) : fallback;
}

std::int32_t SettingsFile::ReadInteger(std::u16string_view key, std::int32_t fallback) const
{
    const Entry* entry = Find(key);
    if (!entry)
        return fallback;
    std::u16string_view value = entry->value;
    std::size_t i = 0;
    while (i < value.size() && (IsBlank(value[i]) || value[i] == u'\v' || value[i] == u'\f'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == u'+' || value[i] == u'-'))
        negative = value[i++] == u'-';
    long long magnitude = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
        magnitude = magnitude * 10 + (value[i] - u'0');
        if (magnitude > static_cast<long long>(INT32_MAX) + 1)
            magnitude = static_cast<long long>(INT32_MAX) + 1;
    }
    long long result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        result = INT32_MAX;
    return static_cast<std::int32_t>(result);
}

bool SettingsFile::CreateForWriting(const std::filesystem::path& file)
{
    entries_.clear();
    written_ = false;
    createFailed_ = !file_.Open(file.native());
    return !createFailed_;
}

void SettingsFile::WriteText(std::u16string_view key, const std::u16string& value)
{
    // A line break would end the line early and make the rest of the value
    // a line of its own, possibly another key; such a value is never stored.
    if (value.find_first_of(u"\r\n") != std::u16string::npos)
        return;
    written_ = true;
    for (Entry& entry : entries_) {
        if (SameKey(entry.key, key)) {
            entry.value = value;
            return;
        }
    }
    entries_.push_back({std::u16string(key), value});
}

void SettingsFile::WriteInteger(std::u16string_view key, std::int32_t value)
{
    WriteText(key, DecimalText(value));
}

std::string SettingsFile::WrittenForm() const
{
    std::string bytes = "\xEF\xBB\xBF\r\n";
    for (const Entry& entry : entries_)
        bytes += Utf16ToUtf8(entry.key) + " = " + Utf16ToUtf8(entry.value) + "\r\n";
    return bytes;
}

bool SettingsFile::Close()
{
    if (!file_.IsOpen()) {
        // Opened for reading only, or the file could not be created.
        bool ok = !(createFailed_ && written_);
        createFailed_ = false;
        written_ = false;
        return ok;
    }
    if (!written_) {
        file_.Abort();
        return true;
    }
    written_ = false;
    return file_.Write(WrittenForm()) && file_.Commit();
}
