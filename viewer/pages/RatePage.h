// Page 2 "稼働率": the hourly operating-rate figures the collector recorded
// in the day's OR file (logins, host memory; statement counts, CPU and
// page-outs on pages that stay hidden). Runs no SQL.
#pragma once

#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QComboBox;
class QLabel;
class QTabWidget;
class TKvBarChart;
class TStringTable;

class TRatePage : public TKvLivePage {
public:
    TRatePage(TViewerContext& ctx, QWidget* parent = nullptr);
    ~TRatePage() override;

    TKvPageIndex PageIndex() const override { return pgRate; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    QString Guide() const override;
    std::vector<SortableGrid> SortableGrids() const override;

    void LoadORDateList();
    bool ReadORFile(const std::string& day);
    void ShowORDay(const QString& label);
    void ShowSqlCounts(const QString& label);
    void ShowCpuChart(const QString& label);
    void ShowLoginChart(const QString& label);
    void ShowMemoryChart(const QString& label);
    void ShowPageOutChart(const QString& label);
    bool grdDateKaSelectCell(int col, int row);
    void grdDateKaDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;
    void cmbPagmaxChange();
    void cmbLogMaxChange();
    // Whether the day's data raised the axis above the drop-down's choice.
    bool LogMaxHighlighted() const { return logMaxYellow_; }
    bool PagMaxHighlighted() const { return pagMaxYellow_; }

    // Controls (named as on the window).
    TKvStringGrid* grdDateKa;
    std::unique_ptr<TStringTable> grddateKa2;   // hidden: yyyymmdd per row of grdDateKa
    std::unique_ptr<TStringTable> grdCont;      // hidden: raw table of the loaded OR file
    QTabWidget* pageRate;
    TKvStringGrid* grdSqlCnt;
    TKvBarChart* ChartRateCPU;
    TKvBarChart* ChartCntLog;
    TKvBarChart* ChartRateFMem;
    TKvBarChart* ChartCntPage;
    QComboBox* cmbLogMax;
    QComboBox* cmbPagmax;
    QLabel* lblORSQL_Date;
    QLabel* lblORCPU_Date;
    QLabel* lblORLog_Date;
    QLabel* lblORMem_Date;
    QLabel* lblORPage_Date;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildViews();
    void PlaceMaxPanel();
    void SetLogMaxYellow(bool yellow);
    void SetPagMaxYellow(bool yellow);
    // Raw-table row of hour h by the two lookup rules; 0 when none.
    int SearchHourRow(int hour) const;
    double Figure(int row, int col) const;

    QWidget* pnlPagMax_ = nullptr;
    bool logMaxYellow_ = false;
    bool pagMaxYellow_ = false;
    double loginAxisPeak_ = 0;   // the login axis never shrinks below a day already shown
    QString readProblem_;   // what the last read found wrong, shown before the guide
};
