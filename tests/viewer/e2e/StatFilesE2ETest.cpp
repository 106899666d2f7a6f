// The files of the run against the instance: every MU, OR and ML line is the
// line the simulator's counters imply (the host's memory within its bounds).
#include <algorithm>
#include <map>
#include <strings.h>

#include "CollectorHarness.h"
#include "E2ESupport.h"
#include "StatFiles.h"

namespace {

using StatFilesE2E = TCollectorRunTest;

TEST_F(StatFilesE2E, TheRunCoversTwoWholeDays)
{
    for (const std::string& day : Run().WholeDays) {
        SCOPED_TRACE(day);
        EXPECT_EQ(ReadStatLines(Run().Data / ("MU" + day + ".dat")).size(), 24u);
        EXPECT_EQ(ReadStatLines(Run().Data / ("OR" + day + ".dat")).size(), 24u);
        EXPECT_FALSE(ReadStatLines(Run().Data / ("ML" + day + ".dat")).empty());
    }
    // Nothing went wrong in the collector on the way.
    for (const std::string& line : kelvtest::ErrorLog(Run().Root))
        if (!line.empty()) ADD_FAILURE() << "error log: " << line;
}

TEST_F(StatFilesE2E, EveryFigureIsWhatTheInstanceImplies)
{
    const TExpectedRun& expected = Expected();
    for (const std::string& problem : expected.Problems) ADD_FAILURE() << problem;

    for (const std::string& day : Run().Days) {
        SCOPED_TRACE(day);
        const auto mu = ReadStatLines(Run().Data / ("MU" + day + ".dat"));
        const auto& muExpected = expected.MU.count(day) ? expected.MU.at(day) : std::vector<TMUHour>{};
        ASSERT_EQ(mu.size(), muExpected.size());
        for (size_t i = 0; i < mu.size(); ++i) EXPECT_EQ(mu[i], ExpectedMULine(muExpected[i])) << "MU line " << i;

        const auto orLines = ReadStatLines(Run().Data / ("OR" + day + ".dat"));
        const auto& orExpected = expected.OR.count(day) ? expected.OR.at(day) : std::vector<TORHour>{};
        ASSERT_EQ(orLines.size(), orExpected.size());
        for (size_t i = 0; i < orLines.size(); ++i)
            EXPECT_EQ(orLines[i], ExpectedORLine(orExpected[i])) << "OR line " << i;

        // The latch totals, one line per latch that grew, in name order
        // without regard to case.
        const auto mlLines = ReadStatLines(Run().Data / ("ML" + day + ".dat"));
        std::vector<std::string> mlExpected;
        if (expected.ML.count(day))
            for (const TLatchTotal& t : expected.ML.at(day)) mlExpected.push_back(ExpectedMLLine(t));
        std::sort(mlExpected.begin(), mlExpected.end(),
                  [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
        EXPECT_EQ(mlLines, mlExpected);
    }
}

}  // namespace
