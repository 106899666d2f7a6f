#include "SimTestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace simtest {

std::string Result::At(size_t r, const std::string& column) const {
    int i = ColumnIndex(column);
    if (i < 0 || r >= Rows.size()) return "<MISSING>";
    const auto& v = Rows[r][static_cast<size_t>(i)];
    return v ? *v : "<NULL>";
}

int Result::ColumnIndex(const std::string& column) const {
    for (size_t i = 0; i < Columns.size(); ++i)
        if (Columns[i] == column) return static_cast<int>(i);
    return -1;
}

void InstanceFixture::SetUp() {
    std::string base = std::filesystem::temp_directory_path().string() + "/kelv-simengine-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    ASSERT_NE(mkdtemp(buf.data()), nullptr);
    dir_ = buf.data();
}

void InstanceFixture::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

sim::SimConfig InstanceFixture::Config(int version, std::map<std::string, std::string> keys) const {
    sim::SimConfig c;
    c.DataSource = "TEST" + std::to_string(version);
    c.Database = dir_ + "/sub/dir/ora" + std::to_string(version) + ".db";
    c.Keys = std::move(keys);
    c.Keys["VERSION"] = std::to_string(version);
    return c;
}

std::unique_ptr<sim::SimSession> InstanceFixture::ConnectDba(const sim::SimConfig& config) const {
    return sim::Connect(config, "system", "manager");
}

Result Query(sim::SimSession& session, const std::string& sql, const std::vector<std::optional<std::string>>& params) {
    Result r;
    auto cursor = session.Execute(sql, params);
    for (const auto& c : cursor->Columns()) r.Columns.push_back(c.Name);
    while (cursor->Next()) {
        Row row;
        for (size_t i = 0; i < r.Columns.size(); ++i) row.push_back(cursor->Value(i));
        r.Rows.push_back(row);
    }
    r.RowsAffected = cursor->RowsAffected();
    return r;
}

int ErrorOf(sim::SimSession& session, const std::string& sql, const std::vector<std::optional<std::string>>& params) {
    try {
        Query(session, sql, params);
    } catch (const sim::SimError& e) {
        return e.NativeError;
    }
    return 0;
}

double Number(const std::string& text) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? -1e300 : v;
}

}  // namespace simtest
