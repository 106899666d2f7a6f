#include "KvxInstance.h"

#include <cmath>

#include "KvOracle.h"
#include "KvSessionNls.h"
#include "KvText.h"
#include "KvgLines.h"
#include "KvxLog.h"
#include "KvxStatements.h"

namespace {

const char* const kCredentialsRefusedState = "28000";
const char* const kGroupErrorContext = "Exporter";
const char* const kNoRowText = "the statement returned no row";

bool IsConnectionClass(const std::string& sqlState) { return sqlState.compare(0, 2, "08") == 0; }

// A password in a connection string is braced when it holds characters
// that would end or open an attribute.
std::string ConnectionStringValue(const std::string& value)
{
    if (value.find_first_of(";{}") == std::string::npos && value == Trim(value)) return value;
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}') braced += '}';
    }
    return braced + "}";
}

struct THourlyItemGroup {
    unsigned Item;
    TFigureGroup Group;
};
const THourlyItemGroup kHourlyGroups[] = {
    {muItemSA, grpSqlArea},        {muItemLC, grpLibraryCache}, {muItemDC, grpDictionaryCache},
    {muItemBBs, grpDatabaseBuffers}, {muItemBB, grpBufferReads}, {muItemLB, grpRedoBuffers},
    {muItemSRs, grpSortAreaSize},  {muItemSR, grpSorts},        {muItemLA, grpLatches},
};

}  // namespace

TMillis BackoffAfter(int failures, TMillis max)
{
    if (failures <= 0) return TMillis(0);
    TMillis delay = kFirstBackoff;
    for (int i = 1; i < failures && delay < max; ++i) delay *= 2;
    return delay < max ? delay : max;
}

TWatchedInstance::TWatchedInstance(const TInstanceConfig& config, const std::string& password,
                                   TMillis backoffMax)
    : name_(config.Name), backoffMax_(backoffMax)
{
    if (!config.DataSource.empty()) {
        query_.SetDriverConnect(false);
        query_.SetDSName(config.DataSource);
        query_.SetPassword(password);
    } else {
        query_.SetDriverConnect(true);
        query_.SetConnectInfo(config.ConnectionString);
        query_.SetPassword(ConnectionStringValue(password));
    }
    query_.SetUserID(config.User);
    // The shared-pool statement takes its form from the instance's version.
    memoryUnit_.UseOracleVersion(&oracleVersion_);
    // Figures are read from number texts: a client language with a decimal
    // comma must not change them. A refusal is logged; the figures still come.
    SetSessionNlsAfterConnect(query_, [this](const TSessionNlsRefusal& refusal) {
        LogEvent(TLogLevel::Warn, "session settings refused",
                 LogField("dsn", name_) + " " + LogField("err", refusal.Message));
    });
}

std::string TWatchedInstance::NotConnectedText(TSteadyTime now) const
{
    const double wait = std::chrono::duration<double>(nextAttempt_ - now).count();
    return "not connected (" + lastError_ + "); next attempt in " + std::to_string(std::lround(std::ceil(wait))) +
           " s";
}

void TWatchedInstance::ConnectIfDue()
{
    if (link_ == TLink::Up || std::chrono::steady_clock::now() < nextAttempt_) return;
    std::string error;
    TryConnect(error);
}

bool TWatchedInstance::TryConnect(std::string& error)
{
    connection_.reset();
    db_.Attach(nullptr);
    try {
        query_.Disconnect();
    } catch (...) {
        // What is left of a lost connection cannot be closed cleanly.
    }
    bool refusedCredentials = false;
    try {
        query_.Connect();
        if (query_.Connected()) oracleVersion_ = CheckOracleVersion(query_).Version;
    } catch (const EODBCError& e) {
        error = e.ErrorMessage;
        refusedCredentials = e.SQLState == kCredentialsRefusedState;
        // A version that cannot be read is no reason to give up a connection.
        if (query_.Connected() && !IsConnectionClass(e.SQLState)) error.clear();
    }
    if (error.empty() && !query_.Connected()) error = "the connection was not made";
    if (!error.empty()) {
        NoteFailure(error, refusedCredentials);
        return false;
    }
    connection_ = std::make_unique<TOdbcCollectorDb>(query_);
    db_.Attach(connection_.get());
    link_ = TLink::Up;
    if (!loggedError_.empty()) LogEvent(TLogLevel::Info, "connected again");
    loggedError_.clear();
    return true;
}

void TWatchedInstance::NoteFailure(const std::string& error, bool refusedCredentials)
{
    link_ = TLink::Down;
    lastError_ = error;
    ++failures_;
    // Refused credentials are tried again seldom: many failed logons lock the account.
    const TMillis pause = refusedCredentials ? backoffMax_ : BackoffAfter(failures_, backoffMax_);
    nextAttempt_ = std::chrono::steady_clock::now() + pause;
    if (error != loggedError_)
        LogEvent(TLogLevel::Error, "instance down",
                 LogField("err", error) + " " + LogField("retry_in", std::to_string(pause.count()) + "ms"));
    loggedError_ = error;
}

