// Page 7 "ﾛｸﾞﾌｧｲﾙ": redo log groups with their member files; the members
// of the current group in red.
#pragma once

#include "KvLivePage.h"
#include "KvStringGrid.h"

class TLogFilePage : public TKvLivePage {
public:
    TLogFilePage(TViewerContext& ctx, QWidget* parent = nullptr);

    TKvPageIndex PageIndex() const override { return pgLogFile; }
    void InitMainForm() override;
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override { return {{grdLog, 0}}; }

    void LoadLogFiles();
    void grdLogDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;

    TKvStringGrid* grdLog;
};

// Whether a row of grdLog is a member in use of the current group.
bool IsCurrentLogMember(const std::string& groupStatus, const std::string& memberStatus);
