#pragma once
// What the timing programs of the contact features share: the set-up of a
// run and a phonebook loaded as "Laden" reads it, without the formatted copy.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text.h"
#include "contacts/records.h"
#include "phonebook/core.h"
#include "xml/xml.h"
#include "bench_support.h"

namespace nwbench {

struct Run {
    std::string folder;      // for the generated books
    std::vector<int> sizes;  // contacts per book: 10,000 and 100,000, or "--only N"
};

inline Run StartRun(const char* name, int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    XmlLibraryInit();
    Run run{(std::filesystem::temp_directory_path() / name).string(), {10000, 100000}};
    std::filesystem::create_directories(run.folder);
    if (argc == 3 && std::string(argv[1]) == "--only")
        run.sizes = {std::atoi(argv[2])};
    return run;
}

// Writes a generated book to path; returns its size in MB.
inline double WriteBook(const std::string& path, const std::string& bytes)
{
    WriteFile(path, bytes);
    return static_cast<double>(bytes.size()) / 1e6;
}

// The reference of one run: a bare parse of path, in processor seconds;
// best keeps the fastest so far.
inline double TimeBareParse(const std::string& path, double& best)
{
    CpuTimer t;
    if (!BareExpatParse(path))
        std::fprintf(stderr, "bare parse failed\n");
    const double seconds = t.seconds();
    best = std::min(best, seconds);
    return seconds;
}

inline RecordList LoadRecords(const std::string& path)
{
    RecordList records;
    std::u16string name;
    if (!XmlLoadFile(0, Utf8ToUtf16(path)) || XmlStatus(0) != 0)
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
    XmlFormat(0, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
    FlattenDocument(XmlMainNode(0), u" (1)", records, name, {});
    XmlFreeDocument(0);
    return records;
}

}  // namespace nwbench
