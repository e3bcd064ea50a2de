#pragma once
// Nummernwerk.ini: the small key file that remembers each panel's last
// directory and the tooltip switch (where it lies: settings_location.h).
//
// Reading is lenient (any encoding the file may have been edited in, comments,
// groups, odd spacing); writing always produces the one fixed form:
//   EF BB BF, CR LF, then "Key = value" CR LF per key.
//
// Writing is atomic (base/atomic_file.h): CreateForWriting opens a temporary
// file beside the target, Close writes the whole content there, flushes it
// to the disk and only then renames it over the target. A failure at any
// point removes the temporary file and leaves an existing settings file
// exactly as it was. A symbolic link is written through to its file; a path
// that is not a regular file, or a file the user may not write, is left
// alone.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"

class SettingsFile {
public:
    SettingsFile() = default;
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Reads and parses the file; false when it cannot be read or is not a
    // regular file, in which case every read returns its default. Never
    // waits on the path (a named pipe gives the defaults at once) and reads
    // at most MaxReadBytes; the keys that count stand near the top.
    bool OpenForReading(const std::filesystem::path& file);
    // Parses file bytes as OpenForReading would.
    void Parse(std::string_view bytes);

    // The value of the first key line before the first group header whose key
    // matches (letters A-Z compared without case), trailing blanks and tabs
    // removed; fallback when there is no such key.
    std::u16string ReadText(std::u16string_view key, const std::u16string& fallback) const;
    // Leading white space, optional sign, decimal digits up to the first other
    // character; 0 when no digit follows; saturates at the 32-bit limits.
    std::int32_t ReadInteger(std::u16string_view key, std::int32_t fallback) const;

    // Starts a new, empty content for file and creates the temporary file
    // that Close fills. false when the directory does not take a new file or
    // the target must stay as it is.
    bool CreateForWriting(const std::filesystem::path& file);
    // Sets a key: an existing key keeps its place, a new one goes last. A
    // value holding a line break is not taken: the key keeps what it had.
    void WriteText(std::u16string_view key, const std::u16string& value);
    void WriteInteger(std::u16string_view key, std::int32_t value);
    // Finishes what CreateForWriting began: when anything was written, puts
    // the content in place of the target; otherwise drops the temporary file.
    // true when the target now holds the written content (or nothing had to
    // be written). A file opened for reading is never rewritten.
    bool Close();

    // The bytes Close writes for the keys written so far.
    std::string WrittenForm() const;

    static constexpr std::size_t MaxReadBytes = 1 << 16;

private:
    struct Entry {
        std::u16string key;
        std::u16string value;
    };
    const Entry* Find(std::u16string_view key) const;

    std::vector<Entry> entries_;
    AtomicFile file_;
    bool written_ = false;
    bool createFailed_ = false;
};
