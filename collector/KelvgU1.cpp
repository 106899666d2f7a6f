#include "KelvgU1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "KvCom.h"
#include "KvFonts.h"
#include "KvIni.h"
#include "KvgTestPanel.h"

namespace {
const char* const kWindowFont = kJapaneseFontFamily;
constexpr int kWindowFontPoints = 9;
const char* const kConfirmText =
    "%1 を終了しますか？\r\n終了すると、データベースのパフォーマンスに関する\r\nデータのロギングが行われません。";

QIcon ProgramIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 96, 160));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(1, 1, 30, 30, 6, 6);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, "K");
    return QIcon(pm);
}

QWidget* CaptionRow(const char* caption, QWidget* field, const char* unit = nullptr)
{
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->addWidget(new QLabel(QString::fromUtf8(caption)));
    h->addWidget(field);
    if (unit) h->addWidget(new QLabel(QString::fromUtf8(unit)));
    h->addStretch();
    return row;
}
}  // namespace

TfrmKVG::TfrmKVG(TIniData& ini, std::string dataDir, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      engine_(std::move(dataDir)),
      qryODBC(engine_.qryODBC),
      ini_(ini)
{
    ConfirmFn = [this](const QString& text) {
        return QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    QuitFn = [] { QCoreApplication::quit(); };

    BuildControls();
    AddTrayIcon();
}

TfrmKVG::~TfrmKVG()
{
    if (trayIcon) trayIcon->hide();  // the tray icon goes with the window
}

void TfrmKVG::BuildControls()
{
    setWindowTitle(QString::fromUtf8(kCollectorCaption));
    setWindowIcon(ProgramIcon());
    setFont(QFont(kWindowFont, kWindowFontPoints));
    setFixedSize(kCollectorWidth, kCollectorHeight);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    pageCtrl = new QTabWidget;

    tabSet = new QWidget;
    sedtKpDays = new QSpinBox;
    sedtKpDays->setRange(kKeepDaysMin, kKeepDaysMax);
    sedtKpDays->setValue(kKeepDaysDefault);
    // Changed through the arrows only: the text itself cannot be typed into.
    if (auto* edit = sedtKpDays->findChild<QLineEdit*>()) {
        edit->setReadOnly(true);
        edit->setMaxLength(3);
    }
    auto* setLayout = new QVBoxLayout(tabSet);
    setLayout->addWidget(CaptionRow("データ保存日数 : ", sedtKpDays, "日 "));
    setLayout->addStretch();

    auto makeCombo = [this] {
        auto* c = new QComboBox;
        connect(c, &QComboBox::activated, this, &TfrmKVG::prcOnChange);
        return c;
    };
    cmbMemSP = makeCombo();
    cmbMemLB = makeCombo();
    cmbCPU = makeCombo();
    cmbFMem = makeCombo();
    cmbPgO = makeCombo();

    tabMemory = new QWidget;
    auto* memLayout = new QVBoxLayout(tabMemory);
    memLayout->addWidget(CaptionRow("Shared_Poolﾃﾞｰﾀ取得間隔 : ", cmbMemSP));
    memLayout->addWidget(CaptionRow("Log_Bufferﾃﾞｰﾀ取得間隔 : ", cmbMemLB));
    memLayout->addStretch();

    tabOperat = new QWidget;
    auto* opLayout = new QVBoxLayout(tabOperat);
    opLayout->addWidget(CaptionRow("CPU使用率データ取得間隔 : ", cmbCPU));
    opLayout->addWidget(CaptionRow("空メモリデータ取得間隔 : ", cmbFMem));
    opLayout->addWidget(CaptionRow("Page Out データ取得間隔 : ", cmbPgO));
    opLayout->addStretch();

    tabTest = new TTestPanel(*this);

    pageCtrl->addTab(tabSet, QString::fromUtf8("全般"));
    pageCtrl->addTab(tabMemory, QString::fromUtf8("メモリ設定"));
    pageCtrl->addTab(tabOperat, QString::fromUtf8("稼動率設定"));
    pageCtrl->addTab(tabTest, QStringLiteral("Test"));

    btnTerminate = new QPushButton(QString::fromUtf8("プロセス終了(&X)"));
    btnOK = new QPushButton(QString::fromUtf8("OK(&O)"));
    btnCancel = new QPushButton(QString::fromUtf8("ｷｬﾝｾﾙ(&C)"));
    btnSave = new QPushButton(QString::fromUtf8("適用(&A)"));
    btnSave->setEnabled(false);
    connect(btnTerminate, &QPushButton::clicked, this, &TfrmKVG::btnTerminateClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmKVG::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmKVG::btnCancelClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmKVG::btnSaveClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnTerminate);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnSave);
    auto* main = new QVBoxLayout(this);
    main->addWidget(pageCtrl);
    main->addLayout(buttons);

    evtTimer = new QTimer(this);
    evtTimer->setInterval(kTickIntervalMs);
    connect(evtTimer, &QTimer::timeout, this, &TfrmKVG::evtTimerTimer);

    popTrayMenu = new QMenu(this);
    pmenuSet = popTrayMenu->addAction(QString::fromUtf8("設定(&S)"));
    popTrayMenu->addSeparator();
    pmenuTerminate = popTrayMenu->addAction(QString::fromUtf8("プロセス終了(&X)"));
    connect(pmenuSet, &QAction::triggered, this, &TfrmKVG::pmenuSetClick);
    connect(pmenuTerminate, &QAction::triggered, this, &TfrmKVG::pmenuTerminateClick);
}

void TfrmKVG::AddTrayIcon()
{
    trayIcon = new QSystemTrayIcon(ProgramIcon(), this);
    trayIcon->setToolTip(QString::fromUtf8(kCollectorCaption));
    trayIcon->setContextMenu(popTrayMenu);  // right click opens the menu
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) ShowSettings();
            });
    if (QSystemTrayIcon::isSystemTrayAvailable()) trayIcon->show();
}

