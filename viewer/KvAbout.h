// About box frmABT: the program's version and the running executable's
// file name, date and time.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TfrmABT : public QDialog {
public:
    // exePath: the running executable unless given (tests pass a copy).
    explicit TfrmABT(QWidget* parent = nullptr, const QString& exePath = QString());

    QLabel* lblEXEMei = nullptr;
    QLabel* lblEXEDate = nullptr;
    QLabel* lblEXETime = nullptr;
    QPushButton* btnYes = nullptr;

private:
    void FormCreate(const QString& exePath);
};

// Creates the box, shows it modally and releases it when it closes.
void ShowAboutBox(QWidget* parent);
