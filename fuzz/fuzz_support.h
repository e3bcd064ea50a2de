#pragma once
// Pieces both fuzz targets share.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

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
