#include "KvxCapturingDb.h"

namespace {
const char* const kNoConnectionState = "08003";
const char* const kNoConnectionText = "no connection";
}  // namespace

ICollectorDb& TCapturingDb::Inner()
{
    if (!inner_) throw TDbError(kNoConnectionState, kNoConnectionText);
    return *inner_;
}

template <typename Body>
auto TCapturingDb::Capture(Body body) -> decltype(body())
{
    try {
        return body();
    } catch (const TDbError& e) {
        if (!failed_) failure_ = e.ErrorMessage;  // the first failure says why
        failed_ = true;
        throw;
    }
}

void TCapturingDb::Run(const std::string& sql, const std::string* param)
{
    Capture([&] { Inner().Run(sql, param); });
}

bool TCapturingDb::Fetch()
{
    return Capture([&] { return Inner().Fetch(); });
}

std::string TCapturingDb::Field(const std::string& name)
{
    return Capture([&] { return Inner().Field(name); });
}

std::string TCapturingDb::Column(int index)
{
    return Capture([&] { return Inner().Column(index); });
}

void TCapturingDb::LoadLatchGrid(TLatchTable& table)
{
    Capture([&] { Inner().LoadLatchGrid(table); });
}
