#pragma once
// What the router accepts in a phonebook: the limits that merging, checking
// and editing contacts hold to. One place, so that they never disagree.
#include <cstddef>

namespace ContactLimits {
// Numbers one contact may hold.
inline constexpr std::size_t MaxNumbers = 9;
// Contacts one phonebook may hold.
inline constexpr std::size_t MaxContacts = 2000;
// The quick-dial codes a number may carry, both included.
inline constexpr int MinQuickdial = 1;
inline constexpr int MaxQuickdial = 99;
}  // namespace ContactLimits
