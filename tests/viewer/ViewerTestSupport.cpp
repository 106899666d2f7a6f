#include "ViewerTestSupport.h"

#include <QFile>

#include <sqlite3.h>

#include <cstdlib>
#include <stdexcept>

#include "KvStringGrid.h"

TScratchDir::TScratchDir() : previous_(QDir::currentPath()) {
    if (!dir_.isValid()) throw std::runtime_error("no temporary directory");
    QDir::setCurrent(dir_.path());
}

TScratchDir::~TScratchDir() { QDir::setCurrent(previous_); }

void TScratchDir::WriteFile(const QString& name, const QByteArray& content) const {
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write");
    f.write(content);
}

QByteArray TScratchDir::ReadFile(const QString& name) const {
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

namespace {
// The list grids of the live pages, so that the popup's rules apply.
const char* const kSlot0Grid[kPageCount] = {"grdDate", "grdMUDate", "grdDateKa", "grdTSN", "grdFet",
                                            "grdSeg",  "grdSes",    "grdLog",    "grdParm", "grdExt"};
}  // namespace

TFakePage::TFakePage(TKvPageIndex index, TViewerContext& ctx, QWidget* parent)
    : TKvPage(ctx, parent), index_(index) {
    grid0 = new TKvStringGrid(kSlot0Grid[index], 1, 0, this);
    grid1 = new TKvStringGrid(index == pgTableSpace ? "grdTS" : "grdFakeDetail", 1, 0, this);
    grid0->setGeometry(0, 0, 300, 200);
    grid1->setGeometry(300, 0, 300, 200);
    for (TKvStringGrid* g : {grid0, grid1}) {
        g->SetColCount(3);
        g->SetRowCount(3);
        for (int c = 0; c < 3; ++c) g->SetColWidth(c, 60);
    }
}

void TFakePage::LoadPage(bool detailOnly) {
    ++(detailOnly ? detailLoads : fullLoads);
    seenSort = {{ctx_.Sort.SortCol[index_][0], ctx_.Sort.SortDir[index_][0]},
                {ctx_.Sort.SortCol[index_][1], ctx_.Sort.SortDir[index_][1]}};
}

std::vector<TKvPage::SortableGrid> TFakePage::SortableGrids() const { return {{grid0, 0}, {grid1, 1}}; }

TPageFactory FakePageFactory() {
    return [](TKvPageIndex index, TViewerContext& ctx, QWidget* parent) -> TKvPage* {
        return new TFakePage(index, ctx, parent);
    };
}

TFakePage* FakePage(TfrmKVS& window, int index) { return dynamic_cast<TFakePage*>(window.Page(index)); }

bool SimulatorAvailable() {
    const char* driver = std::getenv("KELV_SIM_DRIVER");
    return driver && QFile::exists(QString::fromLocal8Bit(driver));
}

namespace {
void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(text);
    }
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}
}  // namespace

void SetSqliteBanners(const std::vector<std::string>& banners, const std::string& blockSize, bool dropTables) {
    const char* path = std::getenv("KVS_VIEWER_SQLITE_DB");
    if (!path) throw std::runtime_error("KVS_VIEWER_SQLITE_DB not set");
    sqlite3* db = nullptr;
    if (sqlite3_open(path, &db) != SQLITE_OK) throw std::runtime_error("cannot open sqlite db");
    Exec(db, "DROP TABLE IF EXISTS V$VERSION; DROP TABLE IF EXISTS V$PARAMETER;");
    if (!dropTables) {
        Exec(db, "CREATE TABLE V$VERSION(BANNER TEXT); CREATE TABLE V$PARAMETER(NAME TEXT, VALUE TEXT);");
        for (const auto& b : banners) Exec(db, "INSERT INTO V$VERSION VALUES(" + Quote(b) + ");");
        Exec(db, "INSERT INTO V$PARAMETER VALUES('db_block_size', " + Quote(blockSize) + ");");
        Exec(db, "INSERT INTO V$PARAMETER VALUES('db_name', 'KELV');");
    }
    sqlite3_close(db);
}
