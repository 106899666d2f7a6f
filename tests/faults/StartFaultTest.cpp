// Starts that cannot go ahead, with the real programs: a settings file that
// exists but cannot be read ends either program after a plain message box
// that names the file and the system's reason, with a non-zero status and
// never an abort; a second collector says nothing, not even its usage text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CollectorHarness.h"
#include "XDisplay.h"

namespace faults {
namespace {

namespace fs = std::filesystem;
using kelvtest::Env;
using kelvtest::ReadText;

constexpr int kBoxSeconds = 30;
constexpr int kExitSeconds = 30;
constexpr int kBoxWaitSeconds = 2;  // offscreen: still waiting in its box by then
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
const char* const kUnprivilegedUser = "nobody";


// A program of the build directory run in a directory of its own.
class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        bin_ = Env("KELV_BIN_DIR");
        char tmpl[] = "/tmp/kelv-start-XXXXXX";
        root_ = mkdtemp(tmpl);
        fs::create_directories(root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all, fs::perm_options::replace);
    }
    void TearDown() override
    {
        StopProgram();
        std::error_code ignored;
        fs::permissions(root_ / "Kelv.ini", fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }
    bool Have(const char* program) const { return !bin_.empty() && fs::exists(fs::path(bin_) / program); }

    void StopProgram()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Starts program with args in the directory, on the X display when there is one.
    void Spawn(const char* program, const std::vector<std::string>& args)
    {
        StopProgram();
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ > 0) return;
        if (::chdir(root_.c_str()) != 0) ::_exit(127);
        const int out = ::open((root_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((root_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", HaveXDisplay() ? "xcb" : "offscreen", 1);
        if (runAs_) {
            ::setenv("XAUTHORITY", (root_ / "Xauthority").c_str(), 1);
            if (::setgroups(0, nullptr) != 0 || ::setgid(runAs_->pw_gid) != 0 || ::setuid(runAs_->pw_uid) != 0)
                ::_exit(127);
        }
        const std::string path = (fs::path(programDir_.empty() ? bin_ : programDir_) / program).string();
        std::vector<char*> argv = {const_cast<char*>(path.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // The exit status once the program ended within realSeconds; -1 otherwise
    // (killed by a signal: 128 + the signal).
    int WaitForExit(int realSeconds)
    {
        int result = -1;
        kelvtest::PollUntil(
            [&] {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
                pid_ = -1;
                result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return true;
            },
            realSeconds, std::chrono::milliseconds(20));
        return result;
    }
    // Starts the program with an unreadable Kelv.ini: it shows its box and
    // ends when the box is answered.
    void ExpectBoxAndFailedEnd(const char* program, const std::vector<std::string>& args)
    {
        Spawn(program, args);
        if (HaveXDisplay()) {
            const unsigned long box = WaitForWindow(pid_, kBoxSeconds);
            ASSERT_NE(box, 0u) << "a message box of " << program << " (running: " << (::kill(pid_, 0) == 0)
                               << ", stderr: " << ReadText(root_ / "stderr") << ")";
            PressKey(box, "Return");
            EXPECT_EQ(WaitForExit(kExitSeconds), kExitFailed);
        } else {
            // Offscreen nobody answers the box: the program waits in it.
            EXPECT_EQ(WaitForExit(kBoxWaitSeconds), -1) << "no abort";
            StopProgram();
        }
        EXPECT_EQ(ReadText(root_ / "stderr").find("terminate called"), std::string::npos) << ReadText(root_ / "stderr");
        EXPECT_EQ(ReadText(root_ / "stdout"), "");
    }

    // Root reads a file of mode 000: the program runs as an unprivileged
    // user then, with its own copy of the display's key, from a copy of the
    // programs in a directory of that user's (in one the user cannot write,
    // the programs would keep their settings in the user's home instead).
    void RunAsUnprivilegedUserWhenRoot()
    {
        if (::geteuid() != 0) return;
        runAs_ = ::getpwnam(kUnprivilegedUser);
        ASSERT_NE(runAs_, nullptr) << "no user " << kUnprivilegedUser;
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::replace);
        ASSERT_EQ(::chown((root_ / "run").c_str(), runAs_->pw_uid, runAs_->pw_gid), 0);
        programDir_ = (root_ / "program").string();
        fs::create_directory(programDir_);
        for (const char* program : {"Kelvg", "Kelvs"}) fs::copy_file(fs::path(bin_) / program, root_ / "program" / program);
        ASSERT_EQ(::chown(programDir_.c_str(), runAs_->pw_uid, runAs_->pw_gid), 0);
        const std::string key = Env("XAUTHORITY");
        if (!key.empty() && fs::exists(key)) {
            fs::copy_file(key, root_ / "Xauthority");
            ASSERT_EQ(::chown((root_ / "Xauthority").c_str(), runAs_->pw_uid, runAs_->pw_gid), 0);
        }
    }

    std::string bin_;
    std::string programDir_;  // "" : the build's own
    fs::path root_;
    pid_t pid_ = -1;
    const passwd* runAs_ = nullptr;
};

const std::vector<std::string> kCollectorArgs = {"KELV_NOWHERE", "system", "manager"};

TEST_F(ProgramStart, ASettingsFileThatIsADirectoryEndsBothProgramsAfterAMessage)
{
    if (!Have("Kelvg") || !Have("Kelvs")) GTEST_SKIP() << "needs Kelvg and Kelvs";
    fs::create_directory(root_ / "Kelv.ini");
    ExpectBoxAndFailedEnd("Kelvg", kCollectorArgs);
    ExpectBoxAndFailedEnd("Kelvs", {});
    EXPECT_TRUE(fs::is_directory(root_ / "Kelv.ini")) << "left as it is";
}

TEST_F(ProgramStart, ASettingsFileWithoutReadPermissionEndsBothProgramsAfterAMessage)
{
    if (!Have("Kelvg") || !Have("Kelvs")) GTEST_SKIP() << "needs Kelvg and Kelvs";
    RunAsUnprivilegedUserWhenRoot();
    std::ofstream(root_ / "Kelv.ini") << ";x\r\nCMNKD=5\r\n";
    fs::permissions(root_ / "Kelv.ini", fs::perms::none, fs::perm_options::replace);
    ExpectBoxAndFailedEnd("Kelvg", kCollectorArgs);
    ExpectBoxAndFailedEnd("Kelvs", {});
}

// Every start of the viewer starts a collector: while one runs, a second
// says nothing at all, whatever its arguments.
TEST_F(ProgramStart, ASecondCollectorEndsSilentlyEvenWithWrongArguments)
{
    if (!Have("Kelvg")) GTEST_SKIP() << "needs Kelvg";
    Spawn("Kelvg", {"one", "two", "three", "four"});
    EXPECT_EQ(WaitForExit(kExitSeconds), kExitUsage);
    EXPECT_NE(ReadText(root_ / "stderr").find("usage: Kelvg"), std::string::npos) << "alone, it explains";

    // The running collector's single-instance lock.
    const int lock = ::open((root_ / "run" / "Kelvg.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    Spawn("Kelvg", {"one", "two", "three", "four"});
    EXPECT_EQ(WaitForExit(kExitSeconds), 0);
    EXPECT_EQ(ReadText(root_ / "stderr"), "");
    EXPECT_EQ(ReadText(root_ / "stdout"), "");
    ::close(lock);
}

}  // namespace
}  // namespace faults
