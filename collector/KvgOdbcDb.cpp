#include "KvgOdbcDb.h"

namespace {
constexpr SQLSMALLINT kCharParam = 1;  // SQL_CHAR
constexpr int kLatchColumns = 3;       // NAME, GETS, MISS
}  // namespace

TOdbcCollectorDb::TOdbcCollectorDb(TQueryODBC& query) : query_(query), grid_(1, 1, 4, 2)
{
    query_.SetGridInterrupt(kGridInterrupt);
    query_.SetNullStrings("<Null>");
    // Nobody can answer a question in a hidden collector: always go on loading.
    query_.OnGridInterrupt = [](TQueryODBC*, TStringGridIntf*, int, bool& cont) { cont = true; };
}

template <typename Body>
auto TOdbcCollectorDb::Call(Body body) -> decltype(body())
{
    try {
        return body();
    } catch (const EODBCError& e) {
        TDbError err(e.SQLState, e.ErrorMessage);
        if (err.IsConnectionLoss()) MarkLost(e.ErrorMessage);
        throw err;
    }
}

void TOdbcCollectorDb::Run(const std::string& sql, const std::string* param)
{
    Call([&] {
        query_.SetSQLText(sql);
        query_.Prepare();
        if (param) {
            query_.SetParamType(1, kCharParam);
            query_.SetParam(1, *param);
        }
        query_.Execute();
    });
}

bool TOdbcCollectorDb::Fetch()
{
    return Call([&] { return query_.Fetch(); });
}

std::string TOdbcCollectorDb::Field(const std::string& name)
{
    return Call([&] { return query_.FieldByName(name); });
}

std::string TOdbcCollectorDb::Column(int index)
{
    const std::vector<std::string>& row = query_.RowValues();
    return index >= 0 && static_cast<size_t>(index) < row.size() ? row[index] : std::string();
}

void TOdbcCollectorDb::LoadLatchGrid(TLatchTable& table)
{
    Call([&] { query_.LoadGrid(&grid_); });
    table.clear();
    const int firstCol = grid_.FixedCols();
    if (grid_.ColCount() < firstCol + kLatchColumns) return;
    for (int row = grid_.FixedRows(); row < grid_.RowCount(); ++row) {
        TLatchRow r{grid_.Cell(firstCol, row), grid_.Cell(firstCol + 1, row),
                    grid_.Cell(firstCol + 2, row)};
        if (r.Name.empty()) continue;
        table.push_back(std::move(r));
    }
}

void TOdbcCollectorDb::MarkLost(const std::string& message)
{
    if (!lost_) lossMessage_ = message;  // the first failure says why
    lost_ = true;
}

bool TOdbcCollectorDb::Reconnect()
{
    try {
        query_.Disconnect();
    } catch (...) {
        // The old connection is gone already; nothing to release cleanly.
    }
    try {
        query_.Connect();
    } catch (...) {
        return false;
    }
    lost_ = !query_.Connected();
    if (!lost_) lossMessage_.clear();
    return !lost_;
}
