// Builds the benchmark table with one INSERT ... SELECT over a recursive
// row generator: integers, decimals, short texts, 200-character texts and
// NULLs in every tenth note.
#include "FetchData.h"

#include "ODBCCall.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace bench {

namespace {

struct TempDatabase {
    std::string dir;
    std::string connection;

    TempDatabase() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelv_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
        dir = pattern;
        connection = std::string("DRIVER=") + kSqliteDriver + ";Database=" + dir + "/fetch.db";
        TQueryODBC q;
        q.SetConnectInfo(connection);
        q.ExecDirect(
            "CREATE TABLE fetch_bench (id INTEGER, qty INTEGER, price DOUBLE, ratio DOUBLE, "
            "code VARCHAR(20), name VARCHAR(40), body VARCHAR(250), note VARCHAR(20))");
        q.ExecDirect(
            "INSERT INTO fetch_bench WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < " +
            std::to_string(kRows) +
            ") SELECT i, i * 7 % 1000, i * 1.25, i / 7.0, 'C' || (i % 97), 'name of row ' || i, "
            "printf('%0200d', i), CASE WHEN i % 10 = 0 THEN NULL ELSE 'note ' || (i % 13) END FROM g");
    }
    ~TempDatabase() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

const std::string& ConnectionString() {
    static TempDatabase db;
    return db.connection;
}

}  // namespace bench
