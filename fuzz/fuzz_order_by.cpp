// ORDER BY texts of the live pages with any sort column and direction text.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelv_fuzz::AbortOnFailure(kelv_fuzz::CheckOrderBy(data, size));
    return 0;
}
