// Find field speed: a real list widget in an offscreen window with 100,000
// rows, filtered key stroke by key stroke as a find field filters it (a
// name, then a number typed with blanks and a slash, then emptied again).
// Each stroke's time includes Qt showing the result (PollEvent). Prints the
// time of opening the find field (which makes the rows' search texts), the
// slowest stroke and their median (wall-clock time, and the processor time
// of the thread, steadier on a busy machine); the goal is at most 50 ms a
// stroke.
// NW_BENCH_VERBOSE=1 prints every stroke.
// Usage: bench_find [rows]
#include "bench_support.h"
#include "ui/toolkit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int Window = 0;
constexpr int List = 15;
constexpr double GoalSeconds = 0.050;

}  // namespace

int main(int argc, char** argv)
{
    const int rowCount = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 100000;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!ui::Init(argc, argv)) {
        std::fprintf(stderr, "the toolkit could not start\n");
        return 1;
    }
    const bool ok = ui::OpenWindow(Window, 0, 0, 820, 920, u"bench", ui::WindowTitleBar, ui::NoWindow) &&
                    ui::ListView(List, 10, 10, 798, 823, u"", 25,
                                 ui::ListCheckBoxes | ui::ListMultiSelect | ui::ListShowSelectionAlways |
                                     ui::ListGridLines | ui::ListFullRowSelect);
    if (!ok) {
        std::fprintf(stderr, "the list could not be made\n");
        return 1;
    }
    ui::AddColumn(List, 1, u"Nr.", 65);
    ui::AddColumn(List, 2, u"ID", 45);
    ui::AddColumn(List, 3, u"Name", 230);
    ui::AddColumn(List, 4, u"Telefon", 410);
    for (const std::u16string& row : nwbench::GenerateRows(rowCount, u" / "))
        ui::AddItem(List, -1, row, 0);
    while (ui::PollEvent() != ui::Event::None) {
    }

    // What the find field holds after each stroke.
    std::vector<std::u16string> texts;
    for (const std::u16string& typed : {std::u16string(u"müller"), std::u16string(u"030 / 12")}) {
        for (std::size_t n = 1; n <= typed.size(); ++n)
            texts.push_back(typed.substr(0, n));
        for (std::size_t n = typed.size(); n-- > 0;)
            texts.push_back(typed.substr(0, n));
    }
    const std::vector<int> columns = {2, 3, 4};
    // Opening the find field (Ctrl+F) readies the rows.
    nwbench::Timer opening;
    ui::FilterRows(List, u"", columns);
    ui::PollEvent();
    const double opened = opening.seconds();
    std::vector<double> strokes, cpu;
    long long shown = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        nwbench::Timer timer;
        nwbench::CpuTimer processor;
        ui::FilterRows(List, texts[i], columns);
        shown += ui::CountShownRows(List);
        const double model = timer.seconds();
        ui::PollEvent();
        strokes.push_back(timer.seconds());
        cpu.push_back(processor.seconds());
        if (std::getenv("NW_BENCH_VERBOSE"))
            std::printf("  stroke %2zu: %7d rows, %6.1f ms (filter %6.1f ms)\n", i + 1, ui::CountShownRows(List),
                        timer.seconds() * 1000, model * 1000);
    }
    const double slowest = *std::max_element(strokes.begin(), strokes.end());
    const double slowestCpu = *std::max_element(cpu.begin(), cpu.end());
    std::printf("rows %d, strokes %zu (rows shown in all %lld)\n", rowCount, texts.size(), shown);
    std::printf("opening the find field (makes the search texts) %8.1f ms\n", opened * 1000);
    std::printf("key strokes: median %8.1f ms, slowest %8.1f ms (goal %.0f ms)\n",
                nwbench::Median(strokes) * 1000, slowest * 1000, GoalSeconds * 1000);
    std::printf("processor time a stroke: median %8.1f ms, slowest %8.1f ms\n", nwbench::Median(cpu) * 1000,
                slowestCpu * 1000);
    return slowest <= GoalSeconds ? 0 : 2;
}
