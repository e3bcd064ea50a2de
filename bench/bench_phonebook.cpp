// Phonebook operations on generated phonebooks of 10,000 and 100,000
// contacts, each as a ratio to a bare Expat parse (empty handlers) of the
// same file:
//   load core   parse, format 0x58, flatten, format 0x80, formatted copy,
//               free, panel copy of the records, rows built
//   + list      the whole LoadPhonebook, list widget filled (offscreen Qt)
//   move        TickMarkedRows with every row marked, then MoveContacts of
//               all contacts to panel 2
//   save        SavePhonebook of panel 2
// Best of five runs each, as processor time of this thread (steadier than
// wall-clock time on a busy machine), over the best reference parse; below
// that, the median of each run's ratio to the reference parse made just
// before it. Peak memory of one LoadPhonebook as a multiple of the file size.
#include "base/text.h"
#include "bench_support.h"
#include "phonebook/core.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "tests/phonebook_checks.h"
#include "ui/toolkit.h"
#include "xml/xml.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using nwbench::BareExpatParse;
using nwbench::CpuTimer;
using nwbench::Median;

constexpr int Runs = 5;

void MakePanel(int panel, int x)
{
    const auto w = [panel](PanelWidget widget) { return PanelWidgetNumber(panel, widget); };
    ui::TextLabel(w(CountLabelWidget), x + 380, 40, 100, 20, u" Anz.: 0", 0);
    ui::TextField(w(NameFieldWidget), x + 60, 100, 400, 20, u"", 0);
    ui::TextField(w(FileFieldWidget), x + 60, 125, 400, 20, u"", 0);
    const int list = w(ContactListWidget);
    ui::ListView(list, x + 10, 180, 780, 700, u"", 25,
                 ui::ListCheckBoxes | ui::ListMultiSelect | ui::ListShowSelectionAlways | ui::ListGridLines |
                     ui::ListFullRowSelect);
    ui::AddColumn(list, 1, u"Nr.", 65);
    ui::AddColumn(list, 2, u"ID", 45);
    ui::AddColumn(list, 3, u"Name", 230);
    ui::AddColumn(list, 4, u"Telefon", 410);
}

// Seconds of each step of the load core, in order.
constexpr int Steps = 8;
const char* const StepNames[Steps] = {"parse", "fmt 0x58", "flatten",    "fmt 0x80",
                                      "copy save", "free", "panel copy", "rows"};

