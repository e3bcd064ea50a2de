#pragma once
// Small helpers shared by the test executables.
#include <filesystem>
#include <string>

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

// UTF-8 <-> UTF-16 for test expectations.
std::u16string U16(const std::string& utf8);
std::string U8(std::u16string_view utf16);

}  // namespace nwtest
