// Compact text storage of a string grid: every cell's UTF-8 bytes in one
// arena per grid, one 32-bit offset per row. A row is stored as
//   count, then count x (length, bytes)
// (count and lengths as 7-bit varints; trailing empty cells are not stored,
// an all-empty row takes no arena bytes at all). A grid of 100,000 short
// rows thus costs a few bytes beyond its text instead of a heap block per
// cell.
//
// Writes that shrink a row rewrite it in place; a row that grows moves to
// the arena's end unless it is already there. Bytes left behind are counted
// and the arena is compacted once they outweigh the live rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class KvCellStore {
public:
    KvCellStore(int cols, int rows);

    int Rows() const { return static_cast<int>(rowStart_.size()); }
    int Cols() const { return cols_; }
    // New rows or columns are empty; cut ones are dropped.
    void SetRows(int rows);
    void SetCols(int cols);

    // The view stays valid until the next change of the store. Outside the
    // grid: empty.
    std::string_view Get(int col, int row) const;
    // Returns whether the cell changed. Outside the grid: ignored. The text
    // must not be a view into this store.
    bool Set(int col, int row, std::string_view text);
    // Empties every cell at or right of firstCol in rows from firstRow on;
    // returns whether any was non-empty.
    bool Clear(int firstCol, int firstRow);

    // Bytes of text held (all cells).
    size_t TextBytes() const { return textBytes_; }
    // Heap the store keeps, slack included.
    size_t StorageBytes() const;

private:
    static constexpr uint32_t kEmptyRow = 0xFFFFFFFFu;

    size_t RowLength(int row) const;  // encoded bytes of the row (0 when empty)
    // Decodes the row's cells into cells_ (views into the arena).
    void Decode(int row) const;
    // Encodes cells_ (trailing empties dropped) into scratch_.
    void Encode();
    // Makes scratch_ the row's bytes; oldLength is the row's present size.
    void StoreRow(int row, size_t oldLength);
    void EnsureRoom(size_t more);  // may compact
    void Reserve(size_t more);     // grows 1.5x; offsets stay valid
    void DropRowBytes(int row);
    void MaybeCompact();
    void Compact(size_t extra);
    void TrimSlack();

    int cols_;
    std::vector<char> arena_;  // grown by hand: 1.5x, exact when trimmed
    std::vector<uint32_t> rowStart_;  // kEmptyRow: every cell empty
    int tailRow_ = -1;                // row whose bytes end the arena, or -1
    size_t deadBytes_ = 0;            // arena bytes no row refers to
    size_t textBytes_ = 0;
    std::string scratch_;
    mutable std::vector<std::string_view> cells_;
};
