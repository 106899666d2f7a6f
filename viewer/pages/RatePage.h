// Page 2 "稼働率": the hourly operating-rate figures the collector recorded
// in the day's OR file (logins, host memory; statement counts, CPU and
// page-outs on pages that stay hidden). Runs no SQL.
#pragma once

#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "KvLivePage.h"

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
    void grdDateKaSelectCell(int row);
    void cmbPagmaxChange();
    void cmbLogMaxChange();

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

private:
    QString readProblem_;   // what the last read found wrong, shown before the guide
};
