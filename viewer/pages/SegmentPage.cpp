#include "SegmentPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kRowHeight = 17;
constexpr int kFirstNumberCol = 4;   // "Size(KB)" and "Blocks"
}  // namespace

TSegmentPage::TSegmentPage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabSegment");
    auto* band = new QWidget(this);
    band->setFixedHeight(kTopBand);
    auto* grpSeg = new QGroupBox("SegmentType", band);
    grpSeg->setObjectName("grpSeg");
    chkStTb = new QCheckBox("TABLE", grpSeg);
    chkStTb->setObjectName("chkStTb");
    chkStTb->setChecked(true);
    chkStIx = new QCheckBox("INDEX", grpSeg);
    chkStIx->setObjectName("chkStIx");
    auto* kinds = new QHBoxLayout(grpSeg);
    kinds->setContentsMargins(6, 2, 6, 2);
    kinds->addWidget(chkStTb);
    kinds->addWidget(chkStIx);
    auto* bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(4, 4, 4, 4);
    bandLayout->addWidget(grpSeg);
    bandLayout->addStretch(1);

    grdSeg = new TKvStringGrid("grdSeg", 1, 0, this);
    grdSeg->ConnectDrawCell(this, &TSegmentPage::grdSegDrawCell);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(grdSeg, 1);
}

void TSegmentPage::InitMainForm() {
    SetUpGrid(*grdSeg, {{"Owner", 65}, {"TableSpace", 115}, {"SegmentType", 101},
                        {"SegmentName", 227}, {"Size(KB)", 58}, {"Blocks", 55}},
              kRowHeight);
    grdSeg->SetRowCount(2);
}

void TSegmentPage::LoadPage(bool) { LoadSegments(); }

void TSegmentPage::grdSegDrawCell(int col, int, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col >= kFirstNumberCol;
}

void TSegmentPage::LoadSegments() {
    ClearMessage();
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::Segments(chkStTb->isChecked(), chkStIx->isChecked(), SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdSeg);
        while (rows.Fetch()) {
            const int r = fill.NextRow();
            grdSeg->SetCell(0, r, rows.Field("OWNER"));
            grdSeg->SetCell(1, r, rows.Field("TABLESPACE_NAME"));
            grdSeg->SetCell(2, r, rows.Field("SEGMENT_TYPE"));
            grdSeg->SetCell(3, r, rows.Field("SEGMENT_NAME"));
            grdSeg->SetCell(4, r, FormatGrouped(StrToFloatOrZero(rows.Field("BYTES")) / kBytesPerKB));
            grdSeg->SetCell(5, r, FormatGrouped(StrToFloatOrZero(rows.Field("BLOCKS"))));
        }
        if (fill.Filled() > 0) grdSeg->SetRow(1);
        // An empty result (say, no segment of the chosen types) shows an
        // empty grid, not the rows of the previous load.
        fill.Finish(true);
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}
