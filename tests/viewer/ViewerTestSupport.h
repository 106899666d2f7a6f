// Shared pieces of the viewer tests: scripted dialogs, a scratch working
// directory with its own "Kelv.ini", stand-in pages and the test databases.
#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <string>
#include <vector>

#include "KelvsU1.h"
#include "KvViewerDialogs.h"

class TKvStringGrid;

// Records every box and answers confirmations from a script (default Yes).
class TScriptedDialogs : public TViewerDialogs {
public:
    TScriptedDialogs() { SetViewerDialogs(this); }
    ~TScriptedDialogs() override { SetViewerDialogs(nullptr); }
    void Message(const QString& text) override { messages.push_back(text); }
    void Error(const QString& text) override { errors.push_back(text); }
    bool Confirm(const QString& text) override { return Answer(text); }
    bool ConfirmWarning(const QString& text) override { return Answer(text); }

    QStringList messages, errors, questions;
    std::deque<bool> answers;
    bool defaultAnswer = true;

private:
    bool Answer(const QString& text) {
        questions.push_back(text);
        if (answers.empty()) return defaultAnswer;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

// A temporary directory made the process's working directory for the test.
class TScratchDir {
public:
    TScratchDir();
    ~TScratchDir();
    QString Path() const { return dir_.path(); }
    std::string PathStd() const { return dir_.path().toStdString(); }
    void WriteFile(const QString& name, const QByteArray& content) const;
    QByteArray ReadFile(const QString& name) const;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// A page without a database: counts its loads and sees the sort state.
class TFakePage : public TKvPage {
public:
    TFakePage(TKvPageIndex index, TViewerContext& ctx, QWidget* parent);
    TKvPageIndex PageIndex() const override { return index_; }
    void InitMainForm() override { ++inits; }
    void LoadPage(bool detailOnly) override;
    std::vector<SortableGrid> SortableGrids() const override;

    TKvStringGrid* grid0 = nullptr;  // slot 0
    TKvStringGrid* grid1 = nullptr;  // slot 1
    int inits = 0;
    int fullLoads = 0;
    int detailLoads = 0;
    // Sort choice of slot 0 and 1 as seen at the last load.
    std::vector<std::pair<int, std::string>> seenSort;

private:
    TKvPageIndex index_;
};
TPageFactory FakePageFactory();
TFakePage* FakePage(TfrmKVS& window, int index);

// True when the simulated Oracle driver has been built.
bool SimulatorAvailable();
// Data source of a SQLite database that plays V$VERSION / V$PARAMETER.
inline constexpr const char* kSqliteDsn = "KVS_VIEWER_SQLITE";
// Simulated instance whose banner names no version.
inline constexpr const char* kSimOddBannerDsn = "KVS_VIEWER_ODDBANNER";
inline constexpr const char* kSimOddBanner = "Oracle Database Express Edition";
// Replaces the rows of the SQLite stand-in tables (an empty banner list
// leaves V$VERSION empty; dropTables removes them so queries fail).
void SetSqliteBanners(const std::vector<std::string>& banners, const std::string& blockSize = "8192",
                      bool dropTables = false);
