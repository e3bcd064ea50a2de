#pragma once
// Shared pieces of the timing programs.
#include <chrono>
#include <cstddef>
#include <string>

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

// Writes bytes to a file; returns false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);

}  // namespace nwbench
