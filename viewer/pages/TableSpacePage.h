// Page 3 "ﾃｰﾌﾞﾙｽﾍﾟｰｽ": tablespaces (grdTSN), the data files of the selected
// one (grdTS) and the used/free blocks of the selected file (ChartUse).
#pragma once

#include "KvLivePage.h"

class QBarSet;
class QBarCategoryAxis;
class QChartView;
class QHorizontalStackedBarSeries;
class QLabel;
class QValueAxis;

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
    // ChartUseClickSeries for one of the two series (0 used, 1 free).
    void ToggleMarks(int seriesIndex);

    TKvStringGrid* grdTSN;
    TKvStringGrid* grdTS;
    QChartView* ChartUse;
    QBarSet* seriesTSUsed;
    QBarSet* seriesTSFree;
    QLabel* lblBlk2;

    double UsedBlocks() const;
    double FreeBlocks() const;
    bool MarksVisible(int seriesIndex) const;

private:
    void BuildChart();
    void ShowMarks(int seriesIndex, bool visible);

    QHorizontalStackedBarSeries* series_;
    QValueAxis* axisX_;
    QBarCategoryAxis* axisY_;
    bool marks_[2] = {true, true};
};
