#pragma once
// Tables from texts to small numbers, for the key tables of a large
// phonebook: flat hash maps whose texts lie in blocks of their own, so that
// a table of a few hundred thousand texts makes a few allocations, not a
// few per text. Their order is not stable between runs: they are looked up,
// never walked.
#include <absl/container/flat_hash_map.h>
#include <absl/hash/hash.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

// Keeps copies of texts for as long as it lives; a kept text never moves.
class TextStore {
public:
    std::u16string_view Keep(std::u16string_view text)
    {
        if (text.size() > left_) {
            const std::size_t size = std::max<std::size_t>(BlockSize, text.size());
            blocks_.push_back(std::make_unique<char16_t[]>(size));
            next_ = blocks_.back().get();
            left_ = size;
        }
        char16_t* kept = next_;
        if (!text.empty())
            std::memcpy(kept, text.data(), text.size() * sizeof(char16_t));
        next_ += text.size();
        left_ -= text.size();
        return {kept, text.size()};
    }

private:
    static constexpr std::size_t BlockSize = 32 * 1024;
    std::vector<std::unique_ptr<char16_t[]>> blocks_;
    char16_t* next_ = nullptr;
    std::size_t left_ = 0;
};

// Abseil's hash of the text's bytes.
struct TextHash {
    std::size_t operator()(std::u16string_view text) const
    {
        return absl::Hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)));
    }
};

// Texts (that outlive the table: kept in a TextStore, or the records'
// own) to numbers.
using TextIds = absl::flat_hash_map<std::u16string_view, std::uint32_t, TextHash>;
