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

#include <cstdio>
#include <cstdlib>
#include <string>

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
            nwbench::ParseCounts counts;
            if (!nwbench::BareExpatParse(argv[i], &counts)) {
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
