// Page 6 "ｾｯｼｮﾝ": user and/or background sessions of V$SESSION, and the
// kill of the selected session.
#pragma once

#include "KvLivePage.h"
#include "KvStringGrid.h"

class QCheckBox;
class QPushButton;

class TSessionPage : public TKvLivePage {
public:
    TSessionPage(TViewerContext& ctx, QWidget* parent = nullptr);

    TKvPageIndex PageIndex() const override { return pgSession; }
    void InitMainForm() override;
    // Kept while the last load was refused for want of a session kind, so
    // that the guide shown after the load does not hide it.
    QString Guide() const override { return guide_; }
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override { return {{grdSes, 0}}; }

    void LoadSessions();
    // Also the Esc key, whatever has the focus, while this page is shown.
    void btnCutClick();
    void grdSesDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const;

    QCheckBox* chkUser;
    QCheckBox* chkBack;
    QPushButton* btnCut;
    TKvStringGrid* grdSes;

private:
    QString guide_;
};
