// Loading, formatting, saving and freeing a large phonebook, against a bare
// Expat parse of the same file.
//
// For each size: (a) Expat with empty handlers over the file, read in the
// same 16384-byte chunks; (b) XmlLoadFile; (c) XmlFormat 0x58; (d) XmlFormat
// 0x80 step 3; (e) XmlSaveFile; (f) XmlFreeDocument; and, after (c), (g)
// the save that lays the document out as (d) would, leaving it as it is (the
// formatted copy a load writes). Each time is the best
// of a few runs, as processor time of this thread (steadier than wall-clock
// time on a busy machine) and as wall-clock time; ratios are of processor
// times. Peak memory is the growth of the resident set over a run of (b) to
// (e), as a multiple of the file size.
//
// Usage: bench_xml [contacts...]   (default 10000 100000)
#include "bench_support.h"
#include "xml/xml.h"

#include <expat.h>
#include <malloc.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::u16string Utf16Path(const std::string& path)
{
    // Temporary paths are ASCII.
    return std::u16string(path.begin(), path.end());
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

// Parses the file with Expat and empty handlers; false on any failure.
bool BareExpat(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetElementHandler(p, NoStart, NoEnd);
    XML_SetCharacterDataHandler(p, NoText);
    bool ok = true;
    for (;;) {
        void* buf = XML_GetBuffer(p, 16384);
        if (!buf) {
            ok = false;
            break;
        }
        std::size_t n = std::fread(buf, 1, 16384, f);
        bool last = n < 16384;
        if (XML_ParseBuffer(p, static_cast<int>(n), last) != XML_STATUS_OK) {
            ok = false;
            break;
        }
        if (last)
            break;
    }
    XML_ParserFree(p);
    std::fclose(f);
    return ok;
}

// Processor time of the calling thread, user and system, in seconds.
double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Both clocks at once.
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart()
    {
        wall_.restart();
        cpu_ = ThreadSeconds();
    }
    void stop(double& cpu, double& wall) const
    {
        cpu = ThreadSeconds() - cpu_;
        wall = wall_.seconds();
    }

private:
    nwbench::Timer wall_;
    double cpu_ = 0;
};

constexpr int kStepCount = 7;

struct Times {
    double t[kStepCount];     // processor time
    double wall[kStepCount];  // wall-clock time
};

const char* const kSteps[kStepCount] = {"(a) Expat, empty handlers", "(b) XmlLoadFile", "(c) XmlFormat 0x58",
                                        "(d) XmlFormat 0x80, 3",     "(e) XmlSaveFile", "(f) XmlFreeDocument",
                                        "(g) save laid out as (d)"};

bool RunOnce(const std::string& in, const std::string& out, Times& times)
{
    Stopwatch watch;
    if (!BareExpat(in))
        return false;
    watch.stop(times.t[0], times.wall[0]);

    watch.restart();
    if (!XmlLoadFile(0, Utf16Path(in)) || XmlStatus(0) != 0)
        return false;
    watch.stop(times.t[1], times.wall[1]);

    watch.restart();
    XmlFormat(0, 0x58);
    watch.stop(times.t[2], times.wall[2]);

    watch.restart();
    if (!XmlSaveFileEx(0, Utf16Path(out), XmlSaveReformatted(3)))
        return false;
    watch.stop(times.t[6], times.wall[6]);

    watch.restart();
    XmlFormat(0, 0x80, 3);
    watch.stop(times.t[3], times.wall[3]);

    watch.restart();
    if (!XmlSaveFile(0, Utf16Path(out)))
        return false;
    watch.stop(times.t[4], times.wall[4]);

    watch.restart();
    XmlFreeDocument(0);
    watch.stop(times.t[5], times.wall[5]);
    return true;
}

// Resident-set growth of loading, formatting and saving once, from a fresh
// library (empty node pool) and a trimmed heap.
double PeakGrowth(const std::string& in, const std::string& out)
{
    XmlLibraryShutdown();
    malloc_trim(0);
    XmlLibraryInit();
    std::size_t base = nwbench::CurrentRss();
    if (!nwbench::ResetPeakRss())
        return -1;
    bool ok = XmlLoadFile(0, Utf16Path(in)) != nullptr;
    XmlFormat(0, 0x58);
    XmlFormat(0, 0x80, 3);
    ok = ok && XmlSaveFile(0, Utf16Path(out));
    std::size_t peak = nwbench::PeakRss();
    XmlFreeDocument(0);
    if (!ok || peak < base)
        return -1;
    return static_cast<double>(peak - base);
}

int Bench(int contacts, const std::filesystem::path& dir)
{
    const std::string in = (dir / ("phonebook-" + std::to_string(contacts) + ".xml")).string();
    const std::string out = (dir / ("phonebook-" + std::to_string(contacts) + "_out.xml")).string();
    std::size_t size;
    {
        std::string bytes = nwbench::GeneratePhonebook(contacts);
        size = bytes.size();
        if (!nwbench::WriteFile(in, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", in.c_str());
            return 1;
        }
    }
    const int runs = contacts <= 20000 ? 7 : 3;
    Times best{};
    std::fill(std::begin(best.t), std::end(best.t), 1e30);
    std::fill(std::begin(best.wall), std::end(best.wall), 1e30);
    for (int r = 0; r < runs; ++r) {
        Times t{};
        if (!RunOnce(in, out, t)) {
            std::fprintf(stderr, "run failed for %d contacts\n", contacts);
            return 1;
        }
        for (int i = 0; i < kStepCount; ++i) {
            best.t[i] = std::min(best.t[i], t.t[i]);
            best.wall[i] = std::min(best.wall[i], t.wall[i]);
        }
    }
    double growth = PeakGrowth(in, out);

    std::printf("%d contacts, %.1f MB file, best of %d runs\n", contacts, size / 1e6, runs);
    std::printf("  %-28s %9s  %10s  %s\n", "", "cpu", "ratio", "wall");
    double sum = 0, wallSum = 0;
    for (int i = 0; i < 6; ++i) {
        std::printf("  %-28s %6.1f ms  %5.2f x (a)  %6.1f ms\n", kSteps[i], best.t[i] * 1e3, best.t[i] / best.t[0],
                    best.wall[i] * 1e3);
        if (i > 0) {
            sum += best.t[i];
            wallSum += best.wall[i];
        }
    }
    std::printf("  %-28s %6.1f ms  %5.2f x (a)  %6.1f ms  (goal: at most 2.0 x (a))\n", "(b) to (f) together",
                sum * 1e3, sum / best.t[0], wallSum * 1e3);
    std::printf("  %-28s %6.1f ms  %5.2f x (a)  %6.1f ms  (%.2f x (d) and (e))\n", kSteps[6], best.t[6] * 1e3,
                best.t[6] / best.t[0], best.wall[6] * 1e3, best.t[6] / (best.t[3] + best.t[4]));
    if (growth >= 0)
        std::printf("  peak memory of (b) to (e)    %9.1f MB  %5.2f x file size   (goal: at most 6)\n",
                    growth / 1e6, growth / static_cast<double>(size));
    else
        std::printf("  peak memory: not measurable here\n");
    std::remove(in.c_str());
    std::remove(out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<int> sizes = nwbench::BookSizes(argc, argv);
    XmlLibraryInit();
    std::filesystem::path dir = std::filesystem::temp_directory_path();
    int rc = 0;
    for (int contacts : sizes)
        if (contacts > 0)
            rc |= Bench(contacts, dir);
    XmlLibraryShutdown();
    return rc;
}
