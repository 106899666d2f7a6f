// The collector without display, tray or window (Kelvg --headless), as the
// systemd user unit runs it, against the simulated instance: the same files
// as the windowed collector, a stop by SIGTERM that gives the lines a reader
// kept back their last try, one collector per user, and a password taken
// only from a file that its owner alone may read.
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "CollectorRun.h"
#include "HeldByReader.h"

namespace faults {
namespace {

namespace fs = std::filesystem;
using kelvtest::CollectorProcess;
using kelvtest::ReadText;

constexpr int kExitSeconds = 30;
constexpr int kExitFailed = 1;
// A kept line's last try is three seconds of the collector's clock: at
// this speed 50 ms, far too short for the reader to let go in it.
constexpr int kHeldSpeed = 60;
// At this speed the last try lasts 300 ms, and the reader lets go early in it.
constexpr int kReleaseSpeed = 10;
constexpr std::chrono::milliseconds kReleaseAfter{30};
constexpr size_t kMUWidth = 568;
constexpr size_t kORWidth = 121;
constexpr size_t kLatchNameWidth = 64;
const char* const kPassword = "manager";
const char* const kUnprivilegedUser = "nobody";

// The lengths of a file's lines, each of which must end with CR LF.
std::vector<size_t> CrLfLineLengths(const fs::path& file)
{
    const std::string text = ReadText(file);
    std::vector<size_t> lengths;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << file << " ends without CR LF";
            break;
        }
        EXPECT_EQ(text.substr(start, end - start).find('\n'), std::string::npos) << "a bare LF in " << file;
        lengths.push_back(end - start);
        start = end + 2;
    }
    return lengths;
}

std::vector<std::string> LatchNames(const std::vector<std::string>& mlLines)
{
    std::vector<std::string> names;
    for (const std::string& l : mlLines) names.push_back(l.substr(0, kLatchNameWidth));
    return names;
}

class HeadlessCollector : public CollectorRun {
protected:
    void SetUp() override
    {
        CollectorRun::SetUp();
        Headless = true;
    }

    // The password in a file of the run directory with the given mode.
    std::string PasswordFileWithMode(mode_t mode)
    {
        const fs::path file = root_ / "kelvg.password";
        std::ofstream(file) << kPassword << "\n";
        ::chmod(file.c_str(), mode);
        return file.string();
    }
    std::string Stderr() const { return ReadText(root_ / "stderr"); }
    bool DataDirEmpty() const { return fs::is_empty(data_); }
};

TEST_F(HeadlessCollector, WritesTheWindowedCollectorsFilesWithoutAnyDisplay)
{
    // The windowed collector's files of the same hours, for comparison.
    Headless = false;
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    Stop();
    const fs::path windowed = root_ / "KLVDAT.windowed";
    fs::rename(data_, windowed);
    fs::create_directory(data_);

    Headless = true;
    PasswordWay = CollectorProcess::PasswordIn::File;
    PasswordFile = PasswordFileWithMode(0600);
    Start();
    ASSERT_TRUE(WaitForHourLines(2)) << Stderr();

    // One collector per user: a second headless start ends at once.
    CollectorProcess second;
    second.Headless = true;
    second.StderrFile = (root_ / "second.stderr").string();
    ASSERT_TRUE(second.Start(root_, kDsn, 0, 1, kPassword, CollectorProcess::PasswordIn::StandardInput));
    int secondStatus = -1;
    EXPECT_TRUE(kelvtest::PollUntil([&] { return second.EndedByItself(secondStatus); }, kExitSeconds,
                                    std::chrono::milliseconds(20)));
    EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0) << secondStatus;

    Signal(SIGTERM);
    EXPECT_EQ(WaitForExit(kExitSeconds), 0) << "SIGTERM is an orderly end";
    ExpectFilesIntact();
    ExpectHourMatchesInstance(LineOf(Mu(), 10));
    EXPECT_TRUE(ErrLog().empty());
    EXPECT_TRUE(fs::exists(data_ / "ChkeckPoint.dat")) << "refreshed at start";

    for (const char* prefix : {"MU", "OR", "ML"}) {
        SCOPED_TRACE(prefix);
        const std::string name = prefix + day_ + ".dat";
        EXPECT_EQ(CrLfLineLengths(data_ / name), CrLfLineLengths(windowed / name));
    }
    EXPECT_EQ(CrLfLineLengths(data_ / ("MU" + day_ + ".dat")), std::vector<size_t>(2, kMUWidth));
    EXPECT_EQ(CrLfLineLengths(data_ / ("OR" + day_ + ".dat")), std::vector<size_t>(2, kORWidth));
    EXPECT_EQ(Hours(Mu()), (std::vector<int>{9, 10}));
    EXPECT_EQ(Hours(Or()), (std::vector<int>{9, 10}));
    EXPECT_EQ(LatchNames(Ml()), LatchNames(kelvtest::ReadLines(windowed / ("ML" + day_ + ".dat"))));

    const std::string said = Stderr();
    EXPECT_NE(said.find("collecting from KELV_FAULTS as system"), std::string::npos) << said;
    EXPECT_NE(said.find("stopped"), std::string::npos) << said;
    EXPECT_EQ(said.find(kPassword), std::string::npos) << said;
    EXPECT_EQ(ReadText(root_ / "second.stderr"), "");
}

