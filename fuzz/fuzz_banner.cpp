// Oracle version detection from an arbitrary V$VERSION banner.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelv_fuzz::AbortOnFailure(kelv_fuzz::CheckBanner(data, size));
    return 0;
}
