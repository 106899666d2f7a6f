// The viewer's main window frmKVS: start-up, ten pages, guide panel,
// function keys, menus, the page-load dispatcher and the confirmed exit.
#pragma once

#include <QFont>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "KvFonts.h"
#include "KvIni.h"
#include "KvPage.h"
#include "KvPaths.h"
#include "ODBCCall.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTabWidget;
class TKvSortPopup;

inline constexpr const char* kWindowCaption = "Kelvane";
inline constexpr int kWindowWidth = 663;
inline constexpr int kWindowHeight = 627;
inline constexpr int kFontPixelSize = 13;
// The Japanese fixed-pitch UI font and the font that stands in for it here.
inline constexpr const char* kUiFontFamily = kJapaneseFontFamily;
inline constexpr int kLowestSupportedVersion = 7;
inline constexpr int kDefaultBlockSize = 2048;

// The viewer's font: every window and box of the program uses it.
QFont ViewerFont();

struct TPageInfo {
    const char* Name;
    const char* Caption;
};
inline constexpr std::array<TPageInfo, kPageCount> kPages = {{
    {"tabCheckPoint", "ﾁｪｯｸﾎﾟｲﾝﾄ"},
    {"tabMemory", " ﾒﾓﾘ"},
    {"tabRate", "稼働率"},
    {"tabTableSpace", "ﾃｰﾌﾞﾙｽﾍﾟｰｽ"},
    {"tabFet", "ﾌﾗｸﾞﾒﾝﾃｰｼｮﾝ"},
    {"tabSegment", "ﾃｰﾌﾞﾙｻｲｽﾞ"},
    {"tabSession", "ｾｯｼｮﾝ"},
    {"tabLogFile", "ﾛｸﾞﾌｧｲﾙ"},
    {"tabParameter", "ﾊﾟﾗﾒﾀ"},
    {"tabExtents", "ｴｸｽﾃﾝﾄ"},
}};

// Makes the page of an index, or nullptr for an empty placeholder page.
using TPageFactory = std::function<TKvPage*(TKvPageIndex, TViewerContext&, QWidget*)>;

class TfrmKVS : public QMainWindow {
public:
    // pageFactory: the viewer's own pages unless given (tests pass stand-ins).
    explicit TfrmKVS(QWidget* parent = nullptr, TPageFactory pageFactory = nullptr);
    ~TfrmKVS() override;

    // Directory of the collector and the default data directory; the
    // executable's directory unless set before StartUp.
    void SetExeDir(const std::string& dir) { ctx_.ExeDir = dir; }
    // Where the settings and the default data directory are (KvPaths.h):
    // judged from the executable's directory unless set before StartUp.
    void SetPaths(const TKelvPaths& paths) { paths_ = paths; }
    // Settings, data directory, login, collector, window set-up. False: end.
    bool StartUp();
    // Loads "Kelv.ini" (the user's own copy when the program is installed
    // where the user cannot write) and fixes the data directory; false
    // (after the message) when the file is missing or holds no key line.
    bool LoadSettings();
    void LaunchCollector();
    void CheckOracleVersion();
    void InitMainForm();

    void prcLoadPage(bool detailOnly);
    void prcShowGuide();
    bool prcExit();

    // Event handlers.
    void PageCtrlChange(int index);
    void cmdFunc3Click();    // also mItemExit
    void cmdFunc9Click();    // also mItemReset
    void ShowODBCError(const std::string& text);
    // After an error of SQLSTATE class 08 the driver's connection is gone for
    // good: drop it, so that the next statement connects again.
    void DropLostConnection(const std::string& sqlState);
    void mItemFlushClick();
    void mItemAboutClick();

    TViewerContext& Context() { return ctx_; }
    TQueryODBC& qryODBC() { return *query_; }
    TKvSortPopup& SortPopup() { return *sortPopup_; }
    QTabWidget* PageCtrl() const { return pageCtrl_; }
    TKvPage* Page(int index) const { return pages_[index]; }
    QString Message() const;
    QString StatusText() const;
    // What the start-up found wrong with db_block_size ("" when nothing).
    QString BlockSizeProblem() const { return blockSizeProblem_; }
    bool PageLoaded(int index) const { return pageLoaded_[index]; }
    int ActivePageIndex() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildPages(const TPageFactory& pageFactory);
    void BuildBottomBar(QWidget* content);
    void LoadBlockSize();
    void SetMessage(const QString& text);
    QString WithBlockSizeProblem(const QString& text) const;
    bool FormKeyDown(int key);

    std::unique_ptr<TQueryODBC> query_;
    TViewerContext ctx_;
    std::unique_ptr<TIniData> ini_;
    TKelvPaths paths_;
    std::array<bool, kPageCount> pageLoaded_{};
    std::array<TKvPage*, kPageCount> pages_{};
    bool exiting_ = false;
    QString blockSizeProblem_;

    QTabWidget* pageCtrl_ = nullptr;
    QLabel* pnlMess_ = nullptr;
    QPushButton* cmdFunc3_ = nullptr;
    QPushButton* cmdFunc9_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    QLabel* statusText_ = nullptr;
    TKvSortPopup* sortPopup_ = nullptr;
};
