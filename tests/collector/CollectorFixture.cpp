#include "CollectorFixture.h"

#include <unistd.h>

void ApplyCounters(TFakeCollectorDb& db, const TInstanceCounters& c)
{
    auto n = [](double v) {
        std::ostringstream s;
        s.precision(17);
        s << v;
        return s.str();
    };
    db.SetResult(mu_sql::kSqlArea, "SQL AREA",
                 {{{"PINS", n(c.SqlPins)}, {"RELOADS", n(c.SqlReloads)}}});
    db.SetResult(mu_sql::kLibraryCache, nullptr,
                 {{{"EXCT", n(c.LibPins)}, {"MISS", n(c.LibReloads)}}});
    db.SetResult(mu_sql::kDictionaryCache, nullptr,
                 {{{"EXCT", n(c.DictGets)}, {"MISS", n(c.DictMisses)}}});
    db.SetResult(mu_sql::kSgaValue, "DATABASE BUFFERS", {{{"VALUE", n(c.DbBuffers)}}});
    db.SetResult(mu_sql::kBufferReads, nullptr,
                 {{{"EXCT", n(c.Logical)}, {"MISS", n(c.Physical)}}});
    db.SetResult(mu_sql::kSgaValue, "REDO BUFFERS", {{{"VALUE", n(c.RedoBuffers)}}});
    db.SetResult(mu_sql::kParameter, "sort_area_size",
                 {{{"NAME", "sort_area_size"}, {"VALUE", n(c.SortArea)}}});
    db.SetResult(mu_sql::kSorts, nullptr,
                 {{{"NAME", "sorts (memory)"}, {"VALUE", n(c.SortsMem)}},
                  {{"NAME", "sorts (disk)"}, {"VALUE", n(c.SortsDisk)}},
                  {{"NAME", "sorts (rows)"}, {"VALUE", n(c.RowsSorted)}}});
    db.SetResult(mu_sql::kLatches, nullptr, {});
    db.Latches = c.Latches;
    db.SetResult(mu_sql::kSharedPool, nullptr,
                 {{{"FREE", n(c.SpFree)}, {"SHDP", n(c.SpSize)}}});
    db.SetResult(mu_sql::kLogBuffer, "LOG_BUFFER", {{{"BYTES", n(c.LogBuffer)}}});
    db.SetResult(or_sql::kLogins, "BACKGROUND", {{{"1", std::to_string(c.Logins)}}});
}

void CollectorTest::SetUp()
{
    char tmpl[] = "/tmp/kelvg-test-XXXXXX";
    root_ = mkdtemp(tmpl);
    dataDir_ = root_ / "KLVDAT";
    logDir_ = root_ / "log";
    std::filesystem::create_directories(dataDir_);
    std::filesystem::create_directories(logDir_);
    SetErrLogDir(logDir_.string());
    ApplyCounters(db_, counters_);
}

void CollectorTest::TearDown()
{
    SetErrLogDir("");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::vector<std::string> CollectorTest::ReadLines(const std::string& name) const
{
    std::vector<std::string> lines;
    std::ifstream in(dataDir_ / name, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "line without CR LF in " << name;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool CollectorTest::Exists(const std::string& name) const
{
    return std::filesystem::exists(dataDir_ / name);
}

std::vector<std::string> CollectorTest::ErrLog() const
{
    std::vector<std::string> entries;
    for (const auto& e : std::filesystem::directory_iterator(logDir_)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            entries.push_back(line);
        }
    }
    return entries;
}
