#pragma once
// What the router accepts in a phonebook: the limits that merging, checking
// and editing contacts hold to. One place, so that they never disagree.
#include <cstddef>
#include <string_view>

namespace ContactLimits {
// Numbers one contact may hold.
inline constexpr std::size_t MaxNumbers = 9;
// Contacts one phonebook may hold.
inline constexpr std::size_t MaxContacts = 2000;
// The quick-dial codes a number may carry, both included.
inline constexpr int MinQuickdial = 1;
inline constexpr int MaxQuickdial = 99;
// Where a contact's picture must lie for the router to show it: its
// internal storage, as its own exports write imageURL.
inline constexpr std::u16string_view ImageFolder = u"file:///var/InternerSpeicher/";
}  // namespace ContactLimits
