// Duplicates over generated phonebooks of 10,000 and 100,000 contacts with
// many duplicates (GenerateDuplicatePhonebook), each as a ratio to a bare
// Expat parse (empty handlers) of the same file, on top of loading it:
//   dupes   FindDuplicates over the loaded records, with new number keys
//   ticks   LaterDuplicates, as "Dubletten markieren" runs it
//   dedupe  MergeAllDuplicates on a copy of the records (copy not timed)
// Processor time of this thread; each run's time over the reference parse
// made just before it, the median of the runs. Below, the time per contact
// and how much of the work reached libphonenumber.
// Usage: bench_dupes [--only N]
#include "bench_core.h"
#include "bench_support.h"
#include "contacts/duplicates.h"
#include "contacts/keys.h"
#include "contacts/merge.h"
#include "phonebook/core.h"
#include "base/text.h"
#include "xml/xml.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using nwbench::CpuTimer;
using nwbench::LoadRecords;

constexpr int Runs = 5;

struct Figures {
    double mb = 0, expat = 1e9, dupes = 1e9;
    std::vector<double> dupesRatios, ticksRatios, dedupeRatios;
    std::size_t groups[3] = {0, 0, 0}, ticked = 0, merged = 0, readings = 0, distinct = 0;
};

Figures Measure(int contacts, const std::string& folder)
{
    Figures f;
    const std::string path = folder + "/dupes" + std::to_string(contacts) + ".xml";
    f.mb = nwbench::WriteBook(path, nwbench::GenerateDuplicatePhonebook(contacts));
    const RecordList records = LoadRecords(path);

    double reference = 0;
    const auto parse = [&] { reference = nwbench::TimeBareParse(path, f.expat); };
    {
        // One untimed round, so that first allocations weigh on no run.
        nwbench::BareExpatParse(path);
        NumberKeys keys("DE");
        FindDuplicates(records, nullptr, keys);
    }
    for (int run = 0; run < Runs; ++run) {
        parse();
        {
            CpuTimer t;
            NumberKeys keys("DE");
            const std::vector<DuplicateGroup> groups = FindDuplicates(records, nullptr, keys);
            const double seconds = t.seconds();
            f.dupes = std::min(f.dupes, seconds);
            f.dupesRatios.push_back(seconds / reference);
            f.groups[0] = f.groups[1] = f.groups[2] = 0;
            for (const DuplicateGroup& g : groups)
                ++f.groups[static_cast<int>(g.kind)];
            f.readings = keys.LibraryReadings();
        }
        parse();
        {
            CpuTimer t;
            NumberKeys keys("DE");
            f.ticked = LaterDuplicates(records, nullptr, keys).size();
            f.ticksRatios.push_back(t.seconds() / reference);
        }
        RecordList copy(records);
        parse();
        {
            CpuTimer t;
            NumberKeys keys("DE");
            f.merged = 0;
            for (const MergeResult& r : MergeAllDuplicates(copy, keys))
                f.merged += r.merged;
            f.dedupeRatios.push_back(t.seconds() / reference);
        }
    }
    std::size_t numbers = 0;
    for (const NodeRecord& r : records)
        numbers += r.name == u"number";
    f.distinct = numbers;
    std::filesystem::remove(path);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const nwbench::Run run = nwbench::StartRun("nw-bench-dupes", argc, argv);
    const std::string& folder = run.folder;

    std::printf("%9s %7s %8s | %8s %8s %8s | %8s %7s | %21s %7s %7s %8s\n", "contacts", "MB", "expat s", "dupes",
                "ticks", "dedupe", "dupes s", "us/c", "groups same/num/name", "ticked", "merged", "libphon");
    std::vector<double> perContact;
    for (int contacts : run.sizes) {
        const Figures f = Measure(contacts, folder);
        const double us = f.dupes / contacts * 1e6;
        perContact.push_back(us);
        std::printf("%9d %7.1f %8.4f | %7.2fx %7.2fx %7.2fx | %8.4f %7.2f | %7zu %6zu %6zu %7zu %7zu %8zu\n", contacts,
                    f.mb, f.expat, nwbench::Median(f.dupesRatios), nwbench::Median(f.ticksRatios),
                    nwbench::Median(f.dedupeRatios), f.dupes, us, f.groups[0], f.groups[1], f.groups[2], f.ticked,
                    f.merged, f.readings);
        std::printf("%9s %zu numbers, %.1f%% of them read by libphonenumber\n", "", f.distinct,
                    100.0 * static_cast<double>(f.readings) / static_cast<double>(f.distinct));
    }
    if (perContact.size() == 2)
        std::printf("dupes per contact at 100,000 over 10,000: %.2f (1.00 is linear)\n", perContact[1] / perContact[0]);
    std::printf("goal: dupes <= 5x, linear from 10,000 to 100,000\n");
    std::filesystem::remove_all(folder);
    XmlLibraryShutdown();
    return 0;
}
