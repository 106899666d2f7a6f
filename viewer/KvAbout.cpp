#include "KvAbout.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#ifndef KELV_VERSION
#define KELV_VERSION "1.0.0"
#endif

namespace {
constexpr int kClientWidth = 325;
constexpr int kClientHeight = 196;
const QColor kSilver(192, 192, 192);

QFrame* BevelLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* CentredLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
}  // namespace

TfrmABT::TfrmABT(QWidget* parent, const QString& exePath)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmABT");
    setWindowTitle("ﾊﾞｰｼﾞｮﾝ情報");
    setFixedSize(kClientWidth, kClientHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kSilver);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addWidget(panel);

    auto* layout = new QVBoxLayout(panel);
    auto* version = CentredLabel("lblVersion", panel);
    version->setText(QString("%1  Version %2").arg(QCoreApplication::applicationName(), KELV_VERSION));
    lblEXEMei = CentredLabel("lblEXEMei", panel);
    lblEXEDate = CentredLabel("lblEXEDate", panel);
    lblEXETime = CentredLabel("lblEXETime", panel);
    btnYes = new QPushButton("ＯＫ", panel);
    btnYes->setObjectName("btnYes");
    btnYes->setDefault(true);
    connect(btnYes, &QPushButton::clicked, this, &QDialog::accept);

    layout->addWidget(version);
    layout->addWidget(lblEXEMei);
    layout->addWidget(BevelLine(panel));
    layout->addWidget(lblEXEDate);
    layout->addWidget(lblEXETime);
    layout->addWidget(BevelLine(panel));
    layout->addWidget(btnYes, 0, Qt::AlignHCenter);

    FormCreate(exePath.isEmpty() ? QCoreApplication::applicationFilePath() : exePath);
    // Centred on the screen, wherever the main window stands.
    if (QScreen* display = screen()) move(display->availableGeometry().center() - rect().center());
}

void TfrmABT::FormCreate(const QString& exePath) {
    const QFileInfo file(exePath.trimmed());
    const QDateTime written = file.lastModified();
    lblEXEMei->setText(file.fileName());
    lblEXEDate->setText(written.toString("yyyy/MM/dd"));
    lblEXETime->setText(written.toString("HH:mm:ss"));
}

void ShowAboutBox(QWidget* parent) {
    TfrmABT box(parent);
    box.exec();
}
