#pragma once
// Reading a large phonebook touches a great deal of fresh memory: a book of
// 100,000 contacts some 250 MB, each page of which costs a page fault the
// first time it is written. While a HeapWarmer lives, a thread of its own
// has the system provide the pages just above the heap's part in use
// (madvise MADV_POPULATE_WRITE), so that the reading thread, on another
// processor, finds them ready. The memory itself is neither read nor
// written. Where the system or the C library offers none of this, the
// warmer does nothing.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

class HeapWarmer {
public:
    // For work that will take about bytes of fresh memory; below
    // MinimumBytes the thread would cost more than the faults it spares,
    // and the warmer does nothing.
    explicit HeapWarmer(std::size_t bytes);
    ~HeapWarmer();
    HeapWarmer(const HeapWarmer&) = delete;
    HeapWarmer& operator=(const HeapWarmer&) = delete;

    // How far the heap grows beyond each request, and so how far ahead of
    // the part in use the warmer can work: the resident memory a warmer
    // adds at most.
    static constexpr std::size_t Ahead = std::size_t{8} << 20;
    static constexpr std::size_t MinimumBytes = std::size_t{16} << 20;

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread thread_;
};
