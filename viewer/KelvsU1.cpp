#include "KelvsU1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "KvAbout.h"
#include "KvCollectorLaunch.h"
#include "KvCom.h"
#include "KvLogin.h"
#include "KvOracle.h"
#include "KvPages.h"
#include "KvSessionNls.h"
#include "KvSortPopup.h"
#include "KvStringGrid.h"
#include "KvText.h"
#include "KvViewerDialogs.h"

namespace {
constexpr int kBottomBarHeight = 25;
constexpr int kMessagePanelWidth = 459;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 24;
// The spacer under the page control: below this the window scrolls.
constexpr int kSpacerHeight = 307;
constexpr int kTabPaddingV = 3;
constexpr int kTabPaddingH = 5;
constexpr int kKeyF3 = Qt::Key_F3;
constexpr int kKeyF9 = Qt::Key_F9;
constexpr const char* kNavy = "#000080";
constexpr const char* kBlockSizeSql = " SELECT * FROM V$PARAMETER  WHERE NAME = ? ";
constexpr const char* kBlockSizeParameter = "db_block_size";
constexpr const char* kFlushSql = " ALTER SYSTEM FLUSH SHARED_POOL ";
constexpr const char* kDatPathKey = "DATPH";
constexpr int kParamChar = 1;  // SetParamType code for character data

bool UsesBlockSize(int page) { return page == pgTableSpace || page == pgFet || page == pgExtents; }

QString GuideOf(int page) {
    switch (page) {
    case pgCheckPoint: return "時間帯ごとの回数を表示するには日付を選択して下さい。";
    case pgTableSpace: return "テーブルスペースとファイルを選択して下さい。";
    case pgMemory:
    case pgRate: return "表示する日付を選択して下さい。";
    default: return {};
    }
}
}  // namespace

QFont ViewerFont() {
    QFont font;
    font.setFamilies({kUiFontFamily, kDesignFontFamily});
    font.setPixelSize(kFontPixelSize);
    return font;
}

