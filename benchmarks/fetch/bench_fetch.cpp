// Reads 200,000 rows of 8 columns as text: plain ODBC (the floor), the query
// component, and Qt SQL over its ODBC driver.
#include "FetchData.h"

#include "ODBCCall.h"

#include <benchmark/benchmark.h>

#include <sql.h>
#include <sqlext.h>

#include <vector>

#ifdef KELV_BENCH_QTSQL
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#endif

namespace {

constexpr int kColumns = 8;
constexpr int kBufSize = 512;  // the component's default FetchBufSize

void BM_Fetch_RawODBC(benchmark::State& state) {
    const std::string& conn = bench::ConnectionString();
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    // The same ODBC 2 call set as the component's default.
    SQLAllocEnv(&env);
    SQLAllocConnect(env, &dbc);
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)conn.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("connect failed");
        return;
    }
    std::vector<char> buf(kBufSize + 1);
    for (auto _ : state) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocStmt(dbc, &stmt);
        SQLExecDirect(stmt, (SQLCHAR*)bench::kSelect, SQL_NTS);
        size_t bytes = 0;
        long rows = 0;
        while (SQLFetch(stmt) == SQL_SUCCESS) {
            ++rows;
            for (SQLUSMALLINT c = 1; c <= kColumns; ++c) {
                SQLLEN ind = 0;
                if (SQLGetData(stmt, c, SQL_C_CHAR, buf.data(), static_cast<SQLLEN>(buf.size()), &ind) ==
                        SQL_ERROR)
                    break;
                if (ind > 0) bytes += static_cast<size_t>(ind);
            }
        }
        SQLFreeStmt(stmt, SQL_DROP);
        benchmark::DoNotOptimize(bytes);
        if (rows != bench::kRows) state.SkipWithError("wrong row count");
    }
    state.SetItemsProcessed(state.iterations() * bench::kRows);
    SQLDisconnect(dbc);
    SQLFreeConnect(dbc);
    SQLFreeEnv(env);
}
BENCHMARK(BM_Fetch_RawODBC)->Unit(benchmark::kMillisecond);

void BM_Fetch_TQueryODBC(benchmark::State& state) {
    TQueryODBC q;
    q.SetConnectInfo(bench::ConnectionString());
    q.SetSQLWaitCursor(false);
    q.Connect();
    for (auto _ : state) {
        q.SetSQLText(bench::kSelect);
        q.Execute();
        size_t bytes = 0;
        long rows = 0;
        while (q.Fetch()) {
            ++rows;
            const std::vector<std::string>& values = q.RowValues();
            for (int c = 1; c <= kColumns; ++c) bytes += values[static_cast<size_t>(c)].size();
        }
        benchmark::DoNotOptimize(bytes);
        if (rows != bench::kRows) state.SkipWithError("wrong row count");
    }
    state.SetItemsProcessed(state.iterations() * bench::kRows);
}
BENCHMARK(BM_Fetch_TQueryODBC)->Unit(benchmark::kMillisecond);

#ifdef KELV_BENCH_QTSQL
void BM_Fetch_QtSql(benchmark::State& state) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QODBC", "bench");
        db.setDatabaseName(QString::fromStdString(bench::ConnectionString()));
        if (!db.open()) {
            state.SkipWithError("QODBC open failed");
            return;
        }
        for (auto _ : state) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.exec(QString::fromLatin1(bench::kSelect));
            size_t bytes = 0;
            long rows = 0;
            while (query.next()) {
                ++rows;
                for (int c = 0; c < kColumns; ++c) bytes += static_cast<size_t>(query.value(c).toString().size());
            }
            benchmark::DoNotOptimize(bytes);
            if (rows != bench::kRows) state.SkipWithError("wrong row count");
        }
        state.SetItemsProcessed(state.iterations() * bench::kRows);
        db.close();
    }
    QSqlDatabase::removeDatabase("bench");
}
BENCHMARK(BM_Fetch_QtSql)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef KELV_BENCH_QTSQL
    QCoreApplication app(argc, argv);  // Qt finds its SQL driver plugins through it
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // Build the data and read it once before any timing, so that no
    // benchmark pays for a cold file.
    {
        TQueryODBC warm;
        warm.SetConnectInfo(bench::ConnectionString());
        warm.SetSQLText(bench::kSelect);
        warm.Execute();
        while (warm.Fetch()) {
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
