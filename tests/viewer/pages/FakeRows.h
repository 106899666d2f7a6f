// A scripted row source: each statement is answered by the first rule whose
// key occurs in its text; every statement sent is recorded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "KvRowSource.h"
#include "ODBCCall.h"

struct FakeResult {
    std::vector<std::string> Columns;
    std::vector<std::vector<std::string>> Rows;
    bool FailOnRun = false;
    int FailAfterRows = -1;   // Fetch throws after this many rows
    int FailNative = 0;       // the ORA number of the failure
};

class FakeRows : public TKvRowSource {
public:
    struct Sent {
        std::string Sql;
        std::vector<std::string> Params;
    };
    std::vector<std::pair<std::string, FakeResult>> Rules;
    std::vector<Sent> Log;

    void Answer(const std::string& key, FakeResult result) { Rules.insert(Rules.begin(), {key, std::move(result)}); }

    void Run(const std::string& sql, const std::vector<std::string>& params) override {
        Log.push_back({sql, params});
        current_ = nullptr;
        pos_ = -1;
        for (auto& rule : Rules)
            if (sql.find(rule.first) != std::string::npos) { current_ = &rule.second; break; }
        if (current_ && current_->FailOnRun) Throw("statement refused", current_->FailNative);
    }
    bool Fetch() override {
        if (!current_) return false;
        if (current_->FailAfterRows >= 0 && pos_ + 1 >= current_->FailAfterRows) Throw("fetch failed");
        if (pos_ + 1 >= static_cast<int>(current_->Rows.size())) return false;
        ++pos_;
        return true;
    }
    std::string Field(const std::string& name) override {
        for (size_t i = 0; i < current_->Columns.size(); ++i)
            if (current_->Columns[i] == name) return current_->Rows[pos_][i];
        Throw("no column " + name);
        return {};
    }
    std::string Column(int n) override { return current_->Rows[pos_][n - 1]; }
    std::string NullText() const override { return "<Null>"; }

    int CountContaining(const std::string& key) const {
        int n = 0;
        for (auto& s : Log) n += s.Sql.find(key) != std::string::npos;
        return n;
    }

private:
    [[noreturn]] static void Throw(const std::string& msg, int native = 0) {
        TqoErrorInfo info;
        info.ODBCFunction = "SQLExecute";
        info.SQLState = "S1000";
        info.NativeError = native;
        info.ErrorMessage = "QueryODBC: " + msg;
        throw EODBCError(info);
    }
    FakeResult* current_ = nullptr;
    int pos_ = -1;
};
