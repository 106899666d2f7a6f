// Page 3 "ﾃｰﾌﾞﾙｽﾍﾟｰｽ": tablespaces (grdTSN), the data files of the selected
// one (grdTS) and the used/free blocks of the selected file (ChartUse).
#pragma once

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QLabel;
class TKvBarChart;

class TTableSpacePage : public TKvLivePage {
public:
    TTableSpacePage(TViewerContext& ctx, QWidget* parent = nullptr);

    TKvPageIndex PageIndex() const override { return pgTableSpace; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    QString Guide() const override;
    std::vector<SortableGrid> SortableGrids() const override;

    void LoadTableSpaces();
    void LoadDataFiles(const std::string& tablespace);
    void LoadFileUsage(const std::string& fileName);

    // Event handlers.
    bool grdTSNSelectCell(int col, int row);
    bool grdTSSelectCell(int col, int row);
    void grdTSNDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;
    void grdTSDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;
    // A click on a series' bar shows or hides that series' value marks.
    void ChartUseClickSeries(int series);

    TKvStringGrid* grdTSN;
    TKvStringGrid* grdTS;
    TKvBarChart* ChartUse;   // series 0 seriesTSUsed, 1 seriesTSFree
    QLabel* lblBlk2;

    static constexpr int kUsedSeries = 0, kFreeSeries = 1;
    double UsedBlocks() const;
    double FreeBlocks() const;
    bool MarksVisible(int series) const;

private:
    void BuildChart();
};