QComboBox* TfrmKVG::IntervalCombo(int sampler) const
{
    QComboBox* combos[kSamplerCount] = {cmbMemSP, cmbMemLB, cmbCPU, cmbFMem, cmbPgO};
    return combos[sampler];
}

void TfrmKVG::InitCollector()
{
    engine_.Init(ini_);
    for (int i = 0; i < kSamplerCount; ++i) {
        IntervalCombo(i)->clear();
        for (const char* label : IntervalLabels) IntervalCombo(i)->addItem(QString::fromUtf8(label));
    }
    SettingsToControls();
    pageCtrl->setTabVisible(pageCtrl->indexOf(tabTest), false);
    pageCtrl->setCurrentWidget(tabSet);
    evtTimer->start();
}

void TfrmKVG::SettingsToControls()
{
    TCollectorSettings& s = engine_.Scheduler().Settings;
    sedtKpDays->setValue(KeepDaysFor(s.CMNKD));
    s.CMNKD = sedtKpDays->value();
    for (int i = 0; i < kSamplerCount; ++i) {
        const int index = IntervalIndexFor(s.Interval[i]);
        IntervalCombo(i)->setCurrentIndex(index);
        s.Interval[i] = IntervalSeconds[index];
    }
}

void TfrmKVG::ControlsToSettings()
{
    TCollectorSettings& s = engine_.Scheduler().Settings;
    s.CMNKD = sedtKpDays->value();
    for (int i = 0; i < kSamplerCount; ++i) {
        const int index = std::max(0, IntervalCombo(i)->currentIndex());
        s.Interval[i] = IntervalSeconds[index];
    }
}

bool TfrmKVG::ConfirmTerminate()
{
    const QString text = QString::fromUtf8(kConfirmText).arg(windowTitle());
    if (!ConfirmFn(text)) return false;
    if (StoreChangedSettings(ini_, engine_.Scheduler().Settings) > 0) {
        const std::string settingsFile = ini_.FileName();  // the file it was loaded from
        try {
            ini_.Save(settingsFile);
        } catch (const std::exception& e) {
            // The program still ends; the reason is kept in the error log.
            WriteErrLog("KVGConfirmTerminate", settingsFile, e.what());
        }
    }
    ini_.Close();
    FinishAndQuit();
    return true;
}

void TfrmKVG::EndWithoutConfirm()
{
    if (terminating_) return;
    ini_.Close();
    FinishAndQuit();
}

void TfrmKVG::FinishAndQuit()
{
    terminating_ = true;
    evtTimer->stop();
    // Lines a reader kept back get their last try; the refused ones go to
    // the error log with their figures.
    if (engine_.HasPendingWrites()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        engine_.FinishPendingWrites();
        QApplication::restoreOverrideCursor();
    }
    QuitFn();
}

void TfrmKVG::StartDisconnected(const std::string& reason) { engine_.StartDisconnected(reason); }

void TfrmKVG::RefreshCheckPoint() { engine_.RefreshCheckPoint(); }

void TfrmKVG::ShowSettings()
{
    show();
    raise();
    activateWindow();
}

void TfrmKVG::evtTimerTimer()
{
    evtTimer->stop();
    engine_.Tick();  // never throws: failures are logged inside
    if (!terminating_) evtTimer->start();
}

void TfrmKVG::prcOnChange() { btnSave->setEnabled(true); }

void TfrmKVG::btnOKClick()
{
    ControlsToSettings();
    hide();
}

void TfrmKVG::btnCancelClick()
{
    SettingsToControls();
    btnOK->setFocus();
    hide();
}

void TfrmKVG::btnSaveClick() { ControlsToSettings(); }

void TfrmKVG::btnTerminateClick()
{
    if (!ConfirmTerminate()) btnOK->setFocus();
}

void TfrmKVG::pmenuSetClick() { ShowSettings(); }

void TfrmKVG::pmenuTerminateClick() { ConfirmTerminate(); }

void TfrmKVG::showEvent(QShowEvent* e)
{
    btnSave->setEnabled(false);
    QWidget::showEvent(e);
}

void TfrmKVG::closeEvent(QCloseEvent* e)
{
    if (terminating_ || ConfirmTerminate())
        e->accept();
    else
        e->ignore();
}
