// Page 5 "ﾃｰﾌﾞﾙｻｲｽﾞ": segments of SYS.DBA_SEGMENTS with size and blocks,
// filtered by segment type.
#pragma once

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QCheckBox;

class TSegmentPage : public TKvLivePage {
public:
    TSegmentPage(TViewerContext& ctx, QWidget* parent = nullptr);

    TKvPageIndex PageIndex() const override { return pgSegment; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override { return {{grdSeg, 0}}; }

    void LoadSegments();
    void grdSegDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;

    QCheckBox* chkStTb;
    QCheckBox* chkStIx;
    TKvStringGrid* grdSeg;
};
