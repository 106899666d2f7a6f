#include "KvCellStore.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr size_t kMinArena = 256;         // first arena allocation
constexpr size_t kCompactFloor = 4096;    // dead bytes below this are left alone
constexpr size_t kSlackFloor = 4096;      // capacity slack below this is left alone
constexpr unsigned kVarintMore = 0x80;    // varint: another byte follows
constexpr unsigned kVarintBits = 0x7F;
constexpr size_t kArenaLimit = 0xFFFFFFFEu;  // row offsets are 32-bit

template <class Out>
void PutVarint(Out& out, size_t value) {
    while (value >= kVarintMore) {
        out.push_back(static_cast<char>((value & kVarintBits) | kVarintMore));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

size_t GetVarint(const char*& p) {
    size_t value = 0;
    int shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*p++);
        value |= static_cast<size_t>(byte & kVarintBits) << shift;
        if (!(byte & kVarintMore)) return value;
        shift += 7;
    }
}

}  // namespace

KvCellStore::KvCellStore(int cols, int rows)
    : cols_(std::max(0, cols)), rowStart_(static_cast<size_t>(std::max(0, rows)), kEmptyRow) {}

size_t KvCellStore::StorageBytes() const {
    return arena_.capacity() + rowStart_.capacity() * sizeof(uint32_t) + scratch_.capacity() +
           cells_.capacity() * sizeof(std::string_view);
}

size_t KvCellStore::RowLength(int row) const {
    const uint32_t start = rowStart_[row];
    if (start == kEmptyRow) return 0;
    const char* p = arena_.data() + start;
    for (size_t n = GetVarint(p); n > 0; --n) p += GetVarint(p);
    return static_cast<size_t>(p - (arena_.data() + start));
}

void KvCellStore::Decode(int row) const {
    cells_.clear();
    const uint32_t start = rowStart_[row];
    if (start == kEmptyRow) return;
    const char* p = arena_.data() + start;
    for (size_t n = GetVarint(p); n > 0; --n) {
        const size_t len = GetVarint(p);
        cells_.emplace_back(p, len);
        p += len;
    }
}

std::string_view KvCellStore::Get(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= Rows()) return {};
    const uint32_t start = rowStart_[row];
    if (start == kEmptyRow) return {};
    const char* p = arena_.data() + start;
    const size_t n = GetVarint(p);
    if (static_cast<size_t>(col) >= n) return {};
    for (int c = 0; c < col; ++c) p += GetVarint(p);
    const size_t len = GetVarint(p);
    return {p, len};
}

void KvCellStore::Encode() {
    size_t n = cells_.size();
    while (n > 0 && cells_[n - 1].empty()) --n;
    scratch_.clear();
    if (n == 0) return;
    PutVarint(scratch_, n);
    for (size_t c = 0; c < n; ++c) {
        PutVarint(scratch_, cells_[c].size());
        scratch_.append(cells_[c].data(), cells_[c].size());
    }
}

bool KvCellStore::Set(int col, int row, std::string_view text) {
    if (col < 0 || col >= cols_ || row < 0 || row >= Rows()) return false;
    const uint32_t start = rowStart_[row];

    // A grid being loaded: rows filled left to right at the arena's end.
    // The first cell of an empty row starts it there; later cells are
    // appended and the count patched in place.
    if (start == kEmptyRow && !text.empty() && static_cast<unsigned>(col) + 1 < kVarintMore) {
        // The row is empty: a compaction here leaves it be.
        EnsureRoom(1 + static_cast<size_t>(col) + 2 * sizeof(size_t) + text.size());
        rowStart_[row] = static_cast<uint32_t>(arena_.size());
        arena_.push_back(static_cast<char>(col + 1));
        arena_.insert(arena_.end(), static_cast<size_t>(col), '\0');
        PutVarint(arena_, text.size());
        arena_.insert(arena_.end(), text.begin(), text.end());
        textBytes_ += text.size();
        tailRow_ = row;
        return true;
    }
    if (row == tailRow_ && !text.empty()) {
        const auto count = static_cast<unsigned char>(arena_[start]);
        if (count < static_cast<unsigned>(col) + 1 && static_cast<unsigned>(col) + 1 < kVarintMore) {
            // Growing by reserve keeps every offset; no compaction here.
            Reserve(static_cast<size_t>(col - count) + 2 * sizeof(size_t) + text.size());
            arena_[start] = static_cast<char>(col + 1);
            arena_.insert(arena_.end(), static_cast<size_t>(col - count), '\0');
            PutVarint(arena_, text.size());
            arena_.insert(arena_.end(), text.begin(), text.end());
            textBytes_ += text.size();
            return true;
        }
    }

    Decode(row);
    const std::string_view old = static_cast<size_t>(col) < cells_.size() ? cells_[col] : std::string_view();
    if (old == text) return false;
    const size_t oldLength = start == kEmptyRow ? 0 : RowLength(row);
    textBytes_ = textBytes_ - old.size() + text.size();
    if (cells_.size() <= static_cast<size_t>(col)) cells_.resize(col + 1);
    cells_[col] = text;
    Encode();
    StoreRow(row, oldLength);
    return true;
}

