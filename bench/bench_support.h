#pragma once
// Shared pieces of the timing programs.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nwbench {

class Timer {
public:
    Timer() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    void restart() { start_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point start_;
};

// Processor time of the calling thread, user and system, in seconds.
double ThreadSeconds();

// The stopwatch of the ratios: processor time of this thread (steadier than
// wall-clock time on a busy machine).
class CpuTimer {
public:
    CpuTimer() : start_(ThreadSeconds()) {}
    double seconds() const { return ThreadSeconds() - start_; }
    void restart() { start_ = ThreadSeconds(); }

private:
    double start_;
};

// What a counting parse met.
struct ParseCounts {
    unsigned long long elements = 0, attributes = 0, characters = 0;
};

// The reference of the ratios: reads the file in 16 KiB pieces straight into
// Expat's buffer, as the XML library does, with empty handlers, or with
// handlers that only count into counts when it is given. False when the
// file cannot be read or parsed.
bool BareExpatParse(const std::string& path, ParseCounts* counts = nullptr);

// The book sizes a timing program takes from its arguments (contacts per
// book), 10,000 and 100,000 without any.
std::vector<int> BookSizes(int argc, char** argv);

// Row texts as loading builds them ("\n" Nr "\n" ID "\n" Name "\n" Telefon)
// with German names and one to three numbers, the area code and the rest
// of each number apart by numberSeparator. Deterministic.
std::vector<std::u16string> GenerateRows(int count, std::u16string_view numberSeparator);

double Median(std::vector<double> values);

// Peak resident set size of this process in bytes (VmHWM), 0 if unknown.
std::size_t PeakRss();
// Current resident set size in bytes (VmRSS), 0 if unknown.
std::size_t CurrentRss();
// Resets the peak so that a following PeakRss() measures only what follows
// (Linux: writes 5 to /proc/self/clear_refs). Returns false if unsupported.
bool ResetPeakRss();

// A router-style phonebook of n contacts on one long line, UTF-8, 8 to 12
// elements per contact, with umlauts and some "&amp;". Deterministic.
std::string GeneratePhonebook(int contacts, unsigned seed = 1);

// A phonebook of n contacts like GeneratePhonebook's, where about a third
// of the contacts are another copy of an earlier person: the name written
// again, as "Nachname, Vorname", in capitals or left out, the numbers
// written another way ("030 1234567", "+49 30 1234567", "0049301234567",
// "030/123 45 67"), one of them sometimes left out. Besides dialable
// numbers there are internal codes, foreign numbers and office numbers
// that colleagues share. Deterministic.
std::string GenerateDuplicatePhonebook(int contacts, unsigned seed = 1);

// Writes bytes to a file; returns false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);

}  // namespace nwbench
