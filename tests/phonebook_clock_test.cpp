// The clock behind the dates the phonebook code writes.
#include <gtest/gtest.h>

#include "base/date.h"
#include "phonebook/phonebook.h"

namespace {

TEST(PhonebookClock, InjectedClockIsUsedAndRealClockIsInRange)
{
    SetClock([] { return std::int64_t{12345}; });
    EXPECT_EQ(CurrentLocalDate(), 12345);
    SetClock({});
    const std::int64_t now = CurrentLocalDate();
    // Any run of these tests happens after 2020 and before 2038.
    EXPECT_GT(now, DateFromParts(2020, 1, 1, 0, 0, 0));
    EXPECT_LE(now, 2147483647);
}

}  // namespace
