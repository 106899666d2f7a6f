// The hidden maintenance tab "Test": runs the hour steps for a chosen date
// and hour, a whole simulated day, or copies the latch counters into a table.
#pragma once

#include <QWidget>

class QDateEdit;
class QTimeEdit;
class QPlainTextEdit;
class TfrmKVG;

class TTestPanel : public QWidget {
    Q_OBJECT
public:
    explicit TTestPanel(TfrmKVG& form);

    QDateEdit* DatePick = nullptr;
    QTimeEdit* TimePick = nullptr;
    QPlainTextEdit* memoTest = nullptr;

public slots:
    void btnHourClick();
    void btnDayClick();
    void btnLatchInsertClick();
    void btnClearAllClick();
    void btnClearMinusClick();

private:
    int ChosenDate() const;
    int ChosenHour() const;
    void Memo(const QString& line);

    TfrmKVG& form_;
};
