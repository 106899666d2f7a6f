// NULL conversion of statement text (first byte picks the null marker).
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelv_fuzz::AbortOnFailure(kelv_fuzz::CheckNullConvert(data, size));
    return 0;
}
