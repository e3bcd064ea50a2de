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

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Row texts as loading builds them: "\n" Nr "\n" ID "\n" Name "\n" Telefon.
std::vector<std::u16string> MakeRows()
{
    static const char16_t* const first[] = {u"J\u00fcrgen", u"Anna", u"Bj\u00f6rn", u"K\u00e4the",
                                            u"\u00d6zlem", u"Paul", u"Grete", u"S\u00fcleyman"};
    static const char16_t* const last[] = {u"M\u00fcller", u"Sch\u00e4fer", u"Wei\u00df", u"Gro\u00df",
                                           u"Meier & S\u00f6hne", u"Kr\u00fcger", u"B\u00f6hm", u"Fu\u00df"};
    std::vector<std::u16string> rows;
    rows.reserve(Rows);
    unsigned state = 1;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    for (int i = 0; i < Rows; ++i) {
        std::u16string row = u"\n" + Ascii(std::to_string(3 + i * 11)) + u" (1)\n" + Ascii(std::to_string(i + 1)) +
                             u"\n" + first[next() % 8] + u" " + last[next() % 8] + u"\n";
        const int numbers = 1 + static_cast<int>(next() % 3);
        for (int k = 0; k < numbers; ++k) {
            if (k)
                row += u"  #  ";
            row += u"0" + Ascii(std::to_string(30 + next() % 900)) + u" " +
                   Ascii(std::to_string(1000000 + next() * 7 % 8999999));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

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

    const std::vector<std::u16string> rows = MakeRows();
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
