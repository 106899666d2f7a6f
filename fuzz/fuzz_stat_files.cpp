// The viewer's readers of the MU, OR and ML statistics files on arbitrary bytes.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelv_fuzz::AbortOnFailure(kelv_fuzz::CheckStatFiles(data, size));
    return 0;
}
