#include "KvgErrLogOnce.h"

#include "KvCom.h"

namespace {
std::string Key(const std::string& context, const std::string& detail)
{
    return context + "(" + detail;
}
}  // namespace

void TErrLogOnce::Failed(const std::string& context, const std::string& detail,
                         const std::string& message)
{
    auto [it, fresh] = lastFailure_.emplace(Key(context, detail), message);
    if (!fresh) {
        if (it->second == message) return;
        it->second = message;
    }
    WriteErrLog(context, detail, message);
}

void TErrLogOnce::Succeeded(const std::string& context, const std::string& detail)
{
    lastFailure_.erase(Key(context, detail));
}
