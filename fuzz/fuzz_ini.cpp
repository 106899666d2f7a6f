// The settings file "Kelv.ini" loaded from arbitrary bytes, saved and changed.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelv_fuzz::AbortOnFailure(kelv_fuzz::CheckIniRoundTrip(data, size));
    return 0;
}