void KvCellStore::StoreRow(int row, size_t oldLength) {
    const uint32_t start = rowStart_[row];
    const size_t newLength = scratch_.size();
    if (start != kEmptyRow && row == tailRow_) {
        // The arena's end: cut the old bytes off and append the new ones.
        arena_.resize(start);
        rowStart_[row] = kEmptyRow;
        tailRow_ = -1;
        if (newLength == 0) return;
        EnsureRoom(newLength);
        rowStart_[row] = static_cast<uint32_t>(arena_.size());
        arena_.insert(arena_.end(), scratch_.begin(), scratch_.end());
        tailRow_ = row;
        return;
    }
    if (start != kEmptyRow && newLength <= oldLength) {
        std::memcpy(arena_.data() + start, scratch_.data(), newLength);
        deadBytes_ += oldLength - newLength;
        if (newLength == 0) rowStart_[row] = kEmptyRow;
        return;
    }
    // Grows: the old bytes are abandoned and the row moves to the end.
    if (start != kEmptyRow) {
        deadBytes_ += oldLength;
        rowStart_[row] = kEmptyRow;
    }
    if (newLength == 0) return;
    EnsureRoom(newLength);
    rowStart_[row] = static_cast<uint32_t>(arena_.size());
    arena_.insert(arena_.end(), scratch_.begin(), scratch_.end());
    tailRow_ = row;
}

void KvCellStore::EnsureRoom(size_t more) {
    const bool fits = arena_.size() + more <= arena_.capacity() && arena_.size() + more <= kArenaLimit;
    if (!fits && deadBytes_ > 0) {
        // Abandoned bytes go before the arena grows (or hits the 32-bit limit).
        const size_t live = arena_.size() - deadBytes_;
        if ((deadBytes_ >= kCompactFloor && deadBytes_ >= live) || arena_.size() + more > kArenaLimit)
            Compact(std::max(live / 2, more));
    }
    Reserve(more);
}

void KvCellStore::Reserve(size_t more) {
    if (arena_.size() + more > kArenaLimit) throw std::length_error("grid text exceeds 4 GB");
    if (arena_.size() + more <= arena_.capacity()) return;
    const size_t cap = arena_.capacity();
    arena_.reserve(std::min(kArenaLimit, std::max({arena_.size() + more, cap + cap / 2, kMinArena})));
}

void KvCellStore::Compact(size_t extra) {
    std::vector<char> fresh;
    fresh.reserve(arena_.size() - deadBytes_ + extra);
    tailRow_ = -1;
    for (int r = 0; r < Rows(); ++r) {
        const uint32_t start = rowStart_[r];
        if (start == kEmptyRow) continue;
        const size_t len = RowLength(r);
        rowStart_[r] = static_cast<uint32_t>(fresh.size());
        fresh.insert(fresh.end(), arena_.begin() + start, arena_.begin() + start + len);
        tailRow_ = r;
    }
    arena_.swap(fresh);
    deadBytes_ = 0;
}

void KvCellStore::MaybeCompact() {
    if (deadBytes_ >= kCompactFloor && deadBytes_ * 2 >= arena_.size()) Compact(0);
}

// After rows or cells went away: give back what a grown arena or row table
// no longer needs, so a grid cut back to one row does not keep its peak.
void KvCellStore::TrimSlack() {
    if (arena_.capacity() > arena_.size() + arena_.size() / 4 + kSlackFloor) {
        if (deadBytes_ > 0) Compact(0);
        else arena_.shrink_to_fit();
    }
    const size_t rowSlack = (rowStart_.capacity() - rowStart_.size()) * sizeof(uint32_t);
    if (rowSlack > kSlackFloor && rowStart_.capacity() > rowStart_.size() + rowStart_.size() / 2)
        rowStart_.shrink_to_fit();
    if (scratch_.capacity() > kSlackFloor) std::string().swap(scratch_);
    if (cells_.capacity() * sizeof(std::string_view) > kSlackFloor) std::vector<std::string_view>().swap(cells_);
}

void KvCellStore::DropRowBytes(int row) {
    const uint32_t start = rowStart_[row];
    if (start == kEmptyRow) return;
    Decode(row);
    for (const auto& cell : cells_) textBytes_ -= cell.size();
    if (row == tailRow_) {
        arena_.resize(start);
        tailRow_ = -1;
    } else {
        deadBytes_ += RowLength(row);
    }
    rowStart_[row] = kEmptyRow;
}

void KvCellStore::SetRows(int rows) {
    rows = std::max(0, rows);
    if (rows >= Rows()) {
        rowStart_.resize(rows, kEmptyRow);
        return;
    }
    for (int r = Rows() - 1; r >= rows; --r) DropRowBytes(r);
    rowStart_.resize(rows);
    MaybeCompact();
    TrimSlack();
}

void KvCellStore::SetCols(int cols) {
    cols = std::max(0, cols);
    const int old = cols_;
    cols_ = cols;
    if (cols >= old) return;
    for (int r = 0; r < Rows(); ++r) {
        Decode(r);
        if (cells_.size() <= static_cast<size_t>(cols)) continue;
        const size_t oldLength = RowLength(r);
        for (size_t c = cols; c < cells_.size(); ++c) textBytes_ -= cells_[c].size();
        cells_.resize(cols);
        Encode();
        StoreRow(r, oldLength);
    }
    MaybeCompact();
    TrimSlack();
}

bool KvCellStore::Clear(int firstCol, int firstRow) {
    firstCol = std::max(0, firstCol);
    bool any = false;
    for (int r = std::max(0, firstRow); r < Rows(); ++r) {
        Decode(r);
        // The last stored cell is never empty: a row with more cells than
        // firstCol has text to clear.
        if (cells_.size() <= static_cast<size_t>(firstCol)) continue;
        any = true;
        const size_t oldLength = RowLength(r);
        for (size_t c = firstCol; c < cells_.size(); ++c) textBytes_ -= cells_[c].size();
        cells_.resize(firstCol);
        Encode();
        StoreRow(r, oldLength);
    }
    if (any) {
        MaybeCompact();
        TrimSlack();
    }
    return any;
}
