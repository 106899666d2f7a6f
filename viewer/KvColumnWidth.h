// Column width fitted to texts, measured as the double-byte Japanese code
// page stores them.
#pragma once

#include <QString>

class TKvStringGrid;

inline constexpr int kPixelsPerByte = 7;
inline constexpr int kWidthMargin = 2;

// Bytes of text in the code page: ASCII and half-width katakana
// (U+FF61..U+FF9F) 1 byte each, every other character 2.
int CodePageByteLength(const QString& text);
// Longest text of column col over all rows, heading included, in bytes.
int LongestColumnText(const TKvStringGrid& grid, int col);
// Width of column col := bytes * 7 + 2; unchanged when every text is empty
// or col is -1. Returns the new width, or -1 when nothing changed.
int FitColumnWidth(TKvStringGrid& grid, int col);
