// The writers of the shared files, each looping in a child process that is
// killed with SIGKILL at a random moment: afterwards appended files hold
// whole lines only and replaced files are either the old or the new content.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "KvCom.h"
#include "KvIni.h"
#include "KvOracle.h"
#include "RobustSupport.h"

using namespace robust;

namespace {

// Kills per writer; KELV_ROBUST_KILLS scales the whole suite.
int Kills() { return EnvCount("KELV_ROBUST_KILLS", 200); }
constexpr unsigned kMaxKillDelayMicros = 4000;
// A file that grew beyond this is checked and started afresh.
constexpr size_t kRotateBytes = 512 * 1024;

size_t CompleteLines(const fs::path& file)
{
    const std::string bytes = ReadAll(file);
    return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// The n-th line of the file must be NumberedLine(n): nothing lost in the
// middle, nothing doubled.
void ExpectNumberedLines(const std::string& bytes, size_t width)
{
    size_t n = 0;
    for (size_t pos = 0; pos + width + 2 <= bytes.size(); pos += width + 2, ++n)
        ASSERT_EQ(bytes.compare(pos, width, NumberedLine(n, width)), 0) << "line " << n + 1;
}

size_t HiddenTempFiles(const fs::path& dir)
{
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind('.', 0) == 0) ++n;
    return n;
}

// Kills a child that replaces target again and again with write(i); after
// every kill the file must be one of the allowed contents.
void KillReplacingWriter(const fs::path& target, const std::function<void(unsigned)>& write,
                         const std::set<std::string>& allowed, const char* what)
{
    std::mt19937 random(std::random_device{}());
    int killedWhileRunning = 0;
    for (int i = 0; i < Kills(); ++i) {
        killedWhileRunning += RunAndKill(
            [&] {
                for (unsigned n = 0;; ++n) write(n);
            },
            kMaxKillDelayMicros, random);
        const std::string now = ReadAll(target);
        ASSERT_TRUE(allowed.count(now)) << what << " after kill " << i + 1 << " is a mix of "
                                        << now.size() << " bytes";
    }
    // Each kill may leave its temporary file; the next successful write
    // removes those of writers that are gone.
    const size_t leftovers = HiddenTempFiles(target.parent_path());
    EXPECT_LE(leftovers, 1u) << "temporary files left beside " << what;
    std::cout << what << ": " << Kills() << " kills (" << killedWhileRunning
              << " while writing), " << leftovers << " temporary file(s) left\n";
    ::testing::Test::RecordProperty(std::string(what) + "_kills", Kills());
}

std::string LatchText(int latches, int salt)
{
    std::vector<std::string> names;
    for (int i = 0; i < latches; ++i) names.push_back("latch " + std::to_string(1000 + i));
    std::string text;
    for (const std::string& name : names) {
        std::string line = name;
        line.resize(64, ' ');
        std::string gets = std::to_string(salt * 1000 + static_cast<int>(text.size()));
        gets.insert(0, 20 - gets.size(), '0');
        text += line + "=" + gets + std::string(20, '0') + "\r\n";
    }
    return text;
}

}  // namespace

TEST(KilledWriters, AppendedLinesStayWholeAndInOrder)
{
    TScratch dir("append");
    const fs::path mu = dir / "MU20240101.dat";
    const fs::path orFile = dir / "OR20240101.dat";
    std::mt19937 random(std::random_device{}());
    int killedWhileRunning = 0, tornTails = 0;
    size_t linesChecked = 0;
    for (int i = 0; i < Kills(); ++i) {
        killedWhileRunning += RunAndKill(
            [&] {
                // A new collector goes on from the lines that are on disk.
                size_t nextMU = CompleteLines(mu), nextOR = CompleteLines(orFile);
                for (;;) {
                    AppendLine(mu.string(), NumberedLine(nextMU++, kMUWidth));
                    AppendLine(orFile.string(), NumberedLine(nextOR++, kORWidth));
                }
            },
            kMaxKillDelayMicros, random);
        for (const auto& [file, width] : {std::pair{mu, kMUWidth}, std::pair{orFile, kORWidth}}) {
            const std::string bytes = ReadAll(file);
            const TFileCheck check = CheckDigitLines(bytes, width, true);
            ASSERT_EQ(check.Problem, "") << file.filename() << " after kill " << i + 1;
            ASSERT_NO_FATAL_FAILURE(ExpectNumberedLines(bytes, width)) << file.filename();
            tornTails += check.TornTail;
            linesChecked += check.Lines;
            if (bytes.size() > kRotateBytes) {
                fs::remove(mu);
                fs::remove(orFile);
            }
        }
    }
    std::cout << "appends: " << Kills() << " kills (" << killedWhileRunning << " while writing), "
              << linesChecked << " lines checked, " << tornTails << " torn tails\n";
}

