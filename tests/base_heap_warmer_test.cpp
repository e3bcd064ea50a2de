// The heap warmer makes pages ready ahead of the heap's part in use: memory
// handed out and written while warmers run, one or two at a time, keeps
// exactly what was written, also across blocks given back and taken anew.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/heap_warmer.h"

namespace {

struct Block {
    std::unique_ptr<std::uint32_t[]> words;
    std::size_t count;
    std::uint32_t seed;
};

std::uint32_t Word(std::uint32_t seed, std::size_t i)
{
    return seed * 2654435761u + static_cast<std::uint32_t>(i) * 40503u;
}

TEST(BaseHeapWarmer, MemoryKeepsWhatWasWrittenWhileWarmersRun)
{
    std::vector<Block> blocks;
    std::uint32_t seed = 1;
    for (int round = 0; round < 12; ++round) {
        HeapWarmer warmer(HeapWarmer::MinimumBytes);
        std::optional<HeapWarmer> second;
        if (round % 3 == 1)
            second.emplace(HeapWarmer::MinimumBytes);
        // Sizes from a few words to some megabytes: from the heap's free
        // lists, from its top, and from mappings of their own.
        for (int i = 0; i < 150; ++i, ++seed) {
            const std::size_t count = 16 + (seed * 7919u) % (i % 10 == 0 ? 1u << 20 : 20000u);
            Block b{std::make_unique<std::uint32_t[]>(count), count, seed};
            for (std::size_t k = 0; k < count; ++k)
                b.words[k] = Word(seed, k);
            blocks.push_back(std::move(b));
        }
        // Every third block back to the heap, to be handed out again.
        for (std::size_t i = blocks.size(); i-- > 0;)
            if (blocks[i].seed % 3 == 0)
                blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
    }
    for (const Block& b : blocks)
        for (std::size_t k = 0; k < b.count; ++k)
            ASSERT_EQ(b.words[k], Word(b.seed, k)) << "block " << b.seed << " word " << k;
}

}  // namespace