TEST_F(HeadlessCollector, ALineAReaderKeepsBackGoesToTheErrorLogWithItsFiguresAtSigterm)
{
    Speed = kHeldSpeed;
    StartAt(10, 55);
    const fs::path muFile = data_ / ("MU" + day_ + ".dat");
    const fs::path mlFile = data_ / ("ML" + day_ + ".dat");
    std::ofstream(muFile).close();
    std::ofstream(mlFile).close();
    kelvtest::HeldByReader muReader(muFile.string()), mlReader(mlFile.string());
    ASSERT_TRUE(muReader.Held() && mlReader.Held());
    PasswordWay = CollectorProcess::PasswordIn::StandardInput;
    Start();
    ASSERT_TRUE(WaitFor([&] { return !LineOf(Or(), 10).empty(); })) << "the hour change came";
    EXPECT_TRUE(Mu().empty());

    Signal(SIGTERM);
    EXPECT_EQ(WaitForExit(kExitSeconds), 0);
    EXPECT_TRUE(Mu().empty()) << "nothing written under the reader's lock";
    const std::string muEntry = "<<MUInsMU(" + day_ + "10)>> " + muFile.string();
    std::string logged;
    for (const std::string& l : ErrLog())
        if (l.find(muEntry) != std::string::npos) logged = l.substr(l.find(muEntry) + muEntry.size());
    ASSERT_EQ(logged.size(), kMUWidth) << "the MU line of hour 10 in the error log";
    EXPECT_EQ(logged.substr(0, 2), "10");
    EXPECT_GT(FieldAt(logged, 389, 20), 0) << "with its figures";
    EXPECT_EQ(ErrLogCount({"<<MUUpdML(" + day_ + ")>> " + mlFile.string() + "cache buffers chains "}), 1);
}

TEST_F(HeadlessCollector, ALineWhoseReaderLetsGoDuringTheLastTryIsWritten)
{
    Speed = kReleaseSpeed;
    StartAt(10, 59);
    const fs::path muFile = data_ / ("MU" + day_ + ".dat");
    std::ofstream(muFile).close();
    kelvtest::HeldByReader muReader(muFile.string());
    ASSERT_TRUE(muReader.Held());
    PasswordWay = CollectorProcess::PasswordIn::StandardInput;
    Start();
    ASSERT_TRUE(WaitFor([&] { return !LineOf(Or(), 10).empty(); })) << "the hour change came";
    ASSERT_TRUE(Mu().empty());

    Signal(SIGTERM);
    std::this_thread::sleep_for(kReleaseAfter);
    muReader.Release();
    EXPECT_EQ(WaitForExit(kExitSeconds), 0);
    ASSERT_EQ(Hours(Mu()), (std::vector<int>{10}));
    EXPECT_EQ(LineOf(Mu(), 10).size(), kMUWidth);
    EXPECT_EQ(ErrLogCount({"<<MUInsMU("}), 0) << "written, not given up";
}

TEST_F(HeadlessCollector, APasswordFileThatOthersMayReadOrThatBelongsToAnotherUserIsRefused)
{
    PasswordWay = CollectorProcess::PasswordIn::File;
    for (mode_t mode : {0640, 0604}) {
        SCOPED_TRACE(mode);
        PasswordFile = PasswordFileWithMode(mode);
        Start();
        EXPECT_EQ(WaitForExit(kExitSeconds), kExitFailed);
        const std::string said = Stderr();
        EXPECT_NE(said.find("too open"), std::string::npos) << said;
        EXPECT_NE(said.find(PasswordFile), std::string::npos) << said;
        EXPECT_EQ(said.find(kPassword), std::string::npos) << "the password itself is never shown";
        EXPECT_EQ(ErrLogCount({"<<KVGLogOn(", "too open", PasswordFile}), 1);
        fs::remove(PasswordFile);
        for (const auto& log : fs::directory_iterator(root_))
            if (log.path().filename().string().rfind("KVErr", 0) == 0) fs::remove(log.path());
    }
    EXPECT_TRUE(DataDirEmpty()) << "no logon, nothing collected";

    // Private, but another user's: refused as well (root can read it, not take it).
    if (::geteuid() != 0) return;
    const passwd* other = ::getpwnam(kUnprivilegedUser);
    ASSERT_NE(other, nullptr);
    PasswordFile = PasswordFileWithMode(0600);
    ASSERT_EQ(::chown(PasswordFile.c_str(), other->pw_uid, other->pw_gid), 0);
    Start();
    EXPECT_EQ(WaitForExit(kExitSeconds), kExitFailed);
    EXPECT_NE(Stderr().find("belongs to user id " + std::to_string(other->pw_uid)), std::string::npos) << Stderr();
    EXPECT_TRUE(DataDirEmpty());
}

}  // namespace
}  // namespace faults
