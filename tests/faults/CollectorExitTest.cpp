// Ending the real collector from its window while a reader holds the day's
// files across an hour change: the lines kept back get a last try, and each
// one still refused goes into the error log with its figures.
#include <fstream>

#include "CollectorRun.h"
#include "HeldByReader.h"
#include "XDisplay.h"

namespace faults {
namespace {

// One simulated minute a real second: the kept lines are far from being
// given up (ten minutes) when the test ends the collector.
constexpr int kExitSpeed = 60;
constexpr int kWindowSeconds = 30;
constexpr int kMUWidth = 568;

using CollectorExit = CollectorRun;

TEST_F(CollectorExit, LinesAReaderKeptBackAreLoggedWithTheirFiguresWhenTheCollectorEnds)
{
    if (!HaveXDisplay()) GTEST_SKIP() << "needs an X display and xdotool";
    Speed = kExitSpeed;
    StartAt(10, 55);
    // The viewer has the day's memory files open when hour 10 ends.
    const auto muFile = data_ / ("MU" + day_ + ".dat");
    const auto mlFile = data_ / ("ML" + day_ + ".dat");
    std::ofstream(muFile).close();
    std::ofstream(mlFile).close();
    kelvtest::HeldByReader muReader(muFile.string()), mlReader(mlFile.string());
    ASSERT_TRUE(muReader.Held() && mlReader.Held());
    Platform = "xcb";  // without a tray icon on this display the window shows at start
    Start();
    ASSERT_TRUE(WaitFor([&] { return !LineOf(Or(), 10).empty(); })) << "the hour change came";
    EXPECT_TRUE(Mu().empty());

    const unsigned long window = WaitForWindow(CollectorPid(), kWindowSeconds);
    ASSERT_NE(window, 0u);
    PressKey(window, "alt+x");  // "プロセス終了(&X)"
    const unsigned long question = WaitForWindow(CollectorPid(), kWindowSeconds, window);
    ASSERT_NE(question, 0u);
    PressKey(question, "y");
    EXPECT_EQ(WaitForExit(kWindowSeconds), 0);

    EXPECT_TRUE(Mu().empty()) << "nothing written under the reader's lock";
    EXPECT_TRUE(Ml().empty());
    // The hour's MU line, whole, directly after the file name.
    const std::string muEntry = "<<MUInsMU(" + day_ + "10)>> " + muFile.string();
    std::string logged;
    for (const std::string& l : ErrLog())
        if (l.find(muEntry) != std::string::npos) logged = l.substr(l.find(muEntry) + muEntry.size());
    ASSERT_EQ(logged.size(), static_cast<size_t>(kMUWidth)) << "the MU line of hour 10 in the error log";
    EXPECT_EQ(logged.substr(0, 2), "10");
    EXPECT_GT(FieldAt(logged, 389, 20), 0) << "with its figures";
    // The hour's latch growth, a line per latch.
    EXPECT_EQ(ErrLogCount({"<<MUUpdML(" + day_ + ")>> " + mlFile.string() + "cache buffers chains "}), 1);
    EXPECT_EQ(ErrLogCount({"<<MUUpdML(" + day_ + ")>> " + mlFile.string() + "shared pool "}), 1);
}

}  // namespace
}  // namespace faults