template <typename Body>
bool TWatchedInstance::ReadGroup(TFigureGroup group, Body body)
{
    if (db_.ConnectionLost()) return false;
    db_.BeginGroup();
    std::string failure;
    try {
        body();
    } catch (const TDbError& e) {
        failure = e.ErrorMessage;
    }
    // The collector's units keep their failures to themselves.
    if (failure.empty() && db_.GroupFailed()) failure = db_.GroupFailure();
    if (failure.empty()) {
        groupErrors_.Succeeded(kGroupErrorContext, GroupName(group));
        return true;
    }
    // A lost connection is reported once, for the whole instance.
    if (!db_.ConnectionLost()) groupErrors_.Failed(kGroupErrorContext, GroupName(group), failure);
    return false;
}

void TWatchedInstance::ReadFigures(TInstanceReading& r)
{
    r.OracleVersion = oracleVersion_;

    // No hour in progress: the interval samples below start from nothing.
    memoryUnit_.ResetMU();
    memoryUnit_.ReadMU_Hour(r.Hourly, r.Latches);
    for (const THourlyItemGroup& g : kHourlyGroups) r.GroupOk[g.Group] = (r.Hourly.ValidItems & g.Item) != 0;

    r.GroupOk[grpSharedPool] = ReadGroup(grpSharedPool, [&] {
        memoryUnit_.SampleMU_SP();
        const TMURecord& sampled = memoryUnit_.MUPrev();
        if (sampled.SharedPoolSize <= 0 && !db_.GroupFailed()) throw TDbError("", kNoRowText);
        r.SharedPoolSizeBytes = sampled.SharedPoolSize;
        r.SharedPoolFreeBytes = sampled.SharedPoolSize - sampled.SharedPoolUsedMax;
    });
    r.GroupOk[grpLogBuffer] = ReadGroup(grpLogBuffer, [&] {
        memoryUnit_.SampleMU_LB();
        if (memoryUnit_.MUPrev().LogBufferMax <= 0 && !db_.GroupFailed()) throw TDbError("", kNoRowText);
        r.LogBufferBytes = memoryUnit_.MUPrev().LogBufferMax;
    });
    r.GroupOk[grpClientMachines] = ReadGroup(grpClientMachines, [&] {
        TORRecord rate;
        rateUnit_.ReadOR_Hour(rate);
        r.ClientMachines = rate.Logins;
    });
    r.GroupOk[grpSessions] = ReadGroup(grpSessions, [&] {
        db_.Run(kvx_sql::kSessions);
        while (db_.Fetch())
            r.Sessions.push_back({Trim(db_.Field("STATUS")), Trim(db_.Field("TYPE")),
                                  TextToNumber(db_.Field("SESSIONS"))});
    });
    r.GroupOk[grpTablespaces] = ReadGroup(grpTablespaces, [&] {
        db_.Run(kvx_sql::kTablespaces);
        while (db_.Fetch())
            r.Tablespaces.push_back({Trim(db_.Field("TABLESPACE_NAME")), TextToNumber(db_.Field("BYTES")),
                                     TextToNumber(db_.Field("FREE"))});
    });
    r.GroupOk[grpLogSwitches] = ReadGroup(grpLogSwitches, [&] {
        db_.Run(kvx_sql::kLogSwitches);
        if (db_.Fetch()) r.LogSwitches = TextToNumber(db_.Field("SWITCHES"));
    });
}

// The driver manager checks every call's handle against the list of all
// statements of the process: statements kept between scrapes by hundreds of
// instances would make every call of every instance walk that list.
void TWatchedInstance::ReleaseStatements()
{
    try {
        query_.FreeStatements(0);
    } catch (...) {
        // A statement of a lost connection is released with the connection.
    }
}

TInstanceReading TWatchedInstance::Collect()
{
    TInstanceReading reading;
    const TSteadyTime now = std::chrono::steady_clock::now();
    if (link_ == TLink::Down) {
        if (now < nextAttempt_) {
            reading.Error = NotConnectedText(now);
            return reading;
        }
        if (!TryConnect(reading.Error)) return reading;
    }
    ReadFigures(reading);
    ReleaseStatements();
    if (db_.ConnectionLost()) {
        // Figures of a connection that broke halfway are no figures.
        const std::string why = "connection lost: " + db_.LossMessage();
        NoteFailure(why, false);
        reading = TInstanceReading();
        reading.Error = why;
        return reading;
    }
    failures_ = 0;
    reading.Up = true;
    return reading;
}
