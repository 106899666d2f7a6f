// The collector's writers (in a child process) against the viewer's read
// path (lock, whole file, record reader) taken again and again, now and
// then held as a slow reader would: every read is whole or refused, and
// nothing the collector writes is lost.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "KvCom.h"
#include "KvLatchDay.h"
#include "KvgLines.h"
#include "KvgStatFiles.h"
#include "RobustSupport.h"

using namespace robust;

namespace {

constexpr int kDate = 20240101;
constexpr int kTickMicros = 500;

int Writes() { return EnvCount("KELV_ROBUST_READS", 2000) / 5; }

// Reads like the viewer: true when whole (content filled), false when refused.
// holdMicros keeps the lock a while after the read.
bool ViewerRead(const fs::path& file, std::string& content, unsigned holdMicros)
{
    if (!ReadWholeFileLocked(file.string(), content)) return false;
    if (holdMicros > 0) {
        const int held = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (held >= 0 && ::flock(held, LOCK_SH | LOCK_NB) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(holdMicros));
        if (held >= 0) ::close(held);
    }
    return true;
}

// Runs the writer in a child; the reader loop runs until the child ends.
// Returns the child's exit status.
int WhileChildWrites(const std::function<int()>& writer, const std::function<void()>& readOnce)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(writer());
    int status = 0;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<unsigned> pause(0, 1000);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        readOnce();
        // A user selects days at a human pace; here a fraction of a millisecond.
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        if (::testing::Test::HasFatalFailure()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(SharedFiles, HourLinesArriveWhileTheViewerReadsTheDayFile)
{
    TScratch dir("hours");
    const fs::path mu = dir / ("MU" + std::to_string(kDate) + ".dat");
    SetErrLogDir(dir.Path().string());
    const int lines = Writes();
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<unsigned> hold(0, 3000);
    int whole = 0, refused = 0;
    const int status = WhileChildWrites(
        [&] {
            // The collector's hour step and the retries at the start of each tick.
            TStatFiles files(dir.Path().string());
            for (int n = 0; n < lines; ++n) {
                files.RetryPending();
                files.AppendHourLine("MU", "MUInsMU", kDate, n % 24, NumberedLine(n, kMUWidth));
                std::this_thread::sleep_for(std::chrono::microseconds(kTickMicros));
            }
            for (int tick = 0; files.PendingCount() > 0 && tick < TStatFiles::kPendingTickLimit; ++tick) {
                std::this_thread::sleep_for(std::chrono::microseconds(kTickMicros));
                files.RetryPending();
            }
            return files.PendingCount() == 0 ? 0 : 1;
        },
        [&] {
            std::string content;
            if (!ViewerRead(mu, content, hold(random) < 300 ? hold(random) : 0)) {
                refused += fs::exists(mu);  // the busy message
                return;
            }
            ++whole;
            ASSERT_EQ(CheckDigitLines(content, kMUWidth, false).Problem, "") << "read " << whole;
        });
    SetErrLogDir("");
    ASSERT_EQ(status, 0) << "lines were still kept back at the end";
    const std::string bytes = ReadAll(mu);
    const TFileCheck check = CheckDigitLines(bytes, kMUWidth, false);
    ASSERT_EQ(check.Problem, "");
    ASSERT_EQ(check.Lines, static_cast<size_t>(lines));
    for (int n = 0; n < lines; ++n)
        ASSERT_EQ(bytes.compare(static_cast<size_t>(n) * (kMUWidth + 2), kMUWidth, NumberedLine(n, kMUWidth)), 0)
            << "line " << n + 1 << " out of order";
    for (const auto& e : fs::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string().rfind("KVErr", 0), 0u) << "a line was given up";
    std::cout << "hour lines: " << lines << " appended, " << whole << " whole reads, " << refused
              << " refused as busy\n";
}

// The latch file is rewritten at every hour change; a viewer holding it
// at that moment must not cost the day the hour's latch growth.
TEST(SharedFiles, LatchTotalsSurviveTheViewerReadingTheFile)
{
    TScratch dir("latches");
    SetErrLogDir(dir.Path().string());
    const fs::path ml = dir / ("ML" + std::to_string(kDate) + ".dat");
    // Each rewrite syncs twice: fewer of them than of appends.
    const int updates = Writes() / 2;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<unsigned> hold(0, 3000);
    int whole = 0, refused = 0;
    const int status = WhileChildWrites(
        [&] {
            // The collector's hour step and the retries at the start of each tick.
            TStatFiles files(dir.Path().string());
            for (int n = 0; n < updates; ++n) {
                files.RetryPending();
                files.AddLatchGrowth(kDate, {{"cache buffers chains", 1, 0},
                                             {"latch " + std::to_string(n % 50), 2, 1}});
                std::this_thread::sleep_for(std::chrono::microseconds(kTickMicros));
            }
            for (int tick = 0; files.PendingCount() > 0 && tick < TStatFiles::kPendingTickLimit; ++tick) {
                std::this_thread::sleep_for(std::chrono::microseconds(kTickMicros));
                files.RetryPending();
            }
            return files.PendingCount() == 0 ? 0 : 1;
        },
        [&] {
            std::string content;
            if (!ViewerRead(ml, content, hold(random) < 300 ? hold(random) : 0)) {
                refused += fs::exists(ml);
                return;
            }
            ++whole;
            ASSERT_EQ(CheckLatchFile(content).Problem, "") << "read " << whole;
            ASSERT_EQ(BuildLatchEntries(content, -1).Skipped, 0);
        });
    SetErrLogDir("");
    EXPECT_EQ(status, 0) << "latch growth was still kept back at the end";
    const TLatchTotals last = TLatchTotals::FromFileText(ReadAll(ml));
    bool found = false;
    for (const std::string& line : last.Lines()) {
        if (line.rfind("cache buffers chains ", 0) != 0) continue;
        found = true;
        EXPECT_EQ(ParseNumberField(line.substr(65, 20)), updates) << "gets of every hour add up";
    }
    EXPECT_TRUE(found);
    std::cout << "latch file: " << updates << " rewrites, " << whole << " whole reads, " << refused
              << " refused as busy\n";
}
