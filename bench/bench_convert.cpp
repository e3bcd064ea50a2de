// Conversion of generated phonebooks of 10,000 and 100,000 contacts
// (GeneratePhonebook) to vCard and CSV and back, in one process as a
// command-line convert does it, each as a ratio to a bare Expat parse (empty
// handlers) of the XML file:
//   xml>vcf   load (parse, format 0x58, flatten, free), every contact written
//             as vCard, the file written atomically
//   vcf>xml   the vCard file read and imported into records
//   +save     and the book saved as "Speichern" saves it (build, format
//             0x80 and 0x02, write)
//   xml>csv, csv>xml   the same with CSV
// Processor time of this thread; each run's time over the reference parse
// made just before it, the median of the runs; below, the best seconds of
// each step.
// Usage: bench_convert [--only N]
#include "base/atomic_file.h"
#include "base/text.h"
#include "bench_core.h"
#include "bench_support.h"
#include "contacts/exchange.h"
#include "phonebook/core.h"
#include "xml/xml.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nwbench::CpuTimer;
using nwbench::LoadRecords;

constexpr int Runs = 5;

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Save(const RecordList& records, const std::string& path)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    if (!BuildPhonebookDocument(0, records, u"Kontakte"))
        std::fprintf(stderr, "cannot build the document\n");
    XmlFormat(0, XmlFormatReformat, 3);
    XmlFormat(0, XmlFormatLf, 3);
    if (XmlSaveFile(0, Utf8ToUtf16(path)) == 0)
        std::fprintf(stderr, "cannot save %s\n", path.c_str());
    XmlFreeDocument(0);
}

// Best seconds of the steps of one direction, and each run's ratio.
struct Direction {
    double steps[3] = {1e9, 1e9, 1e9};
    std::vector<double> ratios, savedRatios;
};

struct Figures {
    double mb = 0, expat = 1e9;
    std::size_t outBytes[2] = {0, 0};
    Direction out[2], in[2];  // [0] vCard, [1] CSV
};

Figures Measure(int contacts, const std::string& folder)
{
    Figures f;
    const std::string xml = folder + "/book" + std::to_string(contacts) + ".xml";
    f.mb = nwbench::WriteBook(xml, nwbench::GeneratePhonebook(contacts));
    double reference = 0;
    const auto parse = [&] { reference = nwbench::TimeBareParse(xml, f.expat); };
    const ExchangeFormat formats[] = {ExchangeFormat::VCard, ExchangeFormat::Csv};
    const std::string files[] = {folder + "/book.vcf", folder + "/book.csv"};
    // One untimed round, so that first allocations weigh on no run.
    nwbench::BareExpatParse(xml);
    LoadRecords(xml);

    for (int run = 0; run < Runs; ++run) {
        for (int k = 0; k < 2; ++k) {
            Direction& out = f.out[k];
            parse();
            CpuTimer t, total;
            const RecordList records = LoadRecords(xml);
            out.steps[0] = std::min(out.steps[0], t.seconds());
            t.restart();
            const std::string bytes = ExportContacts(formats[k], ContactNodes(records));
            out.steps[1] = std::min(out.steps[1], t.seconds());
            t.restart();
            if (!WriteFileAtomically(files[k], bytes))
                std::fprintf(stderr, "cannot write %s\n", files[k].c_str());
            out.steps[2] = std::min(out.steps[2], t.seconds());
            out.ratios.push_back(total.seconds() / reference);
            f.outBytes[k] = bytes.size();

            Direction& in = f.in[k];
            parse();
            t.restart();
            total.restart();
            const ImportedBook book = ImportContacts(formats[k], ReadBytes(files[k]), u"Kontakte", u" (1)");
            in.steps[0] = std::min(in.steps[0], t.seconds());
            in.ratios.push_back(total.seconds() / reference);
            if (book.report.read != static_cast<std::size_t>(contacts) || !book.report.skipped.empty())
                std::fprintf(stderr, "%zu contacts read back\n", book.report.read);
            t.restart();
            Save(book.records, folder + "/back.xml");
            in.steps[1] = std::min(in.steps[1], t.seconds());
            in.savedRatios.push_back(total.seconds() / reference);
        }
    }
    for (const std::string& file : {xml, files[0], files[1], folder + "/back.xml"})
        std::filesystem::remove(file);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const nwbench::Run run = nwbench::StartRun("nw-bench-convert", argc, argv);
    const std::string& folder = run.folder;

    std::printf("%9s %6s %8s | %8s %8s %8s | %8s %8s %8s\n", "contacts", "MB", "expat s", "xml>vcf", "vcf>xml",
                "+save", "xml>csv", "csv>xml", "+save");
    for (int contacts : run.sizes) {
        const Figures f = Measure(contacts, folder);
        using nwbench::Median;
        std::printf("%9d %6.1f %8.4f | %7.2fx %7.2fx %7.2fx | %7.2fx %7.2fx %7.2fx\n", contacts, f.mb, f.expat,
                    Median(f.out[0].ratios), Median(f.in[0].ratios), Median(f.in[0].savedRatios),
                    Median(f.out[1].ratios), Median(f.in[1].ratios), Median(f.in[1].savedRatios));
        for (int k = 0; k < 2; ++k)
            std::printf("%9s %s %.1f MB: load %.3f s, export %.3f s, write %.3f s; import %.3f s, save %.3f s\n", "",
                        k == 0 ? "vCard" : "CSV  ", static_cast<double>(f.outBytes[k]) / 1e6, f.out[k].steps[0],
                        f.out[k].steps[1], f.out[k].steps[2], f.in[k].steps[0], f.in[k].steps[1]);
    }
    std::printf("goal: xml>vcf <= 4x, vcf>xml <= 4x\n");
    std::filesystem::remove_all(folder);
    XmlLibraryShutdown();
    return 0;
}
