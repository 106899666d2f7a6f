// Every input a fuzzer found, and every seed of the fuzzers, replayed through
// the fuzzers' own checks.
#include "FuzzChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

namespace kelv_fuzz {
// Test names show the check by its name.
void PrintTo(const TNamedCheck& check, std::ostream* out) { *out << check.Name; }
}  // namespace kelv_fuzz

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsIn(const fs::path& dir) {
    std::vector<fs::path> files;
    if (fs::is_directory(dir))
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    return files;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectEveryInputPasses(const kelv_fuzz::TNamedCheck& check, const std::vector<fs::path>& files) {
    for (const fs::path& file : files) {
        const std::string input = Bytes(file);
        EXPECT_EQ(check.Check(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "")
            << file;
    }
}

class FuzzInputs : public testing::TestWithParam<kelv_fuzz::TNamedCheck> {};

TEST_P(FuzzInputs, FoundInputsPass) {
    ExpectEveryInputPasses(GetParam(), InputsIn(fs::path(KELV_FUZZ_REGRESSION_DIR) / GetParam().Name));
}

TEST_P(FuzzInputs, SeedCorpusPasses) {
    const std::vector<fs::path> seeds = InputsIn(fs::path(KELV_FUZZ_CORPUS_DIR) / GetParam().Name);
    ASSERT_FALSE(seeds.empty()) << "no seed corpus for " << GetParam().Name;
    ExpectEveryInputPasses(GetParam(), seeds);
}

INSTANTIATE_TEST_SUITE_P(Checks, FuzzInputs, testing::ValuesIn(kelv_fuzz::AllChecks()),
                         [](const testing::TestParamInfo<kelv_fuzz::TNamedCheck>& info) {
                             return std::string(info.param.Name);
                         });

}  // namespace
