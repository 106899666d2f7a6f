// Properties that the fuzzers check on arbitrary input, shared with the
// regression tests that replay the inputs the fuzzers found. Each check
// returns "" when every property held, else what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelv_fuzz {

using TFuzzCheck = std::string (*)(const uint8_t* data, size_t size);

// The settings file: load and save keep the layout, one changed key changes one line.
std::string CheckIniRoundTrip(const uint8_t* data, size_t size);
// The null marker in statement text: replaced outside string literals only.
std::string CheckNullConvert(const uint8_t* data, size_t size);
// Version detection from a V$VERSION banner.
std::string CheckBanner(const uint8_t* data, size_t size);
// Statement texts of the live pages: no text of the sort direction leaks in.
std::string CheckOrderBy(const uint8_t* data, size_t size);
// The viewer's readers of the MU, OR and ML statistics files.
std::string CheckStatFiles(const uint8_t* data, size_t size);

struct TNamedCheck {
    const char* Name;  // folder name of its corpus and regression inputs
    TFuzzCheck Check;
};
// Every check that this build holds.
const std::vector<TNamedCheck>& AllChecks();

// For the fuzzers: prints the failure and aborts, so that the input is kept.
void AbortOnFailure(const std::string& failure);

}  // namespace kelv_fuzz
