// Helpers of the engine tests: a fresh instance file per test and short
// ways to run a statement and read its rows.
#pragma once

#include "SimEngine.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

using Row = std::vector<std::optional<std::string>>;

struct Result {
    std::vector<std::string> Columns;
    std::vector<Row> Rows;
    long RowsAffected = 0;
    // Value of a named column in row r ("<NULL>" for NULL).
    std::string At(size_t r, const std::string& column) const;
    int ColumnIndex(const std::string& column) const;
};

// A fresh instance file in a temporary directory, removed at the end.
class InstanceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sim::SimConfig Config(int version, std::map<std::string, std::string> keys = {}) const;
    std::unique_ptr<sim::SimSession> ConnectDba(const sim::SimConfig& config) const;

    std::string dir_;
};

Result Query(sim::SimSession& session, const std::string& sql, const std::vector<std::optional<std::string>>& params = {});
// The ORA number a statement fails with (0 when it succeeds).
int ErrorOf(sim::SimSession& session, const std::string& sql, const std::vector<std::optional<std::string>>& params = {});
double Number(const std::string& text);

}  // namespace simtest
