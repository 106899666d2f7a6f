#include "FreeSpacePage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kRowHeight = 18;
constexpr int kFreePercentCol = 3;
constexpr int kBlue = 16711680;
}  // namespace

TFreeSpacePage::TFreeSpacePage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabFet");
    auto* band = new QWidget(this);
    band->setFixedHeight(kTopBand);
    lblBlk8 = new QLabel(band);
    lblBlk8->setObjectName("lblBlk8");
    lblBlk8->move(8, 36);
    grdFet = new TKvStringGrid("grdFet", 1, 0, this);
    grdFet->ConnectDrawCell(this, &TFreeSpacePage::grdFetDrawCell);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(grdFet, 1);
}

void TFreeSpacePage::InitMainForm() {
    SetUpGrid(*grdFet, {{"TableSpace", 114}, {"Size", 65}, {"Free", 65}, {"Free(%)", 65},
                        {"Pieces", 65}, {"Biggest", 65}, {"Smallest", 65}, {"Average", 65},
                        {"Dead", 48}},
              kRowHeight);
    grdFet->SetRowCount(2);
    lblBlk8->setText(QString::fromUtf8("単位:Block(%1Bytes)").arg(ctx_.BlockSize));
    lblBlk8->adjustSize();
}

void TFreeSpacePage::LoadPage(bool) { LoadFreeSpace(); }

void TFreeSpacePage::grdFetDrawCell(int col, int, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col >= 1;
    if (col == kFreePercentCol) style.Text = ColourValue(kBlue);
}

void TFreeSpacePage::LoadFreeSpace() {
    ClearMessage();
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::FreeSpace(SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdFet);
        auto grouped = [&](const char* name) { return FormatGrouped(StrToFloatOrZero(rows.Field(name))); };
        while (rows.Fetch()) {
            const int r = fill.NextRow();
            grdFet->SetCell(0, r, rows.Field("TSPACE"));
            grdFet->SetCell(1, r, grouped("BLOCKS"));
            grdFet->SetCell(2, r, grouped("FREE"));
            grdFet->SetCell(3, r, FormatTwoDecimals(StrToFloatOrZero(rows.Field("FREEP"))));
            grdFet->SetCell(4, r, grouped("PIECES"));
            grdFet->SetCell(5, r, grouped("BIGGEST"));
            grdFet->SetCell(6, r, grouped("SMALLEST"));
            grdFet->SetCell(7, r, grouped("AVERAGE"));
            grdFet->SetCell(8, r, rows.Field("DEAD"));
        }
        if (fill.Filled() > 0) grdFet->SetRow(1);
        fill.Finish(true);
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}
