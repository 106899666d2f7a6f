// The real collector under an accelerated clock against its own simulated
// instance: killed with SIGKILL at random moments, run after run, its files
// stay sound; and a reader that keeps taking the viewer's lock on its files
// neither reads a torn file nor costs the collector a line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <thread>

#include "CollectorHarness.h"
#include "HeldByReader.h"
#include "KvCom.h"
#include "KvLatchDay.h"
#include "KvStatRecords.h"
#include "RobustSupport.h"

using namespace robust;
using SteadyClock = std::chrono::steady_clock;

namespace {

const char* const kDsn = "KELV_ROBUST";
// Simulated seconds per real second: an hour change every 0.12 s.
constexpr long kSpeed = 30000;
constexpr int kStartupTimeoutSeconds = 60;

int CollectorKills() { return EnvCount("KELV_ROBUST_COLLECTOR_KILLS", 60); }

// A private program directory with the collector, its settings and data
// source; the collector's simulated clock carries on from run to run.
class CollectorRuns : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path bin = Env("KELV_BIN_DIR");
        driver_ = Env("KELV_SIM_DRIVER");
        if (bin.empty() || !fs::exists(bin / "Kelvg") || !fs::exists(driver_))
            GTEST_SKIP() << "needs the collector and the simulated instance's driver";
        if (!kelvtest::HaveFaketime()) GTEST_SKIP() << "no libfaketime";
        root_ = std::make_unique<TScratch>("collector");
        data_ = Root() / "KLVDAT";
        fs::create_directories(Root() / "run");
        fs::permissions(Root() / "run", fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(bin / "Kelvg", Root() / "Kelvg");
        WriteAll(Root() / "Kelv.ini",
                 ";robustness\r\nCMNKD=3\r\nMUSDP=60\r\nMULGB=60\r\nORCUR=60\r\nORFRM=60\r\n"
                 "ORPGO=60\r\n;END\r\n");
        ini_ = ReadAll(Root() / "Kelv.ini");
        // The instance file lies outside the program directory.
        instance_ = std::make_unique<TScratch>("instance");
        std::ofstream(Root() / "odbc.ini")
            << "[" << kDsn << "]\nDescription = Oracle stand-in\nDriver = " << driver_
            << "\nDatabase = " << (instance_->Path() / "ora.db").string() << "\nVersion = 10\n";
        // Start at 22:30 UTC of today, so that day changes come soon.
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        tm.tm_hour = 22;
        tm.tm_min = 30;
        tm.tm_sec = 0;
        simulated_ = timegm(&tm);
    }
    void TearDown() override { Stop(); }

    const fs::path& Root() const { return root_->Path(); }

    // Starts the collector; its clock starts where the last run stopped.
    // Odd runs take the password from KELV_PASSWORD, even ones from the
    // command line.
    void Start(int run)
    {
        const long offset = static_cast<long>(simulated_ - std::time(nullptr));
        startedAt_ = SteadyClock::now();
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ > 0) return;
        if (::chdir(Root().c_str()) != 0) ::_exit(127);
        ::setenv("ODBCINI", (Root() / "odbc.ini").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (Root() / "run").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("TZ", "UTC", 1);
        const std::string spec = "+" + std::to_string(offset) + " x" + std::to_string(kSpeed);
        std::vector<std::string> argv = {(Root() / "Kelvg").string(), kDsn, "system"};
        if (run % 2) {
            ::setenv("KELV_PASSWORD", "manager", 1);
        } else {
            ::unsetenv("KELV_PASSWORD");
            argv.push_back("manager");
        }
        kelvtest::ExecUnderFakeTime(spec, argv);
    }

