// The login dialog TfrmLIN.
#include "KvLoginForm.h"
#include "KvFonts.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr const char* kCaption = "ﾃﾞｰﾀﾍﾞｰｽへのﾛｸﾞｲﾝ";
constexpr const char* kDriverLabel = "ドライバ：";
constexpr const char* kUserLabel = "ユーザ名：";
constexpr const char* kPasswordLabel = "パスワード：";
constexpr const char* kNote = "DBA権限を持つORACLEﾕｰｻﾞ名を指定して下さい。";
constexpr const char* kOkCaption = "OK";
constexpr const char* kCancelCaption = "ｷｬﾝｾﾙ";
constexpr const char* kFontFamily = kJapaneseFontFamily;
constexpr int kFontPixelSize = 12;
const QColor kDialogGrey(0xC0, 0xC0, 0xC0);

// Control geometry inside the 295 x 183 client area.
constexpr int kLabelLeft = 14, kLabelWidth = 80;
constexpr int kFieldLeft = 96, kFieldWidth = 185, kFieldHeight = 22;
constexpr int kRowDsn = 12, kRowUser = 42, kRowPass = 72, kRowNote = 106;
constexpr int kButtonTop = 140, kButtonWidth = 84, kButtonHeight = 26;
constexpr int kOkLeft = 56, kCancelLeft = 156;

TLoginDialogRunner g_runner;

QLabel* MakeLabel(QWidget* parent, const char* text, int top, int width = kLabelWidth) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(kLabelLeft, top, width, kFieldHeight);
    return label;
}

}  // namespace

void SetLoginDialogRunner(TLoginDialogRunner runner) {
    g_runner = std::move(runner);
}

int RunLoginDialog(TfrmLIN& dialog) {
    return g_runner ? g_runner(dialog) : dialog.exec();
}

TfrmLIN::TfrmLIN(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName("frmLIN");
    setWindowTitle(QString::fromUtf8(kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    QFont dialogFont(kFontFamily);
    dialogFont.setPixelSize(kFontPixelSize);
    setFont(dialogFont);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kDialogGrey);
    setPalette(pal);
    setAutoFillBackground(true);

    MakeLabel(this, kDriverLabel, kRowDsn);
    cbxDSNs = new QComboBox(this);
    cbxDSNs->setObjectName("cbxDSNs");
    cbxDSNs->setEditable(false);
    cbxDSNs->setGeometry(kFieldLeft, kRowDsn, kFieldWidth, kFieldHeight);

    MakeLabel(this, kUserLabel, kRowUser);
    edtUser = new QLineEdit(this);
    edtUser->setObjectName("edtUser");
    edtUser->setGeometry(kFieldLeft, kRowUser, kFieldWidth, kFieldHeight);

    MakeLabel(this, kPasswordLabel, kRowPass);
    edtPass = new QLineEdit(this);
    edtPass->setObjectName("edtPass");
    edtPass->setGeometry(kFieldLeft, kRowPass, kFieldWidth, kFieldHeight);
    edtPass->setEchoMode(QLineEdit::Password);
    edtPass->setStyleSheet("lineedit-password-character: 42;");  // "*"
    // Nothing typed here may leave the field: no copy, drag or input-method memory.
    edtPass->setContextMenuPolicy(Qt::NoContextMenu);
    edtPass->setDragEnabled(false);
    edtPass->setAttribute(Qt::WA_InputMethodEnabled, false);

    MakeLabel(this, kNote, kRowNote, kClientWidth - 2 * kLabelLeft);

    cmdOK = new QPushButton(QString::fromUtf8(kOkCaption), this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(kOkLeft, kButtonTop, kButtonWidth, kButtonHeight);
    cmdCNL = new QPushButton(QString::fromUtf8(kCancelCaption), this);
    cmdCNL->setObjectName("cmdCNL");
    cmdCNL->setGeometry(kCancelLeft, kButtonTop, kButtonWidth, kButtonHeight);
    // Enter presses a button only when the button has the focus; in the
    // fields it moves the focus (eventFilter).
    cmdOK->setAutoDefault(true);
    cmdCNL->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmLIN::cmdOKClick);
    connect(cmdCNL, &QPushButton::clicked, this, &TfrmLIN::cmdCNLClick);

    setTabOrder(edtUser, edtPass);
    setTabOrder(edtPass, cbxDSNs);
    setTabOrder(cbxDSNs, cmdOK);
    setTabOrder(cmdOK, cmdCNL);
    for (QWidget* w : {static_cast<QWidget*>(cbxDSNs), static_cast<QWidget*>(edtUser),
                       static_cast<QWidget*>(edtPass)})
        w->installEventFilter(this);
    edtUser->setFocus();
}

void TfrmLIN::SetDataSources(const std::vector<std::string>& names) {
    cbxDSNs->clear();
    for (const std::string& name : names)
        cbxDSNs->addItem(QString::fromStdString(name));
    if (cbxDSNs->count() > 0)
        cbxDSNs->setCurrentIndex(0);
}

std::string TfrmLIN::DataSource() const {
    return cbxDSNs->currentText().toStdString();
}

std::string TfrmLIN::User() const {
    return edtUser->text().toStdString();
}

std::string TfrmLIN::Password() const {
    return edtPass->text().toStdString();
}

void TfrmLIN::cmdOKClick() {
    LINfuncOK();
}

void TfrmLIN::cmdCNLClick() {
    LINfuncCNL();
}

void TfrmLIN::LINfuncOK() {
    if (LINDataChk())
        accept();
}

void TfrmLIN::LINfuncCNL() {
    reject();
}

bool TfrmLIN::LINDataChk() {
    if (cbxDSNs->currentText().trimmed().isEmpty()) {
        Beep();
        cbxDSNs->setFocus();
        return false;
    }
    return true;
}

void TfrmLIN::Beep() {
    if (OnBeep)
        OnBeep();
    else
        QApplication::beep();
}

bool TfrmLIN::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == cbxDSNs)
                edtUser->setFocus();
            else if (watched == edtUser)
                edtPass->setFocus();
            else if (watched == edtPass)
                cmdOK->setFocus();
            return true;  // swallowed: no beep, no default button
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmLIN::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cmdCNL->setFocus();
        repaint();
        LINfuncCNL();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmLIN::showEvent(QShowEvent* event) {
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}
