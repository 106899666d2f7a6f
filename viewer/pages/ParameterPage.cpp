#include "ParameterPage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kRowHeight = 17;
constexpr int kDescLeft = 3, kDescTop = 30, kDescWidth = 640, kDescHeight = 18;
constexpr int kLightYellow = 8454143;
constexpr int kNumCol = 0, kValueCol = 2;
constexpr int kDescriptionCol = 0, kTypeCol = 1;   // of grdDesc
const char* const kIntegerType = "3";
}  // namespace

QColor ParameterTypeColour(const std::string& type) {
    if (type == "1") return ColourValue(32768);      // Boolean: green
    if (type == "2") return ColourValue(16711680);   // string: blue
    if (type == "3") return ColourValue(255);        // integer: red
    if (type == "4") return ColourValue(8388736);    // parameter file: purple
    return Qt::black;
}

TParameterPage::TParameterPage(TViewerContext& ctx, QWidget* parent)
    : TKvLivePage(ctx, parent), grdDesc(std::make_unique<TStringTable>(1, 0, 2, 2)) {
    setObjectName("tabParameter");
    auto* band = new QWidget(this);
    band->setFixedHeight(kTopBand);
    pnlDesc = new QLabel(band);
    pnlDesc->setObjectName("pnlDesc");
    pnlDesc->setGeometry(kDescLeft, kDescTop, kDescWidth, kDescHeight);
    pnlDesc->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlDesc->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnlDesc->setAutoFillBackground(true);
    QPalette pal = pnlDesc->palette();
    pal.setColor(QPalette::Window, ColourValue(kLightYellow));
    pnlDesc->setPalette(pal);

    grdParm = new TKvStringGrid("grdParm", 1, 0, this);
    grdParm->ConnectDrawCell(this, &TParameterPage::grdParmDrawCell);
    grdParm->ConnectSelectCell(this, &TParameterPage::grdParmSelectCell);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(grdParm, 1);
}

TParameterPage::~TParameterPage() = default;

void TParameterPage::InitMainForm() {
    SetUpGrid(*grdParm, {{"NUM", 27}, {"Name", 235}, {"Value", 138}, {"Default", 45},
                         {"SES_Mod", 45}, {"SYS_Mod", 45}, {"Modified", 45}, {"Adjusted", 39}},
              kRowHeight);
    grdParm->SetRowCount(2);
}

void TParameterPage::LoadPage(bool) { LoadParameters(); }

void TParameterPage::grdParmDrawCell(int col, int row, TKvStringGrid::CellStyle& style) const {
    if (col == kNumCol) style.RightAlign = true;
    if (col != kValueCol) return;
    const std::string type = row < grdDesc->RowCount() ? grdDesc->Cell(kTypeCol, row) : std::string();
    style.Text = ParameterTypeColour(type);
    style.RightAlign = type == kIntegerType;
}

bool TParameterPage::grdParmSelectCell(int, int row) {
    if (row != grdParm->Row() && row < grdDesc->RowCount())
        pnlDesc->setText(QString::fromStdString(grdDesc->Cell(kDescriptionCol, row)));
    return true;
}

void TParameterPage::LoadParameters() {
    ClearMessage();
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::Parameters(SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdParm);
        while (rows.Fetch()) {
            const int r = fill.NextRow();
            grdParm->SetCell(0, r, FormatInteger(StrToFloatOrZero(rows.Field("NUM"))));
            grdParm->SetCell(1, r, rows.Field("NAME"));
            grdParm->SetCell(2, r, rows.Field("VALUE"));
            grdParm->SetCell(3, r, rows.Field("ISDEFAULT"));
            grdParm->SetCell(4, r, rows.Field("ISSES_MODIFIABLE"));
            grdParm->SetCell(5, r, rows.Field("ISSYS_MODIFIABLE"));
            grdParm->SetCell(6, r, rows.Field("ISMODIFIED"));
            grdParm->SetCell(7, r, rows.Field("ISADJUSTED"));
            if (grdDesc->RowCount() < r + 1) grdDesc->SetRowCount(grdParm->RowCount());
            grdDesc->SetCell(0, r, rows.Field("DESCRIPTION"));
            grdDesc->SetCell(1, r, rows.Field("TYPE"));
        }
        const int n = fill.Filled();
        fill.Finish(false);
        grdDesc->SetRowCount(grdParm->RowCount());
        if (n > 0) {
            grdParm->SetRow(1);
            pnlDesc->setText(QString::fromStdString(grdDesc->Cell(0, 1)));
        }
    } catch (const EODBCError& e) {
        grdDesc->SetRowCount(grdParm->RowCount());
        ShowError(e);
    }
}