TfrmKVS::TfrmKVS(QWidget* parent, TPageFactory pageFactory)
    : QMainWindow(parent), query_(std::make_unique<TQueryODBC>("qryODBC")) {
    setObjectName("frmKVS");
    setWindowTitle(kWindowCaption);
    setFont(ViewerFont());

    query_->SetGridInterrupt(200);
    query_->SetNullStrings("<Null>");
    // Each logon (and each reconnect after a lost link) reads numbers with
    // a decimal point and lists in byte order; a refusal leaves the viewer
    // working on the database's own settings.
    SetSessionNlsAfterConnect(*query_, [](const TSessionNlsRefusal& refusal) {
        qWarning("Kelvs: session settings refused: %s", refusal.Message.c_str());
    });
    ctx_.Query = query_.get();
    ctx_.ExeDir = QCoreApplication::applicationDirPath().toStdString();
    paths_ = KelvPathsForProgramDir(ctx_.ExeDir);
    ctx_.SetMessage = [this](const QString& text) { SetMessage(text); };
    ctx_.ShowODBCError = [this](const std::string& text) { ShowODBCError(text); };
    ctx_.NoteODBCState = [this](const std::string& sqlState) { DropLostConnection(sqlState); };

    sortPopup_ = new TKvSortPopup(
        ctx_.Sort, [this] { return ActivePageIndex(); }, [this](bool detailOnly) { prcLoadPage(detailOnly); },
        this);

    BuildMenus();
    // The page control and the bottom bar scroll rather than shrink below
    // the spacer's size.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("scrollMain");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    pageCtrl_ = new QTabWidget(content);
    pageCtrl_->setObjectName("PageCtrl");
    // Narrow tabs, so that all ten captions fit the initial window width;
    // the tab under the pointer lights up (hot tracking).
    pageCtrl_->setStyleSheet(QString("QTabBar::tab { padding: %1px %2px; border: 1px solid #a0a0a0;"
                                     " border-bottom: none; background: #e6e6e6; margin-right: 1px; }"
                                     "QTabBar::tab:selected { background: white; }"
                                     "QTabBar::tab:hover { background: #d6e6f6; }")
                                 .arg(kTabPaddingV)
                                 .arg(kTabPaddingH));
    column->addWidget(pageCtrl_, 1);
    BuildBottomBar(content);
    scroll->setWidget(content);
    setCentralWidget(scroll);

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName("StatusBar1");
    statusBar1_->setSizeGripEnabled(false);
    statusText_ = new QLabel(statusBar1_);
    statusText_->setObjectName("StatusBar1Text");
    statusText_->setStyleSheet(QString("color: %1;").arg(kNavy));
    statusBar1_->addWidget(statusText_, 1);
    setStatusBar(statusBar1_);

    BuildPages(pageFactory ? pageFactory : TPageFactory(CreateViewerPage));
    // FormCreate: the spacer spans the page control's initial width. Below
    // it the window scrolls; and below what a page needs to show all of its
    // views (the tablespace chart is 174 pixels high), so that none is cut.
    const int pagesNeed = pageCtrl_->minimumSizeHint().height() + kBottomBarHeight;
    content->setMinimumSize(kWindowWidth, std::max(kSpacerHeight, pagesNeed));

    resize(kWindowWidth, kWindowHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(pageCtrl_, &QTabWidget::currentChanged, this, &TfrmKVS::PageCtrlChange);
    qApp->installEventFilter(this);
}

TfrmKVS::~TfrmKVS() {
    qApp->removeEventFilter(this);
    // Pages hold a reference to the context and use the query: drop them first.
    delete pageCtrl_;
    pageCtrl_ = nullptr;
}

void TfrmKVS::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu("ﾌｧｲﾙ(&F)");
    file->setObjectName("mFile");
    QAction* reset = file->addAction("再表示(&R)");
    reset->setObjectName("mItemReset");
    file->addSeparator();
    QAction* exit = file->addAction("終了(&X)");
    exit->setObjectName("mItemExit");
    QMenu* operate = bar->addMenu("操作(&O)");
    operate->setObjectName("mOperate");
    QAction* flush = operate->addAction("ﾌﾗｯｼｭ(&L)");
    flush->setObjectName("mItemFlush");
    QMenu* help = bar->addMenu("ﾍﾙﾌﾟ(&H)");
    help->setObjectName("mHelp");
    QAction* about = help->addAction("ﾊﾞｰｼﾞｮﾝ情報(&A)");
    about->setObjectName("mItemAbout");

    connect(reset, &QAction::triggered, this, &TfrmKVS::cmdFunc9Click);
    connect(exit, &QAction::triggered, this, &TfrmKVS::cmdFunc3Click);
    connect(flush, &QAction::triggered, this, &TfrmKVS::mItemFlushClick);
    connect(about, &QAction::triggered, this, &TfrmKVS::mItemAboutClick);
}

void TfrmKVS::BuildBottomBar(QWidget* content) {
    auto* pnlBottom = new QWidget(content);
    pnlBottom->setObjectName("pnlBottom");
    pnlBottom->setFixedHeight(kBottomBarHeight);
    auto* row = new QHBoxLayout(pnlBottom);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    pnlMess_ = new QLabel(pnlBottom);
    pnlMess_->setObjectName("pnlMess");
    pnlMess_->setFixedWidth(kMessagePanelWidth);
    pnlMess_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    row->addWidget(pnlMess_);
    row->addStretch(1);
    cmdFunc3_ = new QPushButton("終了(F3)", pnlBottom);
    cmdFunc3_->setObjectName("cmdFunc3");
    cmdFunc3_->setFixedSize(kButtonWidth, kButtonHeight);
    cmdFunc9_ = new QPushButton("再表示(F9)", pnlBottom);
    cmdFunc9_->setObjectName("cmdFunc9");
    cmdFunc9_->setFixedSize(kButtonWidth, kButtonHeight);
    row->addWidget(cmdFunc3_);
    row->addWidget(cmdFunc9_);
    content->layout()->addWidget(pnlBottom);

    connect(cmdFunc3_, &QPushButton::clicked, this, &TfrmKVS::cmdFunc3Click);
    connect(cmdFunc9_, &QPushButton::clicked, this, &TfrmKVS::cmdFunc9Click);
}

