// Segment page on a simulated instance of 100,000 segments: the query read
// alone through TQueryODBC, and the whole page load into the grid.
// Counters: Rows; for the grid, TextBytes (the texts it holds), GridBytes
// (heap the loaded grid keeps, views included), GridPerText and
// CellStoreBytes (the grid's own estimate of its cell storage).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>

#include <malloc.h>

#include <cstdio>
#include <memory>

#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"
#include "SegmentPage.h"
#include "SimConnection.h"
#include "SimDriverBeside.h"

namespace {

constexpr long kSegments = 100000;

std::string InstanceFile() {
    const char* data = std::getenv("KELV_TEST_DATA");
    const std::string dir = data ? data : QDir::tempPath().toStdString();
    return dir + "/bench_segments_" + std::to_string(kSegments) + ".db";
}

std::unique_ptr<TQueryODBC> OpenInstance() {
    return SimQueryWithKnobs(InstanceFile(), "VERSION=10;SEGMENTS=" + std::to_string(kSegments));
}

const std::string& SegmentSql() {
    static const std::string sql = kvsql::Segments(true, true, -1, "");
    return sql;
}

size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_SegmentsFetchOnly(benchmark::State& state) {
    if (SimDriverPath().empty()) {
        state.SkipWithError("simulated instance driver not found beside the program nor in KELV_SIM_DRIVER");
        return;
    }
    auto query = OpenInstance();
    long rows = 0;
    for (auto _ : state) {
        query->SetSQLText(SegmentSql());
        query->Prepare();
        query->Execute();
        rows = 0;
        size_t bytes = 0;
        while (query->Fetch()) {
            for (const char* name : {"OWNER", "TABLESPACE_NAME", "SEGMENT_TYPE", "SEGMENT_NAME", "BYTES", "BLOCKS"})
                bytes += query->FieldByName(name).size();
            ++rows;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["Rows"] = static_cast<double>(rows);
}

void BM_SegmentsLoadGrid(benchmark::State& state) {
    if (SimDriverPath().empty()) {
        state.SkipWithError("simulated instance driver not found beside the program nor in KELV_SIM_DRIVER");
        return;
    }
    TViewerContext ctx;
    auto query = OpenInstance();
    ctx.Query = query.get();
    ctx.OracleVersion = 10;
    ctx.ShowODBCError = [&](const std::string& text) { state.SkipWithError(text.c_str()); };
    TSegmentPage page(ctx);
    page.InitMainForm();
    page.chkStIx->setChecked(true);
    page.resize(663, 560);
    size_t gridBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        page.grdSeg->SetRowCount(2);
        page.grdSeg->ClearData();
        page.grdSeg->FlushChanges();
        const size_t before = HeapInUse();
        state.ResumeTiming();
        page.LoadSegments();
        page.grdSeg->FlushChanges();
        state.PauseTiming();
        gridBytes = HeapInUse() - before;
        state.ResumeTiming();
    }
    const TKvStringGrid& g = *page.grdSeg;
    size_t textBytes = 0;
    for (int r = 1; r < g.RowCount(); ++r)
        for (int c = 0; c < g.ColCount(); ++c) textBytes += g.Cell(c, r).size();
    state.counters["Rows"] = g.RowCount() - 1;
    state.counters["TextBytes"] = static_cast<double>(textBytes);
    state.counters["GridBytes"] = static_cast<double>(gridBytes);
    state.counters["GridPerText"] = textBytes ? static_cast<double>(gridBytes) / textBytes : 0;
    state.counters["CellStoreBytes"] = static_cast<double>(g.StorageBytes());
}

BENCHMARK(BM_SegmentsFetchOnly)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SegmentsLoadGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kelvbench::UseSimDriverBesideProgram();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
