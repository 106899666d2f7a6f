#include "E2ESupport.h"

#include <memory>

const TExpectedRun& SharedExpectations()
{
    static const std::unique_ptr<TExpectedRun> expected =
        std::make_unique<TExpectedRun>(ExpectFromSimulator(SharedCollectorRun()));
    return *expected;
}

void TCollectorRunTest::SetUp()
{
    const TCollectorRun& run = SharedCollectorRun();
    if (run.Skipped) GTEST_SKIP() << run.Problem;
    ASSERT_EQ(run.Problem, "") << "the collector run went wrong";
}
