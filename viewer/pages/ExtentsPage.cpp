#include "ExtentsPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "KvText.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kRowHeight = 17;
constexpr int kFirstNumberCol = 3;   // the block counts
constexpr int kTotExtCol = 5;
constexpr size_t kManyExtentsWidth = 2;   // a shown text longer than this is 100 or more
constexpr int kRed = 255;
constexpr int kBlue = 16711680;
}  // namespace

QColor TotExtColour(const std::string& shown) {
    const std::string t = Trim(shown);
    if (t.size() > kManyExtentsWidth) return ColourValue(kRed);
    if (t != "0") return ColourValue(kBlue);
    return Qt::black;
}

TExtentsPage::TExtentsPage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabExtents");
    auto* band = new QWidget(this);
    band->setFixedHeight(kTopBand);
    chkExt = new QCheckBox(QString::fromUtf8("TOT_EXT > 0のみ"), band);
    chkExt->setObjectName("chkExt");
    chkExt->setChecked(true);
    chkExt->move(8, 30);
    grdExt = new TKvStringGrid("grdExt", 1, 0, this);
    grdExt->ConnectDrawCell(this, &TExtentsPage::grdExtDrawCell);
    lblBlk5 = new QLabel(this);
    lblBlk5->setObjectName("lblBlk5");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(grdExt, 1);
    layout->addWidget(lblBlk5, 0, Qt::AlignLeft);
}

void TExtentsPage::InitMainForm() {
    SetUpGrid(*grdExt, {{"TableSpace", 101}, {"Type", 63}, {"ObjectName", 135}, {"FstExt(BLK)", 80},
                        {"NxtExt(BLK)", 80}, {"TotExt(BLK)", 80}, {"TOTAL(BLK)", 80}},
              kRowHeight);
    grdExt->SetRowCount(2);
    lblBlk5->setText(QString::asprintf("1Block=%dBytes", ctx_.BlockSize));
}

void TExtentsPage::LoadPage(bool) { LoadExtents(); }

void TExtentsPage::grdExtDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col >= kFirstNumberCol;
    if (col == kTotExtCol) style.Text = TotExtColour(grdExt->Cell(col, row));
}

void TExtentsPage::LoadExtents() {
    ClearMessage();
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::Extents(chkExt->isChecked(), SortCol(0), SortDir(0)));
        const std::string nullText = rows.NullText();
        auto blocks = [&](const std::string& name) {
            const std::string v = rows.Field(name);
            return v == nullText ? std::string("0") : FormatGrouped(StrToFloatOrZero(v));
        };
        TKvGridFill fill(*grdExt);
        while (rows.Fetch()) {
            const int r = fill.NextRow();
            grdExt->SetCell(0, r, rows.Field("T_SPACE"));
            grdExt->SetCell(1, r, rows.Field("TYPE"));
            grdExt->SetCell(2, r, rows.Field("OBJECT_NAME"));
            grdExt->SetCell(3, r, blocks("FST_EXT"));
            grdExt->SetCell(4, r, blocks("NXT_EXT"));
            grdExt->SetCell(5, r, blocks("TOT_EXT"));
            grdExt->SetCell(6, r, blocks("TOT_BLKS"));
        }
        const int n = fill.Filled();
        // An empty result clears the grid: the rows of an earlier load would
        // otherwise pass for the current state.
        fill.Finish(true);
        if (n > 0) grdExt->SetRow(1);
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}
