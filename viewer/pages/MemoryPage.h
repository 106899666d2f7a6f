// Page 1 " ﾒﾓﾘ": what the collector recorded about the instance's memory
// structures, one day at a time, from the day's MU and ML files. Runs no SQL.
// MemoryPageLayout.cpp builds the nine pages of pageMem and draws their
// cells; MemoryPage.cpp reads the files and fills the views.
#pragma once

#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "KvLivePage.h"
#include "KvStatRecords.h"
#include "KvStringGrid.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QTabWidget;
class TKvBarChart;
class TStringTable;

class TMemoryPage : public TKvLivePage {
public:
    TMemoryPage(TViewerContext& ctx, QWidget* parent = nullptr);
    ~TMemoryPage() override;

    TKvPageIndex PageIndex() const override { return pgMemory; }
    void InitMainForm() override;
    // detailOnly: only the latch grid (its sort changed); otherwise the day
    // list is rebuilt and the first day shown.
    void LoadPage(bool detailOnly) override;
    QString Guide() const override;
    std::vector<SortableGrid> SortableGrids() const override;

    void LoadMUDateList();
    bool ReadMUFile(const std::string& day);
    void ShowMUDay(const QString& label);
    void ShowLatchDay(const std::string& day, const QString& label);

    // Event handlers.
    bool grdMUDateSelectCell(int col, int row);
    void pageMemChange();
    void btnChgMarkClick();
    void grdMUDateDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;
    // The five hourly grids and grdLatch2.
    void prcMUgridDrawCell(const TKvStringGrid& grid, int col, int row, TKvStringGrid::CellStyle& style) const;

    const std::string& LoadedMUDate() const { return loadedMUDate_; }
    // Whether the latch charts write the miss ratio (else the counts).
    bool LatchMarksShowRatio() const;

    // Controls (named as on the window).
    TKvStringGrid* grdMUDate;
    std::unique_ptr<TStringTable> grdMUDate2;   // hidden: yyyymmdd per row of grdMUDate
    std::unique_ptr<TStringTable> grdFetMem;    // hidden: raw table of the loaded MU file
    QTabWidget* pageMem;
    QTabWidget* pageLatch;
    TKvBarChart* chartSharedPool;
    TKvBarChart* ChartLogBuf;
    TKvBarChart* ChartLCachBufChain;
    TKvBarChart* chartLCachBufIRU;
    TKvBarChart* chartLLibCache;
    TKvBarChart* chartLSharedPool;
    TKvStringGrid* grdSQLArea;
    TKvStringGrid* grdLibCache;
    TKvStringGrid* grdDicCache;
    TKvStringGrid* grdBlockBuf;
    TKvStringGrid* grdSortArea;
    TKvStringGrid* grdLatch2;
    QLabel* lblMUSPDate;
    QLabel* lblMUSADate;
    QLabel* lblMULCDate;
    QLabel* lblMUDCDate;
    QLabel* lblMUBBDate;
    QLabel* lblMULBDate;
    QLabel* lblMUSRDate;
    QLabel* lblMUL2Date;
    QLabel* pnlMUL1Date;
    QPushButton* btnChgMark;

private:
    // Series of every chart of this page, in stacking order.
    static constexpr int kUsedSeries = 0, kFreeSeries = 1;
    static constexpr int kGetsSeries = 0, kMissSeries = 1;
    // Length of the Misses marks' arrows: at start, back in ratio mode, in counts mode.
    static constexpr int kMissArrowAtStart = 3, kMissArrowRatio = 5, kMissArrowCounts = 50;
    static constexpr int kLatch2Page = 8;     // "Latch(2)" in pageMem
    static constexpr int kSortRateCol = 5;    // "ｿｰﾄ率(%)" of grdSortArea
    static constexpr int kLatchRatioCol = 3;  // "比率(%)" of grdLatch2

    // Building (MemoryPageLayout.cpp).
    QWidget* BuildPageTabs();
    QWidget* BuildLatch1Page();
    QWidget* BuildLatchChartPage(TKvBarChart*& chart, const char* chartName, const char* title,
                                 const char* getsName, const char* missName);
    TKvBarChart* BuildUsageChart(const char* chartName, const char* usedName, const char* usedTitle,
                                 const char* freeName);
    void ConnectHandlers();
    void ShowPageButton(int index);

    // Loading (MemoryPage.cpp).
    void SetLatchMarks(bool ratio, int missArrowLength);
    bool LatchPageShowing() const;
    // Brings the views up to the day of a row of grdMUDate.
    void ShowRowDay(int row);
    void ShowUsageChart(TKvBarChart& chart, int sizeCol, int useCol);
    void ShowHitGrid(TKvStringGrid& grid, int execCol, int missCol);
    void ShowBlockBufGrid();
    void ShowSortAreaGrid();
    void ShowLatchChart(TKvBarChart& chart, int getsCol, int missCol);
    std::array<TKvBarChart*, 4> LatchCharts() const;

    std::string loadedMUDate_;
    QString readProblem_;    // what the last read found wrong, shown before the guide
    QString latchProblem_;   // damaged lines of the latch file last shown
    QButtonGroup* pageButtons_ = nullptr;   // the two rows of page tabs of pageMem
};
