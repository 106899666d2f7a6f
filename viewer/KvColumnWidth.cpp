#include "KvColumnWidth.h"

#include <algorithm>

#include "KvStringGrid.h"

namespace {
constexpr char32_t kHalfWidthKatakanaFirst = 0xFF61;
constexpr char32_t kHalfWidthKatakanaLast = 0xFF9F;
}  // namespace

int CodePageByteLength(const QString& text) {
    int bytes = 0;
    for (char32_t c : text.toUcs4()) {
        const bool single = c < 0x80 || (c >= kHalfWidthKatakanaFirst && c <= kHalfWidthKatakanaLast);
        bytes += single ? 1 : 2;
    }
    return bytes;
}

int LongestColumnText(const TKvStringGrid& grid, int col) {
    int longest = 0;
    for (int row = 0; row < grid.RowCount(); ++row)
        longest = std::max(longest, CodePageByteLength(grid.CellText(col, row)));
    return longest;
}

int FitColumnWidth(TKvStringGrid& grid, int col) {
    if (col < 0 || col >= grid.ColCount()) return -1;
    const int bytes = LongestColumnText(grid, col);
    if (bytes <= 0) return -1;
    const int width = bytes * kPixelsPerByte + kWidthMargin;
    grid.SetColWidth(col, width);
    return width;
}
