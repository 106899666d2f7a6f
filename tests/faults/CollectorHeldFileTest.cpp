// The day's files held by a reader or unreadable while the real collector
// runs: ended from its window, it gives the lines kept back a last try and
// logs each one still refused with its figures; a latch file that cannot be
// read is left as it is and gets the kept growth once it can be read again.
#include <fcntl.h>
#include <stdio.h>

#include <fstream>

#include "CollectorRun.h"
#include "HeldByReader.h"
#include "XDisplay.h"

namespace faults {
namespace {

using kelvtest::ReadText;

// One simulated minute a real second: the kept lines are far from being
// given up (ten minutes) when the test ends the collector.
constexpr int kExitSpeed = 60;
constexpr int kWindowSeconds = 30;
constexpr int kMUWidth = 568;
// An hour in twelve real seconds, and a kept write's ten minutes in two.
constexpr int kUnreadableSpeed = 300;

using CollectorHeldFiles = CollectorRun;

TEST_F(CollectorHeldFiles, LinesAReaderKeptBackAreLoggedWithTheirFiguresWhenTheCollectorEnds)
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

TEST_F(CollectorHeldFiles, AnUnreadableLatchFileIsLeftAloneAndGetsTheHoursGrowthLater)
{
    Speed = kUnreadableSpeed;
    StartAt(10, 40);
    Start();
    ASSERT_TRUE(WaitFor([&] { return !LineOf(Or(), 10).empty(); }));
    // The day's latch totals become unreadable (a directory where the file was).
    const auto mlFile = data_ / ("ML" + day_ + ".dat");
    const std::string totals = ReadText(mlFile);
    ASSERT_FALSE(totals.empty());
    std::filesystem::remove(mlFile);
    std::filesystem::create_directory(mlFile);
    ASSERT_TRUE(WaitFor([&] { return !LineOf(Or(), 11).empty(); }));
    ASSERT_TRUE(WaitUntilCollectorTime(At(12, 3)));
    EXPECT_TRUE(std::filesystem::is_directory(mlFile)) << "left as it is";
    EXPECT_EQ(ErrLogCount({"<<MUUpdML(" + day_ + ")>> " + mlFile.string() + " cannot be read",
                           "Is a directory"}), 1) << "once, not at every try";

    // Readable again: the kept growth of hour 11 is added to the day's totals.
    // The file comes back whole in one step, as a restore by rename does: a
    // tick between removing the directory and writing the file would find
    // no file (a new day) or an empty one.
    const auto restored = root_ / "ML.restored";
    std::ofstream(restored, std::ios::binary) << totals;
    ASSERT_EQ(::renameat2(AT_FDCWD, restored.c_str(), AT_FDCWD, mlFile.c_str(), RENAME_EXCHANGE), 0);
    std::filesystem::remove(restored);
    ASSERT_TRUE(WaitUntilCollectorTime(At(12, 4)));
    Stop();
    long long chains = 0;
    for (const std::string& l : Mu()) chains += FieldAt(l, 189, 20);
    long long total = -1;
    for (const std::string& l : Ml())
        if (l.rfind("cache buffers chains ", 0) == 0) total = FieldAt(l, 66, 20);
    EXPECT_EQ(total, chains) << "hours 10 and 11, nothing lost";
    EXPECT_EQ(Hours(Mu()), (std::vector<int>{10, 11}));
    EXPECT_EQ(ErrLog().size(), 1u) << "the one entry above";
}

}  // namespace
}  // namespace faults
