// Page 9 "ｴｸｽﾃﾝﾄ": segments with their extent sizes and the number of
// extents beyond the first, the most extended first by default.
#pragma once

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QCheckBox;
class QLabel;

class TExtentsPage : public TKvLivePage {
public:
    TExtentsPage(TViewerContext& ctx, QWidget* parent = nullptr);

    TKvPageIndex PageIndex() const override { return pgExtents; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override { return {{grdExt, 0}}; }

    void LoadExtents();
    void grdExtDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;

    QCheckBox* chkExt;
    TKvStringGrid* grdExt;
    QLabel* lblBlk5;
};

// Text colour of "TotExt(BLK)" judged on its shown text.
QColor TotExtColour(const std::string& shown);
