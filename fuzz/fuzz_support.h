#pragma once
// Pieces both fuzz targets share.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

// Writes the input bytes to path; false when the file could not be written whole.
inline bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// A path in the scratch folder, which is ASCII, as the library takes it.
inline std::u16string Utf16Path(const std::string& path)
{
    return std::u16string(path.begin(), path.end());
}

// A scratch folder for a fuzz target's files (in.xml, out.xml), made once and
// removed at exit. It lies in memory where possible, since every save syncs
// its file to disk.
inline const std::string& FuzzScratchDirectory(const char* target)
{
    static const std::string dir = [target] {
        std::string shm = std::string("/dev/shm/") + target + "-XXXXXX";
        std::string tmp = std::string("/tmp/") + target + "-XXXXXX";
        const char* made = ::mkdtemp(shm.data());
        if (!made)
            made = ::mkdtemp(tmp.data());
        if (!made) {
            std::fprintf(stderr, "%s: no temporary directory\n", target);
            std::abort();
        }
        return std::string(made);
    }();
    // Registered after dir is made, so it runs before dir is destroyed.
    static const bool cleanup = std::atexit([] {
        ::unlink((dir + "/in.xml").c_str());
        ::unlink((dir + "/out.xml").c_str());
        ::rmdir(dir.c_str());
    }) == 0;
    (void)cleanup;
    return dir;
}
