#include "base/heap_warmer.h"

#include <sys/mman.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>

namespace {

#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
constexpr bool Supported = true;

// Once, before the first warmer: the heap grows Ahead beyond each request,
// so that there is room above the part in use to warm; blocks up to 32 MiB
// (an XML document's node blocks, the strings of a file of that size) come
// from the heap rather than from mappings of their own, which the warmer
// would not see.
void ArrangeHeap()
{
    static const bool arranged = [] {
        mallopt(M_TOP_PAD, static_cast<int>(HeapWarmer::Ahead));
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        return true;
    }();
    (void)arranged;
}
#else
constexpr bool Supported = false;
void ArrangeHeap() {}
#endif

}  // namespace

HeapWarmer::HeapWarmer(std::size_t bytes)
{
    if (!Supported || bytes < MinimumBytes)
        return;
    ArrangeHeap();
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Without a thread the pages are made when they are first written.
    }
}

HeapWarmer::~HeapWarmer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void HeapWarmer::Run()
{
#if defined(MADV_POPULATE_WRITE)
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    // The heap's end (the program break) only grows while the warmer runs,
    // unless freed memory at its top goes back to the system; what lies
    // below the part warmed so far is in use or was warmed already.
    auto done = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
        if (end < done)
            done = end;  // given back: warm from there when it grows again
        if (end > done) {
            const std::uintptr_t from = done & ~(page - 1);
            lock.unlock();
            const int result = ::madvise(reinterpret_cast<void*>(from), end - from, MADV_POPULATE_WRITE);
            lock.lock();
            if (result != 0 && errno == EINVAL)
                return;  // a system without it
            done = end;
            continue;
        }
        stop_.wait_for(lock, std::chrono::microseconds(500));
    }
#endif
}
