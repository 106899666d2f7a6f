// The collector's database seam over the window's TQueryODBC.
#pragma once

#include "KvgDb.h"
#include "ODBCCall.h"

class TOdbcCollectorDb : public ICollectorDb {
public:
    // Grid-interrupt count of the collector's query component.
    static constexpr int kGridInterrupt = 800;

    explicit TOdbcCollectorDb(TQueryODBC& query);

    void Run(const std::string& sql, const std::string* param) override;
    bool Fetch() override;
    std::string Field(const std::string& name) override;
    std::string Column(int index) override;
    void LoadLatchGrid(TLatchTable& table) override;
    bool ConnectionLost() const override { return lost_; }
    std::string LossMessage() const override { return lossMessage_; }
    bool Reconnect() override;
    // No connection yet (refused at start): the scheduler connects later.
    void MarkLost(const std::string& message);

    TQueryODBC& Query() { return query_; }

private:
    // Runs a call of the component, turning EODBCError into TDbError and
    // noting a lost connection.
    template <typename Body>
    auto Call(Body body) -> decltype(body());

    TQueryODBC& query_;
    TStringTable grid_;  // target of grid loading for the latch table
    bool lost_ = false;
    std::string lossMessage_;
};