// A torn line at the end (a write cut short by a kill or a full disk) is
// dropped by the next append instead of swallowing the new line.
TEST(KilledWriters, AppendAfterATornLineStartsOnAFreshLine)
{
    TScratch dir("torn");
    const fs::path mu = dir / "MU20240101.dat";
    const std::string whole = NumberedLine(0, kMUWidth) + "\r\n" + NumberedLine(1, kMUWidth) + "\r\n";
    WriteAll(mu, whole + NumberedLine(2, kMUWidth).substr(0, 300));
    ASSERT_TRUE(AppendLine(mu.string(), NumberedLine(2, kMUWidth)));
    EXPECT_EQ(ReadAll(mu), whole + NumberedLine(2, kMUWidth) + "\r\n");

    // A torn line end (CR without LF) goes as well.
    WriteAll(mu, whole + NumberedLine(2, kMUWidth) + "\r");
    ASSERT_TRUE(AppendLine(mu.string(), NumberedLine(2, kMUWidth)));
    EXPECT_EQ(ReadAll(mu), whole + NumberedLine(2, kMUWidth) + "\r\n");

    // A file that is all fragment is emptied first.
    WriteAll(mu, "0123");
    ASSERT_TRUE(AppendLine(mu.string(), NumberedLine(0, kMUWidth)));
    EXPECT_EQ(ReadAll(mu), NumberedLine(0, kMUWidth) + "\r\n");
}

// A write that stops part way (file size limit standing in for a full disk)
// reports failure and leaves the file as it was.
TEST(KilledWriters, ShortAppendLeavesNoPartOfTheLine)
{
    TScratch dir("short");
    const fs::path mu = dir / "MU20240101.dat";
    const std::string before = NumberedLine(0, kMUWidth) + "\r\n";
    WriteAll(mu, before);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = before.size() + 100;
        const rlimit lim{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        ::_exit(AppendLine(mu.string(), NumberedLine(1, kMUWidth)) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the cut append was reported as written";
    EXPECT_EQ(ReadAll(mu), before);
}

TEST(KilledWriters, LatchFileIsTheOldOrTheNewContent)
{
    TScratch dir("latch");
    const fs::path ml = dir / "ML20240101.dat";
    // Sizes that cross page boundaries, different in every version.
    const std::string a = LatchText(40, 1), b = LatchText(90, 2);
    WriteAll(ml, a);
    KillReplacingWriter(
        ml, [&](unsigned n) { WriteFileAtomic(ml.string(), n % 2 ? a : b); }, {a, b}, "ML file");
    EXPECT_EQ(CheckLatchFile(ReadAll(ml)).Problem, "");
}

TEST(KilledWriters, CheckPointFileIsTheOldOrTheNewContent)
{
    TScratch dir("chkpt");
    const fs::path file = dir / kCheckPointFileName;
    auto days = [](int count, int salt) {
        std::vector<CheckPointDay> list;
        for (int i = 0; i < count; ++i)
            list.push_back({"2024/01/" + std::to_string(10 + i % 20), std::to_string(salt + i)});
        return list;
    };
    const auto shortList = days(300, 1), longList = days(kCheckPointMaxDays, 7);
    ASSERT_TRUE(WriteCheckPointFile(dir.Path().string(), shortList));
    const std::string a = ReadAll(file);
    ASSERT_TRUE(WriteCheckPointFile(dir.Path().string(), longList));
    const std::string b = ReadAll(file);
    KillReplacingWriter(
        file,
        [&](unsigned n) { WriteCheckPointFile(dir.Path().string(), n % 2 ? shortList : longList); },
        {a, b}, "ChkeckPoint.dat");
    EXPECT_EQ(CheckCheckPointFile(ReadAll(file)).Problem, "");
}

TEST(KilledWriters, SettingsFileIsNeverCut)
{
    TScratch dir("ini");
    const fs::path ini = dir / kIniFileName;
    const std::string original =
        ";--------\r\n; Kelv settings, kept by both programs\r\n;--------\r\n"
        "DATPH=/srv/kelv data            ;data directory\r\nCMNKD=100                     ;days\r\n"
        "MUSDP=60\r\nMULGB=60\r\nORCUR=60\r\nORFRM=60\r\nORPGO=60\r\n;END\r\n";
    auto save = [&](unsigned n) {
        TIniData data;
        data.Load(ini.string());
        data.SetValue("CMNKD", n % 2 ? "50" : "100");
        data.SetValue("MUSDP", n % 2 ? "3600" : "5");
        data.Save(ini.string());
    };
    // The contents a save can produce, from the original or from each other.
    WriteAll(ini, original);
    std::set<std::string> allowed{original};
    for (unsigned n = 0; n < 4; ++n) {
        save(n);
        allowed.insert(ReadAll(ini));
    }
    ASSERT_EQ(allowed.size(), 3u);
    KillReplacingWriter(ini, save, allowed, "Kelv.ini");
    TIniData after;
    ASSERT_TRUE(after.Load(ini.string()));
    EXPECT_EQ(after.GetValue("DATPH"), "/srv/kelv data");
    EXPECT_EQ(after.GetValue("ORPGO"), "60");
}
