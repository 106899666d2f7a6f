#include <gtest/gtest.h>

#include "KvLatchDay.h"
#include "KvgLines.h"

namespace {

std::string File(std::initializer_list<std::tuple<const char*, double, double>> latches) {
    std::string text;
    for (const auto& [name, gets, misses] : latches) text += BuildMLLine(name, gets, misses) + "\r\n";
    return text;
}

std::vector<std::string> Names(const TLatchEntries& e) {
    std::vector<std::string> names;
    for (const auto& entry : e.Entries) names.push_back(SplitLatchEntry(entry).Name);
    return names;
}

TEST(LatchDay, RowsShowCountsAndRatio) {
    const TLatchEntries e = BuildLatchEntries(File({{"cache buffers chains", 1234567, 1234}}), -1);
    ASSERT_EQ(e.Entries.size(), 1u);
    const TLatchRow row = SplitLatchEntry(e.Entries[0]);
    EXPECT_EQ(row.Name, "cache buffers chains");
    EXPECT_EQ(row.Gets, "1,234,567");
    EXPECT_EQ(row.Misses, "1,234");
    EXPECT_EQ(row.Ratio, "0.10");

    const TLatchRow idle = SplitLatchEntry(BuildLatchEntries(File({{"idle", 0, 0}}), -1).Entries[0]);
    EXPECT_EQ(idle.Ratio, "0.00");
    EXPECT_EQ(idle.Gets, "0");
}

TEST(LatchDay, SortKeysOrderByTheChosenColumn) {
    const std::string text = File({{"b latch", 300, 3}, {"A latch", 100, 50}, {"c latch", 2000, 1}});
    EXPECT_EQ(Names(BuildLatchEntries(text, -1)), (std::vector<std::string>{"A latch", "b latch", "c latch"}));
    EXPECT_EQ(Names(BuildLatchEntries(text, 0)), (std::vector<std::string>{"A latch", "b latch", "c latch"}));
    EXPECT_EQ(Names(BuildLatchEntries(text, 1)), (std::vector<std::string>{"A latch", "b latch", "c latch"}));
    EXPECT_EQ(Names(BuildLatchEntries(text, 2)), (std::vector<std::string>{"c latch", "b latch", "A latch"}));
    // 0.05 %, 1.00 %, 50.00 %
    EXPECT_EQ(Names(BuildLatchEntries(text, 3)), (std::vector<std::string>{"c latch", "b latch", "A latch"}));
}

TEST(LatchDay, DamagedLinesAreSkippedAndAnEqualsSignInANameShiftsNothing) {
    std::string text = File({{"ok", 10, 1}, {"odd=name", 20, 2}});
    text += "short line=0001\r\n";
    text += std::string(70, 'x') + "\r\n";   // no "=" at position 65
    const TLatchEntries e = BuildLatchEntries(text, 0);
    EXPECT_EQ(e.Skipped, 2);
    ASSERT_EQ(e.Entries.size(), 2u);
    const TLatchRow odd = SplitLatchEntry(e.Entries[0]);
    EXPECT_EQ(odd.Name, "odd=name");
    EXPECT_EQ(odd.Gets, "20");
    EXPECT_EQ(odd.Misses, "2");
    EXPECT_TRUE(BuildLatchEntries("", -1).Entries.empty());
}

}  // namespace
