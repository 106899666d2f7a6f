// How the string grid keeps its cells: exact round trips of any text, the
// storage checked against a plain reference under random edits, and the
// memory a large grid keeps measured against the text it holds.
#include <gtest/gtest.h>

#include <QAbstractItemModel>

#include <random>
#include <string>
#include <vector>

#include "KvCellStore.h"
#include "KvStringGrid.h"

namespace {

constexpr int kLargeRows = 100000;

// Texts of a segment listing: owner, tablespace, type, name, two numbers.
std::vector<std::string> SegmentLikeRow(int r) {
    return {"OWNER" + std::to_string(r % 37), "TS_" + std::to_string(r % 11), r % 2 ? "TABLE" : "INDEX",
            "SEGMENT_NAME_" + std::to_string(r), std::to_string(r * 64) + ",000", std::to_string(r * 8)};
}

size_t SumOfCellSizes(const TKvStringGrid& grid) {
    size_t bytes = 0;
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c) bytes += grid.Cell(c, r).size();
    return bytes;
}

// Grows the grid ahead of the rows as the pages do, then cuts it to size.
void FillLikeAPage(TKvStringGrid& grid, int rows, int variant) {
    int filled = 0;
    for (int r = 1; r <= rows; ++r) {
        if (grid.RowCount() < r + 1) grid.SetRowCount(std::max(r + 1, std::max(64, grid.RowCount() * 2)));
        const auto texts = SegmentLikeRow(r + variant);
        for (int c = 0; c < static_cast<int>(texts.size()); ++c) grid.SetCell(c, r, texts[c]);
        filled = r;
    }
    grid.SetRowCount(filled + 1);
}

TEST(GridCellText, RoundTripsAreExact) {
    TKvStringGrid grid("grdTest");
    grid.SetColCount(200);  // more columns than a one-byte count holds
    grid.SetRowCount(4);
    const std::string japanese = "時間帯 ～ 表領域「ＵＳＥＲＳ」の使用率";
    const std::string longText(100000, 'x');
    std::string withNul("a\0b", 3);
    grid.SetCell(0, 1, japanese);
    grid.SetCell(1, 1, "");
    grid.SetCell(2, 1, longText);
    grid.SetCell(3, 1, withNul);
    grid.SetCell(199, 1, "last");
    grid.SetCell(150, 2, std::string(300, 'y'));  // lengths past one varint byte
    EXPECT_EQ(grid.Cell(0, 1), japanese);
    EXPECT_EQ(grid.Cell(1, 1), "");
    EXPECT_EQ(grid.Cell(2, 1), longText);
    EXPECT_EQ(grid.Cell(3, 1), withNul);
    EXPECT_EQ(grid.Cell(199, 1), "last");
    EXPECT_EQ(grid.Cell(150, 2), std::string(300, 'y'));
    EXPECT_EQ(grid.Cell(149, 2), "");
    EXPECT_EQ(grid.CellText(0, 1), QString::fromUtf8(japanese.c_str()));
    grid.FlushChanges();
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QString::fromUtf8(japanese.c_str()));

    // QString in, UTF-8 out, and back.
    const QString heading = QString::fromUtf8("ＳＧＡ（ＭＢ）");
    grid.SetCellText(5, 0, heading);
    EXPECT_EQ(grid.CellText(5, 0), heading);
    EXPECT_EQ(grid.Cell(5, 0), heading.toStdString());
    EXPECT_EQ(grid.model()->headerData(5, Qt::Horizontal).toString(), heading);

    // Shorter, longer and empty again: nothing of the old text shows through.
    grid.SetCell(2, 1, "short");
    EXPECT_EQ(grid.Cell(2, 1), "short");
    grid.SetCell(0, 1, japanese + japanese);
    EXPECT_EQ(grid.Cell(0, 1), japanese + japanese);
    grid.SetCell(199, 1, "");
    EXPECT_EQ(grid.Cell(199, 1), "");
    EXPECT_EQ(grid.Cell(3, 1), withNul);
    EXPECT_EQ(grid.TextBytes(), SumOfCellSizes(grid));
}

TEST(GridCellText, InvalidUtf8ReadsBackAsItsDecodedForm) {
    TKvStringGrid grid("grdTest");
    grid.SetColCount(6);
    grid.SetRowCount(2);
    grid.SetCell(0, 1, "ab\xff" "c");           // stray byte
    grid.SetCell(1, 1, "\xe6\x99");             // cut-off sequence
    grid.SetCell(2, 1, "\xc0\xaf");             // overlong '/'
    EXPECT_EQ(grid.Cell(0, 1), QString::fromUtf8("ab\xff" "c").toStdString());
    EXPECT_EQ(grid.Cell(1, 1), QString::fromUtf8("\xe6\x99").toStdString());
    EXPECT_EQ(grid.Cell(2, 1), QString::fromUtf8("\xc0\xaf").toStdString());
    EXPECT_NE(grid.Cell(0, 1).find("\xef\xbf\xbd"), std::string::npos) << "U+FFFD in place of the bad byte";
    // A leading byte order mark reads back as it did through QString.
    grid.SetCell(4, 1, "\xef\xbb\xbf" "abc");
    EXPECT_EQ(grid.Cell(4, 1), QString::fromUtf8("\xef\xbb\xbf" "abc").toStdString());
    grid.SetCell(5, 1, "\xef\xbf\xbe" "\xed\xa0\x80");  // noncharacter, lone surrogate
    EXPECT_EQ(grid.Cell(5, 1), QString::fromUtf8("\xef\xbf\xbe" "\xed\xa0\x80").toStdString());
    // Valid four-byte sequences stay as they are.
    grid.SetCell(3, 1, "\xf0\x9f\x98\x80");
    EXPECT_EQ(grid.Cell(3, 1), "\xf0\x9f\x98\x80");
}

