// Page 0 "ﾁｪｯｸﾎﾟｲﾝﾄ": log switches per day (grdDate) and, for the selected
// day, per hour (ChartCnt). Every load of the day list rewrites the
// checkpoint history file in the data directory.
#pragma once

#include <QString>

#include <memory>

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QBarSet;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QFrame;
class QValueAxis;
class QBarCategoryAxis;
class QHorizontalBarSeries;
class TStringTable;
class QGraphicsSimpleTextItem;

class TCheckPointPage : public TKvLivePage {
public:
    TCheckPointPage(TViewerContext& ctx, QWidget* parent = nullptr);
    ~TCheckPointPage() override;

    TKvPageIndex PageIndex() const override { return pgCheckPoint; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    QString Guide() const override;
    std::vector<SortableGrid> SortableGrids() const override;

    void LoadCheckPointDays();
    void LoadCheckPointHours(int row);
    bool grdDateSelectCell(int col, int row);
    void grdDateDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;
    void cmbMaxChange();

    // Controls (named as on the window).
    TKvStringGrid* grdDate;
    std::unique_ptr<TStringTable> grdDate2;   // hidden: F_DATE of each row of grdDate
    QChartView* ChartCnt;
    QLabel* lblCPDate;
    QFrame* pnlChkMax;
    QComboBox* cmbMax;
    QHorizontalBarSeries* seriesChkPnt;

    // What the chart shows, for checks.
    double AxisMax() const;
    bool CmbMaxHighlighted() const { return cmbMaxYellow_; }
    double BarValue(int hour) const;
    QString BarLabel(int hour) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildChart();
    void SetCmbMaxYellow(bool yellow);
    void SetAxisMax(double max);
    void PlaceMaxPanel();
    // Widens the day list, where the style's scroll bar is wider than the
    // room the design leaves for it, so that "Count" stays in view.
    void FitDateGridWidth();
    void PlaceHourLabels();
    int SelectedMax() const;
    void WriteHistoryFile();

    QChart* chart_;
    QBarSet* bars_;
    QValueAxis* axisX_;
    QBarCategoryAxis* axisY_;
    std::vector<QGraphicsSimpleTextItem*> hourLabels_;   // owned by the chart
    bool cmbMaxYellow_ = false;
    QString fileError_;   // last write failure, shown with the guide
};
