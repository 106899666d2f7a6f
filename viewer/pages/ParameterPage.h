// Page 8 "ﾊﾟﾗﾒﾀ": V$PARAMETER with values coloured by type and the
// description of the selected parameter above the grid.
#pragma once

#include <memory>

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QLabel;
class TStringTable;

class TParameterPage : public TKvLivePage {
public:
    TParameterPage(TViewerContext& ctx, QWidget* parent = nullptr);
    ~TParameterPage() override;

    TKvPageIndex PageIndex() const override { return pgParameter; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override { return {{grdParm, 0}}; }

    void LoadParameters();
    bool grdParmSelectCell(int col, int row);
    void grdParmDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;

    TKvStringGrid* grdParm;
    std::unique_ptr<TStringTable> grdDesc;   // hidden: DESCRIPTION, TYPE per row
    QLabel* pnlDesc;
};

// Text colour of a parameter value by its type code ("1" Boolean ... "4").
QColor ParameterTypeColour(const std::string& type);
