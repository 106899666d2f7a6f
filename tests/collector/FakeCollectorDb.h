// A scripted database for the collector's unit tests: results per statement
// text and parameter, failures per statement, and a droppable connection.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "KvgDb.h"

class TFakeCollectorDb : public ICollectorDb {
public:
    using Row = std::map<std::string, std::string>;

    static std::string Key(const std::string& sql, const std::string* param)
    {
        return param ? sql + "|" + *param : sql;
    }
    void SetResult(const std::string& sql, const std::string* param, std::vector<Row> rows)
    {
        results_[Key(sql, param)] = std::move(rows);
    }
    void SetResult(const std::string& sql, const std::string& param, std::vector<Row> rows)
    {
        SetResult(sql, &param, std::move(rows));
    }
    void Fail(const std::string& sql, const std::string* param = nullptr)
    {
        failing_.insert(Key(sql, param));
    }
    void Heal() { failing_.clear(); }

    TLatchTable Latches;
    bool Down = false;               // every call fails with 08S01 while set
    bool ReconnectSucceeds = true;
    int RunCount = 0;
    int ReconnectCount = 0;
    std::multiset<std::string> Executed;

    void Run(const std::string& sql, const std::string* param) override
    {
        ++RunCount;
        const std::string key = Key(sql, param);
        Executed.insert(key);
        if (Down) {
            lost_ = true;
            throw TDbError("08S01", "QueryODBC: communication link failure");
        }
        if (failing_.count(key)) throw TDbError("S1000", "ORA-00942: table or view does not exist");
        auto it = results_.find(key);
        current_ = it == results_.end() ? std::vector<Row>() : it->second;
        pos_ = -1;
    }
    bool Fetch() override { return ++pos_ < static_cast<int>(current_.size()); }
    std::string Field(const std::string& name) override
    {
        if (pos_ < 0 || pos_ >= static_cast<int>(current_.size())) return "";
        auto it = current_[pos_].find(name);
        return it == current_[pos_].end() ? "<Null>" : it->second;
    }
    std::string Column(int index) override { return Field(std::to_string(index)); }
    void LoadLatchGrid(TLatchTable& table) override { table = Latches; }
    bool ConnectionLost() const override { return lost_; }
    bool Reconnect() override
    {
        ++ReconnectCount;
        if (!ReconnectSucceeds || Down) return false;
        lost_ = false;
        return true;
    }

private:
    std::map<std::string, std::vector<Row>> results_;
    std::set<std::string> failing_;
    std::vector<Row> current_;
    int pos_ = -1;
    bool lost_ = false;
};
