#include "ControlStatement.h"

#include "Instance.h"
#include "OracleLexer.h"
#include "SimKnobs.h"
#include "SqlErrors.h"

#include <cctype>

namespace sim {

namespace {

const char* const kFaultPrefix = "SIM_";

bool IsFaultKey(const std::string& key) {
    for (size_t i = 0; i < kFaultKeyCount; ++i)
        if (key == kFaultKeys[i]) return true;
    return false;
}

// 'sid,serial' with both parts plain non-negative integers.
bool ParseSessionId(const std::string& text, int64_t& sid, int64_t& serial) {
    auto comma = text.find(',');
    if (comma == std::string::npos) return false;
    auto number = [](std::string part, int64_t& out) {
        while (!part.empty() && part.front() == ' ') part.erase(part.begin());
        while (!part.empty() && part.back() == ' ') part.pop_back();
        if (part.empty() || part.size() > 12) return false;
        for (char c : part)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        out = std::stoll(part);
        return true;
    };
    return number(text.substr(0, comma), sid) && number(text.substr(comma + 1), serial);
}

SimError IllegalOption() { return OraError("HY000", 2065, "illegal option for ALTER SYSTEM"); }

void Kill(Instance& instance, const std::vector<Token>& t, const Instance::ClientId& caller) {
    if (t.size() < 5 || !t[4].Is(TokenKind::String)) throw OraError("HY000", 26, "missing or invalid session ID");
    if (t.size() > 6 || (t.size() == 6 && !t[5].IsWord("IMMEDIATE"))) throw OraError("42000", 933, "SQL command not properly ended");
    int64_t sid = 0, serial = 0;
    if (!ParseSessionId(t[4].Text, sid, serial)) throw OraError("HY000", 26, "missing or invalid session ID");
    switch (instance.KillSession(sid, serial, caller)) {
        case Instance::KillResult::Killed: return;
        case Instance::KillResult::OwnSession: throw OraError("HY000", 27, "cannot kill current session");
        case Instance::KillResult::MarkedForKill: throw OraError("HY000", 31, "session marked for kill");
        case Instance::KillResult::Background: throw OraError("HY000", 29, "session is not a user session");
        case Instance::KillResult::NotFound: throw OraError("HY000", 30, "User session ID does not exist.");
    }
}

void SetFault(Instance& instance, const std::vector<Token>& t) {
    // ALTER SYSTEM SET SIM_<KEY> = value
    if (t.size() != 6 || !t[4].IsSymbol("=")) throw IllegalOption();
    std::string key = UpperAscii(t[3].Text).substr(std::string(kFaultPrefix).size());
    if (!IsFaultKey(key)) throw OraError("HY000", 2065, "illegal option for ALTER SYSTEM");
    if (!t[5].Is(TokenKind::String) && !t[5].Is(TokenKind::Number) && !t[5].Is(TokenKind::Identifier))
        throw OraError("42000", 936, "missing expression");
    instance.SetRuntimeFault(key, t[5].Text);
}

bool IsFaultSetting(const std::vector<Token>& t) {
    return t.size() >= 4 && t[2].IsWord("SET") && t[3].Is(TokenKind::Identifier) &&
           UpperAscii(t[3].Text).rfind(kFaultPrefix, 0) == 0;
}

std::vector<Token> TokensOf(const std::string& sql) {
    std::vector<Token> t = Tokenize(sql);
    while (!t.empty() && t.back().IsSymbol(";")) t.pop_back();
    return t;
}

}  // namespace

bool IsSimulatorControl(const std::string& oracleSql) {
    try {
        std::vector<Token> t = TokensOf(oracleSql);
        if (t.size() < 3 || !t[0].IsWord("ALTER") || !t[1].IsWord("SYSTEM")) return false;
        return IsFaultSetting(t) || (t[2].IsWord("RESTART") && t.size() == 4 && t[3].IsWord("INSTANCE"));
    } catch (const SimError&) {
        return false;
    }
}

void RunAlterSystem(Instance& instance, const std::string& oracleSql, bool isDba, const Instance::ClientId& caller) {
    std::vector<Token> t = TokensOf(oracleSql);
    if (t.size() < 3) throw IllegalOption();
    // Fault switches are the test bench's, open to every user.
    if (IsFaultSetting(t)) return SetFault(instance, t);
    if (!isDba) throw InsufficientPrivileges();
    if (t[2].IsWord("KILL") && t.size() >= 4 && t[3].IsWord("SESSION")) return Kill(instance, t, caller);
    if (t[2].IsWord("FLUSH") && t.size() == 4 && t[3].IsWord("SHARED_POOL")) return instance.FlushSharedPool();
    if (t[2].IsWord("RESTART") && t.size() == 4 && t[3].IsWord("INSTANCE")) return instance.Restart();
    if (t[2].IsWord("CHECKPOINT") && t.size() == 3) return;
    if (t[2].IsWord("SWITCH") && t.size() == 4 && t[3].IsWord("LOGFILE")) return;
    throw IllegalOption();
}

}  // namespace sim
