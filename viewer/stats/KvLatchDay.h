// The day's latch totals (ML file) as rows of the latch grid grdLatch2.
#pragma once

#include <string>
#include <vector>

inline constexpr int kMLNameWidth = 64;
inline constexpr int kMLFullLength = 105;

// One entry per valid ML line: sort key "=" 64-character name, 20-character
// gets and 20-character misses.
struct TLatchEntries {
    std::vector<std::string> Entries;   // sorted ascending, case-insensitive
    int Skipped = 0;                    // lines without "=" at position 65 or too short
};
// sortCol: -1 or 0 name, 1 gets, 2 misses, 3 miss ratio.
TLatchEntries BuildLatchEntries(const std::string& fileText, int sortCol);

// Four texts of a grid row: name (trimmed), gets "#,##0", misses "#,##0",
// ratio "##0.00" ("0.00" when gets is 0).
struct TLatchRow {
    std::string Name, Gets, Misses, Ratio;
};
TLatchRow SplitLatchEntry(const std::string& entry);