void TfrmKVS::BuildPages(const TPageFactory& pageFactory) {
    for (int i = 0; i < kPageCount; ++i) {
        const auto index = static_cast<TKvPageIndex>(i);
        TKvPage* page = pageFactory(index, ctx_, pageCtrl_);
        pages_[i] = page;
        QWidget* widget = page ? static_cast<QWidget*>(page) : new QWidget(pageCtrl_);
        widget->setObjectName(kPages[i].Name);
        pageCtrl_->addTab(widget, kPages[i].Caption);
        if (page)
            for (const auto& sortable : page->SortableGrids()) sortPopup_->Attach(sortable.Grid, sortable.Slot);
    }
}

int TfrmKVS::ActivePageIndex() const { return pageCtrl_ ? pageCtrl_->currentIndex() : -1; }

QString TfrmKVS::Message() const { return pnlMess_->text(); }
QString TfrmKVS::StatusText() const { return statusText_->text(); }
void TfrmKVS::SetMessage(const QString& text) { pnlMess_->setText(text); }

void TfrmKVS::ShowODBCError(const std::string& text) { ViewerDialogs().Error(QString::fromStdString(text)); }

void TfrmKVS::DropLostConnection(const std::string& sqlState) {
    if (sqlState.compare(0, 2, "08") != 0) return;
    try {
        query_->Disconnect();
    } catch (const std::exception&) {
        // The driver reports the dead link once more; the handles are freed all the same.
    }
}

bool TfrmKVS::StartUp() {
    if (!LoadSettings()) return false;
    if (!Login(*query_)) return false;
    LaunchCollector();
    InitMainForm();
    return true;
}

bool TfrmKVS::LoadSettings() {
    ini_ = std::make_unique<TIniData>();
    PreparePerUserFiles(paths_, SettingsTemplateFor(ctx_.ExeDir));
    const std::string problem = LoadIniAtStart(*ini_, paths_.SettingsFile);
    if (!problem.empty()) {
        ini_.reset();
        ViewerDialogs().Message(QString::fromStdString(problem));
        return false;
    }
    ctx_.DataDir = ini_->GetValue(kDatPathKey);
    if (ctx_.DataDir.empty()) ctx_.DataDir = paths_.PerUser ? paths_.DataDir : ctx_.ExeDir + "/" + kDataDirName;
    return true;
}

void TfrmKVS::LaunchCollector() {
    ::LaunchCollector(ctx_.ExeDir, query_->DSName(), query_->UserID(), query_->Password());
}

void TfrmKVS::CheckOracleVersion() {
    OracleVersionInfo info;
    try {
        info = ::CheckOracleVersion(*query_);
    } catch (const EODBCError& e) {
        ctx_.ReportODBCError(e.SQLState, e.ErrorMessage);
        info.Version = VersionFromBanner(info.Banner);
    }
    ctx_.OracleVersion = info.Version;
    if (ctx_.OracleVersion < kLowestSupportedVersion)
        ViewerDialogs().Message(QString("Oracle Version [%1] は対応していません。").arg(ctx_.OracleVersion));
    statusText_->setText(QString::fromStdString(info.Banner));
}

void TfrmKVS::LoadBlockSize() {
    ctx_.BlockSize = kDefaultBlockSize;
    blockSizeProblem_.clear();
    try {
        query_->SetSQLText(kBlockSizeSql);
        query_->Prepare();
        query_->SetParamType(1, kParamChar);
        query_->SetParam(1, kBlockSizeParameter);
        query_->Execute();
        if (!query_->Fetch()) {
            blockSizeProblem_ = QString("%1 がありません。%2Bytesとして表示します。")
                                    .arg(kBlockSizeParameter)
                                    .arg(kDefaultBlockSize);
            return;
        }
        const std::string value = query_->FieldByName("VALUE");
        const int size = StrToIntOrZero(value);
        if (size > 0) {
            ctx_.BlockSize = size;
            return;
        }
        // The figures in blocks would silently be off: say which size they use.
        blockSizeProblem_ = QString("%1 [ %2 ] は正しくありません。%3Bytesとして表示します。")
                                .arg(kBlockSizeParameter, QString::fromStdString(Trim(value)))
                                .arg(kDefaultBlockSize);
    } catch (const EODBCError& e) {
        ctx_.ReportODBCError(e.SQLState, e.ErrorMessage);
        ctx_.BlockSize = kDefaultBlockSize;
    }
}

