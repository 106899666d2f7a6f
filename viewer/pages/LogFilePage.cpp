#include "LogFilePage.h"

#include <QVBoxLayout>

#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "KvText.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kRowHeight = 18;
constexpr int kRed = 255;
constexpr int kGroupCol = 0, kSizeCol = 2, kGroupStatusCol = 1, kMemberStatusCol = 5;
}  // namespace

bool IsCurrentLogMember(const std::string& groupStatus, const std::string& memberStatus) {
    return groupStatus == "CURRENT" && Trim(memberStatus).empty();
}

TLogFilePage::TLogFilePage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabLogFile");
    grdLog = new TKvStringGrid("grdLog", 1, 0, this);
    grdLog->ConnectDrawCell(this, &TLogFilePage::grdLogDrawCell);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kTopBand, 0, 0);
    layout->addWidget(grdLog);
}

void TLogFilePage::InitMainForm() {
    SetUpGrid(*grdLog, {{"Grp#", 34}, {"Status", 60}, {"Size(KB)", 79}, {"Archived", 62},
                        {"File", 338}, {"Status", 47}},
              kRowHeight);
    grdLog->SetRowCount(2);
}

void TLogFilePage::LoadPage(bool) { LoadLogFiles(); }

void TLogFilePage::grdLogDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col == kGroupCol || col == kSizeCol;
    if (IsCurrentLogMember(grdLog->Cell(kGroupStatusCol, row), grdLog->Cell(kMemberStatusCol, row)))
        style.Text = ColourValue(kRed);
}

void TLogFilePage::LoadLogFiles() {
    ClearMessage();
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::LogFiles(SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdLog);
        while (rows.Fetch()) {
            const int r = fill.NextRow();
            grdLog->SetCell(0, r, FormatInteger(StrToFloatOrZero(rows.Field("GROUPNO"))));
            grdLog->SetCell(1, r, rows.Field("STATUS1"));
            grdLog->SetCell(2, r, FormatGrouped(StrToFloatOrZero(rows.Field("BYTES")) / kBytesPerKB));
            grdLog->SetCell(3, r, rows.Field("ARCHIVED"));
            grdLog->SetCell(4, r, rows.Field("MEMBER"));
            grdLog->SetCell(5, r, rows.Field("STATUS2"));
        }
        if (fill.Filled() > 0) grdLog->SetRow(1);
        fill.Finish(false);
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}
