#include "FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

namespace kelv_fuzz {

const std::vector<TNamedCheck>& AllChecks() {
    static const std::vector<TNamedCheck> checks = {
        {"ini", CheckIniRoundTrip},
        {"null_convert", CheckNullConvert},
        {"banner", CheckBanner},
        {"order_by", CheckOrderBy},
#ifdef KELV_FUZZ_STAT_FILES
        {"stat_files", CheckStatFiles},
#endif
    };
    return checks;
}

void AbortOnFailure(const std::string& failure) {
    if (failure.empty())
        return;
    std::fprintf(stderr, "kelv fuzz check failed: %s\n", failure.c_str());
    std::abort();
}

}  // namespace kelv_fuzz
