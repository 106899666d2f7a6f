#include "SessionPage.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "KvText.h"
#include "KvViewerDialogs.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kRowHeight = 17;
constexpr int kGridWidth = 643;
constexpr int kCutWidth = 120, kCutHeight = 25;
constexpr int kIdCol = 0, kStatusCol = 1, kSerialCol = 7;
// Oracle's refusals that say more than "cannot kill".
constexpr int kOraOwnSession = 27;      // ORA-00027: cannot kill current session
constexpr int kOraMarkedForKill = 31;   // ORA-00031: session marked for kill
const char* const kKilledStatus = "KILLED";
const char* const kCannotKill = "切断できません。";
const char* const kOwnSessionReason = "Kelvane 自身のセッションです。";
const char* const kAlreadyKilledReason = "このセッションは既に切断されています (KILLED)。";

QString CannotKill(const char* reason) {
    return QString::fromUtf8(kCannotKill) + (reason ? "\n" + QString::fromUtf8(reason) : QString());
}
}  // namespace

TSessionPage::TSessionPage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabSession");
    auto* band = new QWidget(this);
    band->setFixedHeight(kTopBand);
    auto* frame = new QFrame(band);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* kinds = new QHBoxLayout(frame);
    chkUser = new QCheckBox(QString::fromUtf8("ユーザ"), frame);
    chkUser->setObjectName("chkUser");
    chkUser->setChecked(true);
    chkBack = new QCheckBox(QString::fromUtf8("バックグラウンド"), frame);
    chkBack->setObjectName("chkBack");
    chkBack->setChecked(true);
    kinds->addWidget(chkUser);
    kinds->addWidget(chkBack);
    btnCut = new QPushButton(QString::fromUtf8("切断(&D)"), band);
    btnCut->setObjectName("btnCut");
    btnCut->setFixedSize(kCutWidth, kCutHeight);
    btnCut->setFocusPolicy(Qt::ClickFocus);   // skipped by the Tab key
    connect(btnCut, &QPushButton::clicked, this, &TSessionPage::btnCutClick);
    // The button answers Esc wherever the focus is in the window, as long as
    // it is shown: on any other page the key does nothing.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), btnCut);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &TSessionPage::btnCutClick);
    auto* bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(4, 8, 4, 4);
    bandLayout->addWidget(frame);
    bandLayout->addStretch(1);
    bandLayout->addWidget(btnCut);

    grdSes = new TKvStringGrid("grdSes", 1, 0, this);
    grdSes->setFixedWidth(kGridWidth);
    grdSes->ConnectDrawCell(this, &TSessionPage::grdSesDrawCell);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(grdSes, 1, Qt::AlignLeft);
}

void TSessionPage::InitMainForm() {
    SetUpGrid(*grdSes, {{"ID", 20}, {"Status", 45}, {"User", 59}, {"Schema", 59}, {"OS User", 53},
                        {"Machine", 85}, {"Program", 241}, {"Serial#", 53}},
              kRowHeight);
    grdSes->SetRowCount(2);
}

void TSessionPage::LoadPage(bool) { LoadSessions(); }

void TSessionPage::grdSesDrawCell(int col, int, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col == kIdCol || col == kSerialCol;
}

void TSessionPage::LoadSessions() {
    ClearMessage();
    guide_.clear();
    const bool users = chkUser->isChecked(), background = chkBack->isChecked();
    if (!users && !background) {
        guide_ = QString::fromUtf8("ユーザまたはバックグラウンドを指定して下さい。");
        SetMessage(guide_);
        return;
    }
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::Sessions(SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdSes);
        while (rows.Fetch()) {
            const std::string type = rows.Field("TYPE");
            if (!((type == "USER" && users) || (type == "BACKGROUND" && background))) continue;
            const int r = fill.NextRow();
            grdSes->SetCell(0, r, FormatGrouped(StrToFloatOrZero(rows.Field("SID"))));
            grdSes->SetCell(1, r, rows.Field("STATUS"));
            grdSes->SetCell(2, r, rows.Field("USERNAME"));
            grdSes->SetCell(3, r, rows.Field("SCHEMANAME"));
            grdSes->SetCell(4, r, rows.Field("OSUSER"));
            grdSes->SetCell(5, r, rows.Field("MACHINE"));
            grdSes->SetCell(6, r, rows.Field("PROGRAM"));
            grdSes->SetCell(7, r, FormatInteger(StrToFloatOrZero(rows.Field("SERIAL#"))));
        }
        if (fill.Filled() > 0) grdSes->SetRow(1);
        fill.Finish(false);
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}

void TSessionPage::btnCutClick() {
    const int row = grdSes->Row();
    std::string sid = Trim(grdSes->Cell(kIdCol, row));
    if (sid.empty()) {
        grdSes->setFocus();
        return;
    }
    // A killed session stays listed until the instance has cleaned it up.
    if (Trim(grdSes->Cell(kStatusCol, row)) == kKilledStatus) {
        ViewerDialogs().Message(CannotKill(kAlreadyKilledReason));
        grdSes->setFocus();
        return;
    }
    if (!ViewerDialogs().ConfirmWarning(QString::fromUtf8("指定したセッションを切断します。"))) {
        grdSes->setFocus();
        return;
    }
    sid.erase(std::remove(sid.begin(), sid.end(), ','), sid.end());   // digit grouping of "ID"
    const auto statement = kvsql::KillSession(sid, Trim(grdSes->Cell(kSerialCol, row)));
    bool killed = false;
    const char* reason = nullptr;
    if (statement) {
        try {
            Rows().Run(*statement);
            killed = true;
        } catch (const EODBCError& e) {   // refused, no privilege, session gone
            if (e.NativeError == kOraOwnSession) reason = kOwnSessionReason;
            else if (e.NativeError == kOraMarkedForKill) reason = kAlreadyKilledReason;
        } catch (const std::exception&) {
        }
    }
    if (!killed) {
        ViewerDialogs().Message(CannotKill(reason));
        grdSes->setFocus();
        return;
    }
    SetMessage(QString::fromUtf8("セッションを切断しました。"));
    grdSes->setFocus();
}