// The load as LoadPhonebook does it, without widgets.
void LoadCore(const std::u16string& path, RecordList& scratch, RecordList& panel, double (&steps)[Steps])
{
    // The lists come in empty, as the timed LoadPhonebook runs start from
    // empty panels too.
    CpuTimer t;
    int step = 0;
    const auto lap = [&] {
        steps[step] = std::min(steps[step], t.seconds());
        ++step;
        t.restart();
    };
    std::u16string name = u"Unbekannt";
    XmlLoadFile(0, path);
    lap();
    XmlFormat(0, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
    lap();
    FlattenDocument(XmlMainNode(0), u" (1)", scratch, name, {});
    lap();
    XmlFormat(0, XmlFormatReformat, 3);
    lap();
    XmlSaveFile(0, path + u"_Formatiert.xml");
    lap();
    XmlFreeDocument(0);
    lap();
    panel.CopyFrom(scratch);
    lap();
    // The row texts as LoadPhonebook makes them for the list.
    std::size_t chars = 0;
    std::u16string text;
    ForEachContactRow(panel, [&](RecordList::Node*, std::u16string_view nr, std::u16string_view id,
                                 std::u16string_view name, std::u16string_view telefon) {
        AssignRowText(text, nr, id, name, telefon);
        chars += text.size();
    });
    lap();
    if (chars == 0)
        std::fprintf(stderr, "no rows\n");
}

struct Figures {
    double expat = 1e9, core = 1e9, load = 1e9, move = 1e9, save = 1e9;
    // Each run's time over the reference parse measured just before it.
    std::vector<double> coreRatios, loadRatios, moveRatios, saveRatios;
    double steps[Steps] = {1e9, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9};
    double saveSteps[4] = {1e9, 1e9, 1e9, 1e9};  // build, format 0x80, format 0x02, write
};

Figures Measure(int contacts, const std::string& folder)
{
    Figures f;
    const std::string path = folder + "/gen" + std::to_string(contacts) + ".xml";
    const std::string bytes = nwbench::GeneratePhonebook(contacts);
    nwbench::WriteFile(path, bytes);
    const std::u16string path16 = Utf8ToUtf16(path);

    // The reference is measured once before every timed run, so that a
    // stretch of a busy machine weighs on both sides of the ratio alike.
    double lastReference = 0;
    const auto reference = [&] {
        CpuTimer t;
        if (!BareExpatParse(path))
            std::fprintf(stderr, "bare parse failed\n");
        lastReference = t.seconds();
        f.expat = std::min(f.expat, lastReference);
    };
    {
        RecordList scratch, panel;
        // One untimed round first: the process's first large allocations and
        // a cold cache would otherwise weigh on the first timed runs only.
        {
            double ignored[Steps] = {};
            BareExpatParse(path);
            LoadCore(path16, scratch, panel, ignored);
        }
        for (int run = 0; run < Runs; ++run) {
            scratch.Clear();
            panel.Clear();
            reference();
            CpuTimer t;
            LoadCore(path16, scratch, panel, f.steps);
            f.core = std::min(f.core, t.seconds());
            f.coreRatios.push_back(t.seconds() / lastReference);
        }
    }

    for (int run = 0; run < Runs; ++run) {
        PhonebookInit();
        for (int panel = 1; panel <= 2; ++panel)
            ui::ClearItems(PanelWidgetNumber(panel, ContactListWidget));
        NewPhonebook(2);
        ui::SetText(PanelWidgetNumber(2, FileFieldWidget), Utf8ToUtf16(folder + "/ziel"));

        ui::SetNextOpenFileAnswer(path16);
        reference();
        CpuTimer t;
        LoadPhonebook(1);
        f.load = std::min(f.load, t.seconds());
        f.loadRatios.push_back(t.seconds() / lastReference);

        const int list = PanelWidgetNumber(1, ContactListWidget);
        const int rows = ui::CountItems(list);
        if (rows != contacts)
            std::fprintf(stderr, "%d rows for %d contacts\n", rows, contacts);
        for (int i = 0; i < rows; ++i)
            ui::SetItemState(list, i, ui::RowSelected);
        t.restart();
        TickMarkedRows(1);
        MoveContacts(1);
        f.move = std::min(f.move, t.seconds());
        f.moveRatios.push_back(t.seconds() / lastReference);
        if (ui::CountItems(PanelWidgetNumber(2, ContactListWidget)) != contacts || !PanelRowsInStep(2))
            std::fprintf(stderr, "move went wrong\n");

        t.restart();
        SavePhonebook(2);
        f.save = std::min(f.save, t.seconds());
        f.saveRatios.push_back(t.seconds() / lastReference);

        // The same save step by step.
        t.restart();
        XmlCreateDocument(0, XmlEncoding::Utf8);
        BuildPhonebookDocument(0, Panel(2).records, u"Neu");
        f.saveSteps[0] = std::min(f.saveSteps[0], t.seconds());
        t.restart();
        XmlFormat(0, XmlFormatReformat, 3);
        f.saveSteps[1] = std::min(f.saveSteps[1], t.seconds());
        t.restart();
        XmlFormat(0, XmlFormatLf, 3);
        f.saveSteps[2] = std::min(f.saveSteps[2], t.seconds());
        t.restart();
        XmlSaveFile(0, Utf8ToUtf16(folder + "/ziel_NEU.xml"));
        f.saveSteps[3] = std::min(f.saveSteps[3], t.seconds());
        XmlFreeDocument(0);
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + "_Formatiert.xml");
    std::filesystem::remove(folder + "/ziel_NEU.xml");
    return f;
}

// Peak memory of one LoadPhonebook, above what the process held before it,
// as a multiple of the file size. Runs in a fresh process so that memory
// kept by earlier measurements does not hide it.
double PeakOfOneLoad(int contacts, const std::string& folder)
{
    const std::string path = folder + "/peak" + std::to_string(contacts) + ".xml";
    std::size_t size = 0;
    {
        const std::string bytes = nwbench::GeneratePhonebook(contacts);
        size = bytes.size();
        nwbench::WriteFile(path, bytes);
    }
    const std::size_t before = nwbench::CurrentRss();
    nwbench::ResetPeakRss();
    ui::SetNextOpenFileAnswer(Utf8ToUtf16(path));
    LoadPhonebook(1);
    const std::size_t peak = nwbench::PeakRss();
    std::filesystem::remove(path);
    std::filesystem::remove(path + "_Formatiert.xml");
    return peak > before ? static_cast<double>(peak - before) / static_cast<double>(size) : 0.0;
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    XmlLibraryInit();
    if (!ui::Init(argc, argv)) {
        std::fprintf(stderr, "the toolkit could not start\n");
        return 1;
    }
    ui::OpenWindow(0, 0, 0, 1600, 900, u"bench", ui::WindowTitleBar, ui::NoWindow);
    MakePanel(1, 0);
    MakePanel(2, 800);
    ui::RecordMessageBoxes(true);
    PhonebookInit();

    const std::string folder = (std::filesystem::temp_directory_path() / "nw-bench-phonebook").string();
    std::filesystem::create_directories(folder);

    // "--peak N": one load of N contacts in this process, print the multiple.
    if (argc == 3 && std::string(argv[1]) == "--peak") {
        std::printf("%.2f\n", PeakOfOneLoad(std::atoi(argv[2]), folder));
        return 0;
    }
    std::vector<int> sizes{10000, 100000};
    if (argc == 3 && std::string(argv[1]) == "--only")
        sizes = {std::atoi(argv[2])};

    std::printf("%9s %9s %9s | %9s %9s %9s %9s | %6s\n", "contacts", "MB", "expat s", "core", "core+list", "move",
                "save", "peak");
    for (int contacts : sizes) {
        const Figures f = Measure(contacts, folder);
        const double mb = static_cast<double>(nwbench::GeneratePhonebook(contacts).size()) / 1e6;
        double peak = 0;
        const std::string command = std::string(argv[0]) + " --peak " + std::to_string(contacts);
        if (std::FILE* p = popen(command.c_str(), "r")) {
            if (std::fscanf(p, "%lf", &peak) != 1)
                peak = 0;
            pclose(p);
        }
        std::printf("%9d %9.1f %9.4f | %8.2fx %8.2fx %8.2fx %8.2fx | %5.1fx\n", contacts, mb, f.expat,
                    f.core / f.expat, f.load / f.expat, f.move / f.expat, f.save / f.expat, peak);
        std::printf("%9s %9s %9s | %8.3fs %8.3fs %8.3fs %8.3fs |\n", "", "", "", f.core, f.load, f.move, f.save);
        std::printf("%19s median | %8.2fx %8.2fx %8.2fx %8.2fx |\n", "", Median(f.coreRatios),
                    Median(f.loadRatios), Median(f.moveRatios), Median(f.saveRatios));
        std::printf("%9s core steps:", "");
        for (int i = 0; i < Steps; ++i)
            std::printf(" %s %.3f", StepNames[i], f.steps[i]);
        std::printf("\n%9s save steps: build %.3f fmt 0x80 %.3f fmt 0x02 %.3f write %.3f\n", "", f.saveSteps[0],
                    f.saveSteps[1], f.saveSteps[2], f.saveSteps[3]);
    }
    std::printf("goals: core <= 2.5x, core+list <= 3x, move <= 0.5x, save <= 1.5x\n");
    std::filesystem::remove_all(folder);
    ui::Shutdown();
    XmlLibraryShutdown();
    return 0;
}
