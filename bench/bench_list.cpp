// Contact list speed: fills a real list widget in an offscreen window with
// 100,000 rows, reads every Nr. cell back and clears it, and sets each time
// beside loading the same texts into a plain vector. Best of three runs.
// Usage: bench_list [rows]
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
int Rows = 100000;  // or the first argument
constexpr int Runs = 3;

struct Figures {
    double fill = 1e9;
    double fillShown = 1e9;
    double read = 1e9;
    double clear = 1e9;
    double mark = 1e9;
    double tick = 1e9;
    double remove = 1e9;
    double vectorFill = 1e9;
    double vectorRead = 1e9;
    double vectorClear = 1e9;
};

void Report(const char* what, double list, double plain)
{
    std::printf("%-28s %9.4f s   vector %9.4f s   ratio %7.1f\n", what, list, plain, plain > 0 ? list / plain : 0.0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::atoi(argv[1]) > 0)
        Rows = std::atoi(argv[1]);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!ui::Init(argc, argv)) {
        std::fprintf(stderr, "the toolkit could not start\n");
        return 1;
    }
    const bool ok = ui::OpenWindow(Window, 0, 0, 1630, 920, u"bench", ui::WindowTitleBar | ui::WindowScreenCentred,
                                   ui::NoWindow) &&
                    ui::Container(0, 10, 10, 800, 900, ui::ContainerFlatBorder) &&
                    ui::ListView(List, 0, 75, 798, 823, u"", 25,
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
    ui::CloseContainerList();
    while (ui::PollEvent() != ui::Event::None) {
    }

    const std::vector<std::u16string> rows = nwbench::GenerateRows(Rows, u" ");
    Figures best;
    std::size_t checksum = 0;
    for (int run = 0; run < Runs; ++run) {
        nwbench::Timer timer;
        for (int i = 0; i < Rows; ++i)
            ui::AddItem(List, -1, rows[static_cast<std::size_t>(i)], static_cast<std::uint64_t>(i));
        best.fill = std::min(best.fill, timer.seconds());
        // Qt hears of the rows and lays out and paints what it shows, as it
        // would on screen.
        ui::PollEvent();
        best.fillShown = std::min(best.fillShown, timer.seconds());

        timer.restart();
        const int count = ui::CountItems(List);
        for (int i = 0; i < count; ++i)
            checksum += ui::GetItemText(List, i, 1).size();
        best.read = std::min(best.read, timer.seconds());

        // What "A +" and "Löschen" do: mark every row, tick the marked rows
        // (which removes their mark), then remove every second row from the
        // last one down. Each time includes showing the result (PollEvent).
        timer.restart();
        for (int i = 0; i < count; ++i)
            ui::SetItemState(List, i, ui::RowSelected);
        ui::PollEvent();
        best.mark = std::min(best.mark, timer.seconds());
        timer.restart();
        for (int i = 0; i < count; ++i)
            if (ui::GetItemState(List, i) & ui::RowSelected)
                ui::SetItemState(List, i, ui::RowTicked);
        ui::PollEvent();
        best.tick = std::min(best.tick, timer.seconds());
        timer.restart();
        for (int i = count - 1; i >= 0; i -= 2)
            ui::RemoveItem(List, i);
        ui::PollEvent();
        best.remove = std::min(best.remove, timer.seconds());

        timer.restart();
        ui::ClearItems(List);
        best.clear = std::min(best.clear, timer.seconds());
        ui::PollEvent();

        timer.restart();
        std::vector<std::u16string> plain;
        for (int i = 0; i < Rows; ++i)
            plain.push_back(rows[static_cast<std::size_t>(i)]);
        best.vectorFill = std::min(best.vectorFill, timer.seconds());

        timer.restart();
        for (const auto& row : plain) {
            const std::size_t start = row.find(u'\n') + 1;
            checksum += row.substr(start, row.find(u'\n', start) - start).size();
        }
        best.vectorRead = std::min(best.vectorRead, timer.seconds());

        timer.restart();
        plain.clear();
        plain.shrink_to_fit();
        best.vectorClear = std::min(best.vectorClear, timer.seconds());
    }

    std::printf("%d rows, best of %d runs (checksum %zu)\n", Rows, Runs, checksum);
    Report("fill the list", best.fill, best.vectorFill);
    Report("fill the list, shown", best.fillShown, best.vectorFill);
    Report("read every Nr. cell", best.read, best.vectorRead);
    Report("clear the list (half full)", best.clear, best.vectorClear);
    std::printf("%-28s %9.4f s\n", "select every row, shown", best.mark);
    std::printf("%-28s %9.4f s\n", "tick the selected, shown", best.tick);
    std::printf("%-28s %9.4f s\n", "remove every 2nd row, shown", best.remove);
    std::printf("goal: fill under 0.2 s -> %s\n", best.fillShown < 0.2 ? "met" : "missed");
    std::printf("peak memory %.1f MiB\n", static_cast<double>(nwbench::PeakRss()) / (1024.0 * 1024.0));
    ui::Shutdown();
    return 0;
}
