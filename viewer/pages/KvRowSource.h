// How a page reads a result: one statement at a time, rows by column name
// or position. The pages run on the main window's qryODBC through
// TKvQueryRows; tests and the benchmark may put another source in its place.
#pragma once

#include <string>
#include <vector>

class TQueryODBC;

class TKvRowSource {
public:
    virtual ~TKvRowSource() = default;
    // Sets the text, prepares, binds each parameter as character data and
    // executes. Database failures throw EODBCError.
    virtual void Run(const std::string& sql, const std::vector<std::string>& params = {}) = 0;
    virtual bool Fetch() = 0;
    virtual std::string Field(const std::string& name) = 0;
    virtual std::string Column(int n) = 0;    // 1-based
    virtual std::string NullText() const = 0;  // what a NULL value reads as
};

class TKvQueryRows : public TKvRowSource {
public:
    explicit TKvQueryRows(TQueryODBC& query) : query_(query) {}
    void Run(const std::string& sql, const std::vector<std::string>& params = {}) override;
    bool Fetch() override;
    std::string Field(const std::string& name) override;
    std::string Column(int n) override;
    std::string NullText() const override;

private:
    TQueryODBC& query_;
};
