#include "KvgEngine.h"

#include "KvCom.h"
#include "KvIni.h"
#include "KvOracle.h"
#include "KvSessionNls.h"
#include "KvgSettings.h"

namespace {
const char* const kSessionNlsContext = "KVGLogOn";
}

TCollectorEngine::TCollectorEngine(std::string dataDir) : dataDir_(std::move(dataDir))
{
    db_ = std::make_unique<TOdbcCollectorDb>(qryODBC);
    files_ = std::make_unique<TStatFiles>(dataDir_);
    mu_ = std::make_unique<TMemoryUsageUnit>(*db_, *files_);
    or_ = std::make_unique<TOperatingRateUnit>(*db_, *files_, host_);
    scheduler_ = std::make_unique<TCollectorScheduler>(clock_, *db_, *mu_, *or_, *files_);
    scheduler_->Hooks.DeleteOldErrLogs = [] { DeleteOldErrLogs(); };
    scheduler_->Hooks.RefreshCheckPoint = [this] { RefreshCheckPoint(); };
    mu_->UseOracleVersion(&oracleVersion_);
    // Every logon, the first and each reconnect, gets the session settings
    // the figures are read with; a refusal is logged and the logon stands.
    SetSessionNlsAfterConnect(qryODBC, [](const TSessionNlsRefusal& refusal) {
        if (refusal.SQLState.compare(0, 2, "08") != 0) WriteErrLog(kSessionNlsContext, "NLS", refusal.Message);
    });
}

void TCollectorEngine::Init(const TIniData& ini)
{
    scheduler_->Init();
    scheduler_->Settings = ReadSettings(ini);
    ForceDirectories(dataDir_);
    mu_->ResetMU();
    or_->ResetOR();
}

void TCollectorEngine::RefreshCheckPoint() { RefreshCheckPointFile(qryODBC, dataDir_, oracleVersion_); }

void TCollectorEngine::StartDisconnected(const std::string& reason)
{
    db_->MarkLost(reason);
    scheduler_->StartDisconnected();
}
