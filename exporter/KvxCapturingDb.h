// The collector's database seam as the exporter drives it: every call goes
// to the connection of the moment, and the failure of each group of figures
// is remembered, since the collector's units only log theirs.
#pragma once

#include "KvgDb.h"

class TCapturingDb : public ICollectorDb {
public:
    // The connection to use; nullptr when there is none.
    void Attach(ICollectorDb* inner) { inner_ = inner; }

    // Starts a group: forgets the failure of the one before.
    void BeginGroup() { failure_.clear(); failed_ = false; }
    bool GroupFailed() const { return failed_; }
    const std::string& GroupFailure() const { return failure_; }

    void Run(const std::string& sql, const std::string* param = nullptr) override;
    bool Fetch() override;
    std::string Field(const std::string& name) override;
    std::string Column(int index) override;
    void LoadLatchGrid(TLatchTable& table) override;
    bool ConnectionLost() const override { return !inner_ || inner_->ConnectionLost(); }
    std::string LossMessage() const override { return inner_ ? inner_->LossMessage() : std::string(); }
    // The watched instance connects by itself, with its backoff.
    bool Reconnect() override { return false; }

private:
    template <typename Body>
    auto Capture(Body body) -> decltype(body());
    ICollectorDb& Inner();

    ICollectorDb* inner_ = nullptr;
    bool failed_ = false;
    std::string failure_;
};
