// Helper of the process benchmarks (bench_cli, bench_window_load.sh); links
// neither Qt nor the project's libraries, so that its own start costs what
// any small program's does.
//
//   bench_books generate N FILE [SEED]   writes a generated book of N contacts
//   bench_books expat FILE...            the reference: a bare Expat parse of
//                                        each file, read in 16 KiB pieces into
//                                        Expat's buffer, with handlers that
//                                        only count; prints the counts
#include "bench_support.h"

#include <expat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Counts {
    unsigned long long elements = 0, attributes = 0, characters = 0;
};

void XMLCALL CountStart(void* data, const XML_Char*, const XML_Char** attributes)
{
    auto* counts = static_cast<Counts*>(data);
    ++counts->elements;
    for (int i = 0; attributes[i]; i += 2)
        ++counts->attributes;
}

void XMLCALL CountEnd(void*, const XML_Char*) {}

void XMLCALL CountText(void* data, const XML_Char*, int length)
{
    static_cast<Counts*>(data)->characters += static_cast<unsigned long long>(length);
}

bool CountingParse(const char* path, Counts& counts)
{
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &counts);
    XML_SetElementHandler(parser, CountStart, CountEnd);
    XML_SetCharacterDataHandler(parser, CountText);
    bool ok = true;
    for (;;) {
        void* buffer = XML_GetBuffer(parser, 16384);
        const std::size_t got = buffer ? std::fread(buffer, 1, 16384, f) : 0;
        const bool last = got < 16384;
        if (!buffer || XML_ParseBuffer(parser, static_cast<int>(got), last) != XML_STATUS_OK) {
            ok = false;
            break;
        }
        if (last)
            break;
    }
    XML_ParserFree(parser);
    std::fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && (argc == 4 || argc == 5)) {
        const int contacts = std::atoi(argv[2]);
        const unsigned seed = argc == 5 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : 1;
        return contacts > 0 && nwbench::WriteFile(argv[3], nwbench::GeneratePhonebook(contacts, seed)) ? 0 : 1;
    }
    if (mode == "expat" && argc > 2) {
        for (int i = 2; i < argc; ++i) {
            Counts counts;
            if (!CountingParse(argv[i], counts)) {
                std::fprintf(stderr, "%s: not parsed\n", argv[i]);
                return 1;
            }
            std::printf("%s: %llu elements, %llu attributes, %llu characters\n", argv[i], counts.elements,
                        counts.attributes, counts.characters);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: bench_books generate N FILE [SEED] | expat FILE...\n");
    return 2;
}