// Random edits on the store and on a plain table of strings must agree.
TEST(GridCellStore, AgreesWithAPlainTableUnderRandomEdits) {
    std::mt19937 rng(20261207);
    int cols = 7, rows = 40;
    KvCellStore store(cols, rows);
    std::vector<std::vector<std::string>> ref(rows, std::vector<std::string>(cols));
    auto randomText = [&] {
        switch (rng() % 5) {
        case 0: return std::string();
        case 1: return std::string("日本語") + std::to_string(rng() % 1000);
        case 2: return std::string(rng() % 400, static_cast<char>('a' + rng() % 26));
        default: return std::to_string(rng());
        }
    };
    for (int step = 0; step < 20000; ++step) {
        const unsigned op = rng() % 100;
        if (op < 85) {
            const int c = static_cast<int>(rng() % (cols + 1));  // sometimes one past the end
            const int r = static_cast<int>(rng() % (rows + 1));
            const std::string text = randomText();
            const bool inside = c < cols && r < rows;
            const bool changed = store.Set(c, r, text);
            EXPECT_EQ(changed, inside && ref[r][c] != text) << "step " << step;
            if (inside) ref[r][c] = text;
        } else if (op < 93) {
            rows = static_cast<int>(rng() % 80);
            store.SetRows(rows);
            ref.resize(rows, std::vector<std::string>(cols));
        } else if (op < 97) {
            cols = 1 + static_cast<int>(rng() % 9);
            store.SetCols(cols);
            for (auto& row : ref) row.resize(cols);
        } else {
            const int fc = static_cast<int>(rng() % 3), fr = static_cast<int>(rng() % 3);
            bool any = false;
            for (int r = fr; r < rows; ++r)
                for (int c = fc; c < cols; ++c) {
                    any = any || !ref[r][c].empty();
                    ref[r][c].clear();
                }
            EXPECT_EQ(store.Clear(fc, fr), any) << "step " << step;
        }
        if (step % 97 == 0 || step == 19999) {
            ASSERT_EQ(store.Rows(), rows);
            ASSERT_EQ(store.Cols(), cols);
            size_t text = 0;
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c) {
                    ASSERT_EQ(store.Get(c, r), ref[r][c]) << "cell " << c << "," << r << " step " << step;
                    text += ref[r][c].size();
                }
            ASSERT_EQ(store.TextBytes(), text) << "step " << step;
        }
    }
    EXPECT_EQ(store.Get(-1, 0), "");
    EXPECT_EQ(store.Get(0, -1), "");
    EXPECT_FALSE(store.Set(-1, 0, "x"));
}

TEST(GridMemory, LargeGridKeepsLessThanTwiceItsText) {
    TKvStringGrid grid("grdSeg");
    grid.SetColCount(6);
    grid.SetRowCount(2);
    FillLikeAPage(grid, kLargeRows, 0);
    ASSERT_EQ(grid.RowCount(), kLargeRows + 1);
    const size_t text = SumOfCellSizes(grid);
    EXPECT_EQ(grid.TextBytes(), text);
    EXPECT_LT(grid.StorageBytes(), 2 * text) << "text " << text << " storage " << grid.StorageBytes();
    EXPECT_EQ(grid.Cell(3, 12345), SegmentLikeRow(12345)[3]);
    EXPECT_EQ(grid.Cell(5, kLargeRows), SegmentLikeRow(kLargeRows)[5]);
}

TEST(GridMemory, ReloadsAndClearingDoNotPileUpOldText) {
    TKvStringGrid grid("grdSeg");
    grid.SetColCount(6);
    grid.SetRowCount(2);
    FillLikeAPage(grid, kLargeRows, 0);
    // Reloading over the rows already there: every cell changes length.
    for (int reload = 1; reload <= 5; ++reload) FillLikeAPage(grid, kLargeRows, reload * 7919);
    const size_t text = SumOfCellSizes(grid);
    EXPECT_EQ(grid.TextBytes(), text);
    EXPECT_LT(grid.StorageBytes(), 4 * text) << "abandoned text must be reclaimed";
    EXPECT_EQ(grid.Cell(3, 500), SegmentLikeRow(500 + 5 * 7919)[3]);

    // Cut back to one empty data row, the memory goes too.
    grid.SetRowCount(2);
    grid.ClearData();
    EXPECT_EQ(grid.TextBytes(), 0u);
    EXPECT_LT(grid.StorageBytes(), 64u * 1024u);
}

}  // namespace