void TfrmKVS::InitMainForm() {
    CheckOracleVersion();
    pageLoaded_.fill(false);
    ctx_.IsWinNT = true;  // every supported host reports memory figures
    LoadBlockSize();
    for (TKvPage* page : pages_)
        if (page) page->InitMainForm();
    ctx_.Sort.Reset();
    // The start-up load of the first page does not count as its visit.
    const QSignalBlocker block(pageCtrl_);
    pageCtrl_->setCurrentIndex(pgCheckPoint);
    prcLoadPage(false);
    SetMessage(WithBlockSizeProblem(Message()));
}

void TfrmKVS::prcLoadPage(bool detailOnly) {
    const int index = ActivePageIndex();
    if (index >= 0 && index < kPageCount && pages_[index]) {
        try {
            pages_[index]->LoadPage(detailOnly);
        } catch (const EODBCError& e) {
            ctx_.ReportODBCError(e.SQLState, e.ErrorMessage);
        } catch (const std::exception& e) {
            ShowODBCError(e.what());
        }
    }
    prcShowGuide();
}

void TfrmKVS::prcShowGuide() {
    SetMessage({});
    const int index = ActivePageIndex();
    if (index < 0 || index >= kPageCount) return;
    // A page's own text comes first: it may report what its last load found
    // (a checkpoint file that could not be written, no session kind chosen).
    QString guide = pages_[index] ? pages_[index]->Guide() : QString();
    if (guide.isEmpty()) guide = GuideOf(index);
    if (UsesBlockSize(index)) guide = WithBlockSizeProblem(guide);
    SetMessage(guide);
}

// A wrong block size is said again on the pages whose figures are in blocks.
QString TfrmKVS::WithBlockSizeProblem(const QString& text) const {
    if (blockSizeProblem_.isEmpty()) return text;
    return text.isEmpty() ? blockSizeProblem_ : blockSizeProblem_ + "  " + text;
}

void TfrmKVS::PageCtrlChange(int index) {
    if (index < 0 || index >= kPageCount) return;
    if (!pageLoaded_[index]) {
        prcLoadPage(false);
        pageLoaded_[index] = true;
    }
    prcShowGuide();
}

bool TfrmKVS::prcExit() {
    if (exiting_) return true;
    if (!ViewerDialogs().Confirm(QString("%1 を終了しますか？").arg(windowTitle()))) return false;
    if (ini_) {
        if (ini_->GetValue(kDatPathKey).empty()) {
            ini_->SetValue(kDatPathKey, ctx_.DataDir);
            try {
                ini_->Save(paths_.SettingsFile);
            } catch (const std::exception& e) {
                ViewerDialogs().Error(QString::fromStdString(e.what()));
            }
        }
        ini_->Close();
        ini_.reset();
    }
    exiting_ = true;
    close();
    QCoreApplication::quit();
    return true;
}

void TfrmKVS::closeEvent(QCloseEvent* event) {
    if (exiting_ || prcExit())
        event->accept();
    else
        event->ignore();
}

void TfrmKVS::cmdFunc3Click() { prcExit(); }

void TfrmKVS::cmdFunc9Click() { prcLoadPage(false); }

bool TfrmKVS::FormKeyDown(int key) {
    SetMessage({});
    if (key == kKeyF3) {
        prcExit();
        return true;
    }
    if (key == kKeyF9) {
        cmdFunc9_->setFocus();
        repaint();
        prcLoadPage(false);
        return true;
    }
    return false;
}

// The window sees every key before the focused control does.
bool TfrmKVS::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (FormKeyDown(key->key())) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmKVS::mItemFlushClick() {
    if (!ViewerDialogs().ConfirmWarning("Shared_Pool上のデータをクリアします。")) return;
    try {
        query_->SetSQLText(kFlushSql);
        query_->Prepare();
        query_->Execute();
    } catch (const EODBCError& e) {
        DropLostConnection(e.SQLState);
        ViewerDialogs().Message("FLUSHできません。");
        return;
    } catch (const std::exception&) {
        ViewerDialogs().Message("FLUSHできません。");
        return;
    }
    SetMessage(" FLUSH 終了。");
}

void TfrmKVS::mItemAboutClick() { ShowAboutBox(this); }
