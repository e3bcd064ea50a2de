// "Prüfen" over generated phonebooks of 10,000 and 100,000 contacts
// (GeneratePhonebook), each as a ratio to a bare Expat parse (empty
// handlers) of the same file, on top of loading it:
//   check  CheckBook over the loaded records
//   index  CheckIndex over them, as editing a contact builds it
// Processor time of this thread; each run's time over the reference parse
// made just before it, the median of the runs. Below, the time per contact.
// Usage: bench_check [--only N]
#include "bench_core.h"
#include "bench_support.h"
#include "base/text.h"
#include "contacts/checks.h"
#include "phonebook/core.h"
#include "xml/xml.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using nwbench::CpuTimer;
using nwbench::LoadRecords;

constexpr int Runs = 7;

struct Figures {
    double mb = 0, expat = 1e9, check = 1e9;
    std::vector<double> checkRatios, indexRatios;
    std::size_t findings = 0;
};

Figures Measure(int contacts, const std::string& folder)
{
    Figures f;
    const std::string path = folder + "/check" + std::to_string(contacts) + ".xml";
    f.mb = nwbench::WriteBook(path, nwbench::GeneratePhonebook(contacts));
    const RecordList records = LoadRecords(path);

    double reference = 0;
    const auto parse = [&] { reference = nwbench::TimeBareParse(path, f.expat); };
    // One untimed round, so that first allocations weigh on no run.
    nwbench::BareExpatParse(path);
    CheckBook(records);
    for (int run = 0; run < Runs; ++run) {
        parse();
        {
            CpuTimer t;
            f.findings = CheckBook(records).size();
            const double seconds = t.seconds();
            f.check = std::min(f.check, seconds);
            f.checkRatios.push_back(seconds / reference);
        }
        parse();
        {
            CpuTimer t;
            const CheckIndex index(records);
            f.indexRatios.push_back(t.seconds() / reference);
        }
    }
    std::filesystem::remove(path);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const nwbench::Run run = nwbench::StartRun("nw-bench-check", argc, argv);
    const std::string& folder = run.folder;

    std::printf("%9s %7s %8s | %8s %8s | %8s %7s | %8s\n", "contacts", "MB", "expat s", "check", "index", "check s",
                "us/c", "findings");
    for (int contacts : run.sizes) {
        const Figures f = Measure(contacts, folder);
        std::printf("%9d %7.1f %8.4f | %7.2fx %7.2fx | %8.4f %7.3f | %8zu\n", contacts, f.mb, f.expat,
                    nwbench::Median(f.checkRatios), nwbench::Median(f.indexRatios), f.check, f.check / contacts * 1e6,
                    f.findings);
    }
    std::printf("goal: check <= 0.5x\n");
    std::filesystem::remove_all(folder);
    XmlLibraryShutdown();
    return 0;
}