    // Kills the collector; false when it had ended by itself.
    bool Stop()
    {
        if (pid_ <= 0) return true;
        const bool running = Running();
        if (running) {
            ::kill(pid_, SIGKILL);
            kelvtest::ReapFakeTimeChild(pid_, nullptr, 0);
        }
        pid_ = -1;
        ended_ = false;
        const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - startedAt_);
        simulated_ += static_cast<std::time_t>(real.count() * kSpeed / 1000);
        return running;
    }

    bool Running()
    {
        if (pid_ <= 0 || ended_) return false;
        ended_ = kelvtest::ReapFakeTimeChild(pid_, nullptr, WNOHANG) == pid_;
        return !ended_;
    }

    // Waits until the collector has written its checkpoint file (it is
    // logged in and its timer runs).
    bool WaitForFirstWrite()
    {
        const auto deadline = SteadyClock::now() + std::chrono::seconds(kStartupTimeoutSeconds);
        while (SteadyClock::now() < deadline && Running()) {
            if (fs::exists(data_ / "ChkeckPoint.dat")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Identity of the checkpoint file: a new one after every rewrite.
    ino_t CheckPointFileId() const
    {
        struct stat st {};
        return ::stat((data_ / "ChkeckPoint.dat").c_str(), &st) == 0 ? st.st_ino : 0;
    }

    // Waits until the collector has replaced the checkpoint file (it is
    // logged in and its timer is about to run); false if it never did.
    bool WaitForCheckPointRewrite(ino_t before)
    {
        const auto deadline = SteadyClock::now() + std::chrono::seconds(kStartupTimeoutSeconds);
        while (SteadyClock::now() < deadline && Running()) {
            if (CheckPointFileId() != before) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Every statistics file of the data directory is sound; torn MU/OR
    // tails are counted (the next append drops them).
    void CheckFiles(const std::string& when)
    {
        if (!fs::exists(data_)) return;
        for (const auto& e : fs::directory_iterator(data_)) {
            const std::string name = e.path().filename().string();
            const std::string bytes = ReadAll(e.path());
            TFileCheck check;
            if (name.rfind("MU", 0) == 0)
                check = CheckDigitLines(bytes, kMUWidth, true);
            else if (name.rfind("OR", 0) == 0)
                check = CheckDigitLines(bytes, kORWidth, true);
            else if (name.rfind("ML", 0) == 0)
                check = CheckLatchFile(bytes);
            else if (name == "ChkeckPoint.dat")
                check = CheckCheckPointFile(bytes);
            ASSERT_EQ(check.Problem, "") << name << " " << when;
            tornTails_ += check.TornTail;
        }
        ASSERT_EQ(ReadAll(Root() / "Kelv.ini"), ini_) << "Kelv.ini " << when;
    }

    // Names and sizes of the data files: changes when a run wrote.
    std::string DataSignature() const
    {
        std::string s;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(data_, ec))
            s += e.path().filename().string() + ":" + std::to_string(e.file_size(ec)) + ";";
        return s;
    }

    // Error-log lines of the runs.
    std::vector<std::string> ErrorLogLines()
    {
        std::vector<std::string> lines;
        for (const auto& e : fs::directory_iterator(Root())) {
            if (e.path().filename().string().rfind("KVErr", 0) != 0) continue;
            std::ifstream in(e.path(), std::ios::binary);
            for (std::string line; std::getline(in, line);) lines.push_back(line);
        }
        return lines;
    }

    std::string driver_, ini_;
    std::unique_ptr<TScratch> root_, instance_;
    fs::path data_;
    pid_t pid_ = -1;
    bool ended_ = false;  // reaped after it ended by itself
    std::time_t simulated_ = 0;
    SteadyClock::time_point startedAt_;
    int tornTails_ = 0, tempFiles_ = 0;
};

}  // namespace

TEST_F(CollectorRuns, KilledAtRandomItsFilesStaySound)
{
    // The first run builds the instance and logs in: wait for it.
    Start(0);
    ASSERT_TRUE(WaitForFirstWrite()) << "the collector did not start";
    std::mt19937 random(std::random_device{}());
    // Every third kill anywhere from the start (logon, checkpoint file), the
    // others while the collector runs its ticks: hours end every 0.12 s.
    std::uniform_int_distribution<int> fromStartMs(0, 1500), whileRunningMs(0, 600);
    int killedRunning = 0, runsThatWrote = 0;
    std::string before = DataSignature();
    for (int i = 0; i < CollectorKills(); ++i) {
        if (i > 0) {
            const auto checkPoint = CheckPointFileId();
            Start(i);
            if (i % 3 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(fromStartMs(random)));
            else if (WaitForCheckPointRewrite(checkPoint))
                std::this_thread::sleep_for(std::chrono::milliseconds(whileRunningMs(random)));
        }
        killedRunning += Stop();
        ASSERT_NO_FATAL_FAILURE(CheckFiles("after kill " + std::to_string(i + 1)));
        const std::string after = DataSignature();
        runsThatWrote += after != before;
        before = after;
    }
    size_t muLines = 0, days = 0;
    for (const auto& e : fs::directory_iterator(data_)) {
        if (e.path().filename().string().rfind("MU", 0) != 0) continue;
        ++days;
        muLines += CheckDigitLines(ReadAll(e.path()), kMUWidth, true).Lines;
    }
    EXPECT_GT(muLines, 0u) << "no hour was ever written";
    for (const auto& e : fs::directory_iterator(data_)) tempFiles_ += e.path().filename().string()[0] == '.';
    // An hour left out for a late tick is the collector doing right at this speed.
    std::vector<std::string> failures;
    const auto leftOut = kelvtest::LeftOutHours(ErrorLogLines(), failures);
    for (const std::string& line : failures) ADD_FAILURE() << "error log: " << line;
    std::cout << "collector: " << leftOut.size() << " hours left out for late ticks; " << CollectorKills() << " kills (" << killedRunning
              << " while running, " << runsThatWrote << " after writing), " << muLines
              << " MU lines in the " << days << " day files, "
              << tornTails_ << " torn tails seen, " << tempFiles_ << " temporary files left\n";
}

// The viewer's read path (lock, whole file, record reader) again and again
// while the collector writes: every read is whole or refused, and every
// hour the collector closed arrives, in order.
TEST_F(CollectorRuns, ReaderHoldingTheFilesCostsNoLine)
{
    Start(0);
    ASSERT_TRUE(WaitForFirstWrite()) << "the collector did not start";
    const int reads = EnvCount("KELV_ROBUST_READS", 1500);
    int refused = 0, whole = 0;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> holdMicros(0, 3000);
    std::uniform_int_distribution<int> heldMs(1, 10);
    for (int i = 0; i < reads && Running(); ++i) {
        for (const char* prefix : {"MU", "OR", "ML"}) {
            std::vector<std::string> days;
            for (const auto& e : fs::directory_iterator(data_)) {
                const std::string name = e.path().filename().string();
                if (name.rfind(prefix, 0) == 0) days.push_back(name);
            }
            if (days.empty()) continue;
            const fs::path file = data_ / days[static_cast<size_t>(i) % days.size()];
            std::string content;
            if (!ReadWholeFileLocked(file.string(), content)) {
                ++refused;  // the viewer shows its busy message here
                continue;
            }
            ++whole;
            if (prefix[1] == 'L') {
                EXPECT_EQ(CheckLatchFile(content).Problem, "") << file.filename();
                EXPECT_EQ(BuildLatchEntries(content, -1).Skipped, 0) << file.filename();
            } else {
                const TStatTable table =
                    ReadStatRecords(content, prefix[0] == 'M' ? TStatLayout::MU : TStatLayout::OR);
                EXPECT_FALSE(table.Report.Damaged()) << file.filename() << ": " << StatReadMessage(table.Report);
            }
        }
        // Now and then hold a day's file as a slow reader would.
        if (i % 5 == 0) {
            for (const auto& e : fs::directory_iterator(data_)) {
                if (e.path().filename().string().rfind("MU", 0) != 0) continue;
                kelvtest::HeldByReader hold(e.path().string());
                std::this_thread::sleep_for(std::chrono::milliseconds(heldMs(random)));
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(holdMicros(random)));
        if (HasFailure()) break;
    }
    ASSERT_TRUE(Running()) << "the collector ended by itself";
    Stop();

    // Hours of every day after the first are there without a gap.
    std::map<std::string, std::vector<int>> hours;
    for (const auto& e : fs::directory_iterator(data_)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("MU", 0) != 0 && name.rfind("OR", 0) != 0) continue;
        const TStatTable table = ReadStatRecords(
            ReadAll(e.path()), name[0] == 'M' ? TStatLayout::MU : TStatLayout::OR);
        EXPECT_FALSE(table.Report.Damaged()) << name;
        for (const TRawRow& row : table.Rows) hours[name].push_back(std::stoi(row[2]));
    }
    // An MU hour may be missing only where the error log says it was left out.
    std::vector<std::string> failures;
    const auto leftOut = kelvtest::LeftOutHours(ErrorLogLines(), failures);
    for (const std::string& line : failures) ADD_FAILURE() << "error log: " << line;
    for (const auto& [name, list] : hours)
        for (size_t k = 1; k < list.size(); ++k) {
            const std::string day = name.substr(2, 8);
            int expected = list[k - 1] + 1;
            while (name[0] == 'M' && expected < list[k] && leftOut.count(day + ":" + std::to_string(expected)))
                ++expected;
            EXPECT_EQ(list[k], expected) << name << ": an hour is missing";
        }
    std::cout << "reader: " << whole << " whole reads, " << refused << " refused as busy\n";
    EXPECT_GT(whole, 0);
}
