// The login dialog TfrmLIN: data source, user name and password.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfrmLIN : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 295;
    static constexpr int kClientHeight = 183;

    explicit TfrmLIN(QWidget* parent = nullptr);

    // Fills cbxDSNs in the given order and selects the first.
    void SetDataSources(const std::vector<std::string>& names);
    std::string DataSource() const;
    std::string User() const;
    std::string Password() const;  // as typed, not trimmed

    // Called instead of QApplication::beep (tests count the beeps).
    std::function<void()> OnBeep;

    QComboBox* cbxDSNs;
    QLineEdit* edtUser;
    QLineEdit* edtPass;
    QPushButton* cmdOK;
    QPushButton* cmdCNL;

public slots:
    void cmdOKClick();
    void cmdCNLClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LINfuncOK();
    void LINfuncCNL();
    bool LINDataChk();
    void Beep();
};

// How Login shows the dialog; tests replace it to drive the dialog without
// a modal loop (nullptr restores QDialog::exec).
using TLoginDialogRunner = std::function<int(TfrmLIN&)>;
void SetLoginDialogRunner(TLoginDialogRunner runner);
// Shows the dialog through the installed runner; QDialog::Accepted or Rejected.
int RunLoginDialog(TfrmLIN& dialog);
