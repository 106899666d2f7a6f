// A logged-on session: privileges, faults, transactions and the dispatch of
// statements to SQLite or to the instance's control statements.
#pragma once

#include "Instance.h"
#include "OracleTranslator.h"
#include "SimKnobs.h"
#include "SimCursorImpl.h"
#include "SimEngine.h"

#include <memory>
#include <string>

namespace sim {

class SessionImpl : public SimSession {
public:
    SessionImpl(std::unique_ptr<Instance> instance, std::string user, bool isDba);
    ~SessionImpl() override;

    std::vector<SimColumn> Describe(const std::string& oracleSql) override;
    std::unique_ptr<SimCursor> Execute(const std::string& oracleSql,
                                       const std::vector<std::optional<std::string>>& params) override;
    void Commit() override;
    void Rollback() override;
    void SetAutoCommit(bool on) override { autoCommit_ = on; }
    std::string Banner() const override;
    std::string User() const override { return user_; }
    bool IsDba() const override { return isDba_; }
    long Sid() const override { return static_cast<long>(client_.Sid); }
    long Serial() const override { return static_cast<long>(client_.Serial); }

private:
    // Checks that the session is alive and brings the instance to the statement time.
    void BeginCall();
    void CheckPrivileges(const Translation& tr) const;
    void ApplyStatementFaults(const std::string& oracleSql);
    // The translation under the session's sort.
    Translation Translate(const std::string& oracleSql, const char* createSchema = nullptr) const;
    sqlite3_stmt* Prepare(const Translation& tr, const std::vector<std::optional<std::string>>& params);

    // A query described (prepared and stepped once) and not yet executed;
    // executing the same text in the same minute reuses it.
    struct DescribedQuery {
        std::string Sql;
        sqlite3_stmt* Stmt = nullptr;
        bool HasRow = false;
        int64_t Minute = 0;
        ~DescribedQuery() { sqlite3_finalize(Stmt); }
        void Reset() {
            sqlite3_finalize(Stmt);
            Stmt = nullptr;
            Sql.clear();
        }
        sqlite3_stmt* Take() {
            sqlite3_stmt* s = Stmt;
            Stmt = nullptr;
            Sql.clear();
            return s;
        }
    };

    std::unique_ptr<Instance> instance_;
    std::string user_;
    bool isDba_;
    bool autoCommit_ = true;
    long statements_ = 0;
    Instance::ClientId client_;
    NlsSettings nls_;
    std::shared_ptr<SessionHealth> health_ = std::make_shared<SessionHealth>();
    DescribedQuery described_;  // destroyed before the instance's connection
};

}  // namespace sim
