// The password given to the viewer, or to a collector started by hand,
// shows in no process's command line or environment and in no file the
// programs write. The simulated instance takes passwords in any letter
// case, so each run uses a case pattern of its own that no other process
// of the machine would carry.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include "RobustSupport.h"

using namespace robust;
using SteadyClock = std::chrono::steady_clock;

namespace {

const char* const kDsn = "KELV_SECRET";
constexpr int kStartTimeoutSeconds = 60;

std::string RandomCasePassword()
{
    std::string word = "manager";
    std::mt19937 random(std::random_device{}());
    for (;;) {
        for (char& c : word) c = random() % 2 ? static_cast<char>(std::toupper(c)) : static_cast<char>(std::tolower(c));
        if (word != "manager" && word != "MANAGER" && word != "Manager") return word;
    }
}

class Secrets : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path bin = Env("KELV_BIN_DIR");
        const std::string driver = Env("KELV_SIM_DRIVER");
        if (bin.empty() || !fs::exists(bin / "Kelvg") || !fs::exists(bin / "Kelvs") || !fs::exists(driver))
            GTEST_SKIP() << "needs both programs and the simulated instance's driver";
        root_ = std::make_unique<TScratch>("secrets");
        instance_ = std::make_unique<TScratch>("secrets-instance");
        fs::create_directories(Root() / "run");
        fs::permissions(Root() / "run", fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(bin / "Kelvg", Root() / "Kelvg");
        fs::copy_file(bin / "Kelvs", Root() / "Kelvs");
        WriteAll(Root() / "Kelv.ini", ";secrets\r\nCMNKD=3\r\nMUSDP=60\r\nMULGB=60\r\n;END\r\n");
        // The instance file holds the users' passwords: it lies outside the searched tree.
        std::ofstream(Root() / "odbc.ini")
            << "[" << kDsn << "]\nDescription = Oracle stand-in\nDriver = " << driver
            << "\nDatabase = " << (instance_->Path() / "ora.db").string() << "\nVersion = 10\n";
        password_ = RandomCasePassword();
    }
    void TearDown() override
    {
        if (!root_) return;
        for (const char* exe : {"Kelvg", "Kelvs"})
            for (pid_t pid : ProcessesRunning(Root() / exe)) ::kill(pid, SIGKILL);
        for (pid_t pid : children_) ::waitpid(pid, nullptr, 0);
    }

    const fs::path& Root() const { return root_->Path(); }

    // Starts a program of the private directory there, with extraEnv set.
    void Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {})
    {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid > 0) {
            children_.push_back(pid);
            return;
        }
        if (::chdir(Root().c_str()) != 0) ::_exit(127);
        ::setenv("ODBCINI", (Root() / "odbc.ini").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (Root() / "run").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("KELV_PASSWORD");
        for (const std::string& e : extraEnv) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }

    // The running collector of the private directory once it has logged in
    // (its checkpoint file is written), else 0.
    pid_t WaitForLoggedInCollector()
    {
        const auto deadline = SteadyClock::now() + std::chrono::seconds(kStartTimeoutSeconds);
        while (SteadyClock::now() < deadline) {
            const auto pids = ProcessesRunning(Root() / "Kelvg");
            if (!pids.empty() && fs::exists(Root() / "KLVDAT" / "ChkeckPoint.dat")) return pids.front();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }

    void ExpectNotInProcess(pid_t pid, const char* who)
    {
        for (const char* what : {"cmdline", "environ"})
            EXPECT_FALSE(ContainsNoCase(ProcFile(pid, what), password_)) << "password in " << who << "'s " << what;
    }

    // No process of the machine shows this run's password in its command line.
    void ExpectInNoCommandLine()
    {
        for (pid_t pid : AllProcesses())
            EXPECT_EQ(ProcFile(pid, "cmdline").find(password_), std::string::npos)
                << "password in the command line of process " << pid;
    }

    // Nor does any file of the program directory (data, error logs, settings).
    void ExpectInNoFile()
    {
        size_t files = 0;
        for (const auto& e : fs::recursive_directory_iterator(Root())) {
            if (!e.is_regular_file() || e.path().filename() == "Kelvg" || e.path().filename() == "Kelvs") continue;
            ++files;
            EXPECT_FALSE(ContainsNoCase(ReadAll(e.path()), password_)) << "password in " << e.path();
        }
        EXPECT_GT(files, 2u) << "the programs wrote nothing to search";
    }

    std::unique_ptr<TScratch> root_, instance_;
    std::string password_;
    std::vector<pid_t> children_;
};

}  // namespace

TEST_F(Secrets, ViewerAndTheCollectorItStartsKeepThePasswordToThemselves)
{
    Spawn({(Root() / "Kelvs").string(), "system/" + password_});
    const pid_t collector = WaitForLoggedInCollector();
    ASSERT_GT(collector, 0) << "the collector started by the viewer did not log in";
    const auto viewers = ProcessesRunning(Root() / "Kelvs");
    ASSERT_FALSE(viewers.empty()) << "the viewer ended";
    ExpectNotInProcess(viewers.front(), "the viewer");
    ExpectNotInProcess(collector, "the collector");
    ExpectInNoCommandLine();
    ::kill(collector, SIGKILL);
    ::kill(viewers.front(), SIGKILL);
    ExpectInNoFile();
}

TEST_F(Secrets, CollectorStartedByHandWipesThePasswordItWasGiven)
{
    const std::string exe = (Root() / "Kelvg").string();
    // Three arguments.
    Spawn({exe, kDsn, "system", password_});
    pid_t collector = WaitForLoggedInCollector();
    ASSERT_GT(collector, 0) << "the collector did not log in with three arguments";
    ExpectNotInProcess(collector, "the collector");
    ExpectInNoCommandLine();
    ::kill(collector, SIGKILL);
    ::waitpid(collector, nullptr, 0);
    fs::remove(Root() / "KLVDAT" / "ChkeckPoint.dat");

    // Data source and user, the password in KELV_PASSWORD.
    const std::string variable = "KELV_PASSWORD=" + password_;
    Spawn({exe, kDsn, "system"}, {variable});
    collector = WaitForLoggedInCollector();
    ASSERT_GT(collector, 0) << "the collector did not log in with KELV_PASSWORD";
    ExpectNotInProcess(collector, "the collector");
    ::kill(collector, SIGKILL);
    ExpectInNoFile();
}
