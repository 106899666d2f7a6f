#include "KvgTestPanel.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "KelvgU1.h"

namespace {
const char* const kLatchInsertSql =
    "INSERT INTO KVMEMLA  (   MLDATE,        MLLATCH,       MLGET,         MLMISS        )  "
    "SELECT   ?,            NAME,        GETS   + IMMEDIATE_GETS,  MISSES + IMMEDIATE_MISSES  "
    "FROM V$LATCH ";
constexpr int kStepMinute = 1;  // each simulated hour step runs at hh:01:01
constexpr int kStepSecond = 1;
}  // namespace

TTestPanel::TTestPanel(TfrmKVG& form) : form_(form)
{
    auto* pick = new QGroupBox(QString::fromUtf8("日時指定"));
    DatePick = new QDateEdit(QDate::currentDate());
    DatePick->setCalendarPopup(true);
    TimePick = new QTimeEdit(QTime::currentTime());
    auto* grid = new QGridLayout(pick);
    grid->addWidget(new QLabel("Date"), 0, 0);
    grid->addWidget(DatePick, 0, 1);
    grid->addWidget(new QLabel("Time"), 1, 0);
    grid->addWidget(TimePick, 1, 1);

    auto button = [this](const char* caption, void (TTestPanel::*slot)()) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        if (slot) connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* actions = new QHBoxLayout;
    actions->addWidget(button("１時間経過処理起動(&H)", &TTestPanel::btnHourClick));
    actions->addWidget(button("1日MU/OR(&D)", &TTestPanel::btnDayClick));
    actions->addWidget(button("日 - LA(&L)", &TTestPanel::btnLatchInsertClick));
    // The units have no day step of their own: this button does nothing.
    actions->addWidget(button("１日経過処理起動", nullptr));

    auto* memoBox = new QGroupBox(QString::fromUtf8("ﾀｲﾏｰﾃｽﾄ"));
    memoTest = new QPlainTextEdit;
    auto* memoButtons = new QHBoxLayout;
    memoButtons->addWidget(button("全ｸﾘｱ", &TTestPanel::btnClearAllClick));
    memoButtons->addWidget(button("- ｸﾘｱ", &TTestPanel::btnClearMinusClick));
    auto* memoLayout = new QVBoxLayout(memoBox);
    memoLayout->addWidget(memoTest);
    memoLayout->addLayout(memoButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pick);
    layout->addLayout(actions);
    layout->addWidget(memoBox);
}

int TTestPanel::ChosenDate() const
{
    const QDate d = DatePick->date();
    return d.year() * 10000 + d.month() * 100 + d.day();
}

int TTestPanel::ChosenHour() const { return TimePick->time().hour(); }

void TTestPanel::Memo(const QString& line) { memoTest->appendPlainText(line); }

void TTestPanel::btnHourClick()
{
    TMURecord& mu = form_.MemoryUnit().MUPrevForMaintenance();
    TOperatingRateUnit& orUnit = form_.OperatingRateUnit();
    const int formerDate = mu.Date, formerHour = mu.Hour;
    mu.Date = ChosenDate();
    mu.Hour = ChosenHour();
    orUnit.SetPrev(ChosenDate(), ChosenHour());
    const std::time_t now = std::time(nullptr);
    form_.MemoryUnit().HourMU(now);
    form_.OperatingRateUnit().HourOR(now);
    TMURecord& after = form_.MemoryUnit().MUPrevForMaintenance();
    after.Date = formerDate;
    after.Hour = formerHour;
    orUnit.SetPrev(formerDate, formerHour);
    Memo(QString("HourMU/HourOR %1 %2").arg(ChosenDate()).arg(ChosenHour()));
}

void TTestPanel::btnDayClick()
{
    TMemoryUsageUnit& muUnit = form_.MemoryUnit();
    TOperatingRateUnit& orUnit = form_.OperatingRateUnit();
    const int formerDate = muUnit.MUPrev().Date, formerHour = muUnit.MUPrev().Hour;
    muUnit.MUPrevForMaintenance().Date = ChosenDate();
    muUnit.MUPrevForMaintenance().Hour = 0;
    orUnit.SetPrev(ChosenDate(), 0);
    const QDate day = DatePick->date();
    for (int step = 1; step <= 24; ++step) {
        const QDate d = step < 24 ? day : day.addDays(1);
        const int hour = step % 24;
        const std::time_t t =
            MakeLocalTime(d.year(), d.month(), d.day(), hour, kStepMinute, kStepSecond);
        muUnit.SampleMU_SP();
        muUnit.SampleMU_LB();
        orUnit.SampleOR_CPU();
        orUnit.SampleOR_Mem();
        muUnit.HourMU(t);
        orUnit.HourOR(t);
        Memo(QString::asprintf("%2d:01:01", hour));
    }
    muUnit.MUPrevForMaintenance().Date = formerDate;
    muUnit.MUPrevForMaintenance().Hour = formerHour;
    orUnit.SetPrev(formerDate, formerHour);
}

void TTestPanel::btnLatchInsertClick()
{
    const QString date = DatePick->date().toString("yyyyMMdd");
    try {
        TQueryODBC& q = form_.qryODBC;
        q.SetSQLText(kLatchInsertSql);
        q.Prepare();
        q.SetParamType(1, 1);
        q.SetParam(1, date.toStdString());
        q.Execute();
        Memo(QString("+ LA Insert [%1]").arg(date));
    } catch (const EODBCError&) {
        Memo(QString("+ LA Insert [%1] ** ERR!! ** ").arg(date));
    }
}

void TTestPanel::btnClearAllClick() { memoTest->clear(); }

void TTestPanel::btnClearMinusClick()
{
    QStringList kept;
    for (const QString& line : memoTest->toPlainText().split('\n'))
        if (!line.startsWith('-')) kept << line;
    memoTest->setPlainText(kept.join('\n'));
}
