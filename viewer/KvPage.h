// What a page of the viewer's main window sees of the window, and what the
// window asks of a page.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class TQueryODBC;
class TKvStringGrid;

inline constexpr int kPageCount = 10;
enum TKvPageIndex {
    pgCheckPoint = 0, pgMemory = 1, pgRate = 2, pgTableSpace = 3, pgFet = 4,
    pgSegment = 5, pgSession = 6, pgLogFile = 7, pgParameter = 8, pgExtents = 9
};

// Sort choice per main page and grid slot: column -1 = none, dir "" or "DESC".
struct TSortState {
    int SortCol[kPageCount][2];
    std::string SortDir[kPageCount][2];
    TSortState() { Reset(); }
    void Reset() {
        for (auto& p : SortCol) p[0] = p[1] = -1;
        for (auto& p : SortDir) p[0] = p[1] = "";
    }
};

// Program-wide state of the viewer that the pages read.
struct TViewerContext {
    TQueryODBC* Query = nullptr;        // qryODBC
    int OracleVersion = 0;
    int BlockSize = 2048;
    bool IsWinNT = true;
    std::string ExeDir;
    std::string DataDir;
    TSortState Sort;
    std::function<void(const QString&)> SetMessage;        // pnlMess caption
    std::function<void(const std::string&)> ShowODBCError; // error box
    // SQLSTATE of every database error a page reports: the window gives up a
    // connection the driver has lost, so that the next load connects again.
    std::function<void(const std::string& sqlState)> NoteODBCState;

    // The one way a database error reaches the user: a lost connection is
    // dropped first, then the error box shows the layer's message.
    void ReportODBCError(const std::string& sqlState, const std::string& message) const {
        if (NoteODBCState) NoteODBCState(sqlState);
        if (ShowODBCError) ShowODBCError(message);
    }
};

// One tab of PageCtrl. The main window creates the ten pages, calls
// InitMainForm once after the version and block size are known, and
// LoadPage from prcLoadPage.
class TKvPage : public QWidget {
public:
    TKvPage(TViewerContext& ctx, QWidget* parent = nullptr) : QWidget(parent), ctx_(ctx) {}
    virtual TKvPageIndex PageIndex() const = 0;
    // Headings, widths, row heights, block-size labels.
    virtual void InitMainForm() {}
    virtual void LoadPage(bool detailOnly) = 0;
    // Guide text of prcShowGuide for this page ("" for none).
    virtual QString Guide() const { return {}; }
    // Grids that carry the sort popup, with their slot (0/1) on this page.
    struct SortableGrid { TKvStringGrid* Grid; int Slot; };
    virtual std::vector<SortableGrid> SortableGrids() const { return {}; }

protected:
    TViewerContext& ctx_;
};
