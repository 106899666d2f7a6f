// Page 4 "ﾌﾗｸﾞﾒﾝﾃｰｼｮﾝ": per tablespace its size and how its free space is
// split into pieces.
#pragma once

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QLabel;

class TFreeSpacePage : public TKvLivePage {
public:
    TFreeSpacePage(TViewerContext& ctx, QWidget* parent = nullptr);

    TKvPageIndex PageIndex() const override { return pgFet; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override { return {{grdFet, 0}}; }

    void LoadFreeSpace();
    void grdFetDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;

    QLabel* lblBlk8;
    TKvStringGrid* grdFet;
};
