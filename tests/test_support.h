#pragma once
// Small helpers shared by the test executables.
#include <filesystem>
#include <string>
#include <vector>

namespace nwtest {

// Folder holding the real router exports and the W3C XML suite. The
// environment variable NW_SHARED_TESTDATA overrides the configured path.
std::filesystem::path SharedTestData();

// A fresh, empty temporary directory that is removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

// Every entry below root, sorted: its relative path and type, and for a
// symbolic link where it points ("a/b l->../c").
std::vector<std::string> DirectoryTree(const std::filesystem::path& root);

// What a test puts where the program reads or writes a file: nothing, a
// file holding bytes (mode 0640, or 0444 when read-only), a directory
// holding such a file, or a named pipe.
enum class PathThing { Nothing, File, ReadOnlyFile, Directory, NamedPipe };
void MakePathThing(PathThing thing, const std::filesystem::path& path, const std::string& bytes);

// UTF-8 <-> UTF-16 for test expectations.
std::u16string U16(const std::string& utf8);
std::string U8(std::u16string_view utf16);

}  // namespace nwtest
