// The settings file: reading, the write-back format and the merge at save.
#include "KvIni.h"
#include "KvText.h"
#include "TempDir.h"

#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Shift-JIS bytes of a Japanese comment (設定ファイル).
const std::string kSjisWords = "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B";

std::string Field30(const std::string& entry) {
    std::string s = entry;
    if (s.size() < 30)
        s.resize(30, ' ');
    return s;
}

class IniFileTest : public ::testing::Test {
protected:
    TTempDir dir;
    std::string path = dir.File("Kelv.ini");
};

}  // namespace

TEST(IniTokens, GetTokenCutsFieldsAndGivesEmptyBeyondTheLast) {
    EXPECT_EQ(GetToken("a;b;c", ';', 1), "a");
    EXPECT_EQ(GetToken("a;b;c", ';', 2), "b");
    EXPECT_EQ(GetToken("a;b;c", ';', 3), "c");
    EXPECT_EQ(GetToken("a;b;c", ';', 4), "");
    EXPECT_EQ(GetToken("a;b;c", ';', 9), "");
    EXPECT_EQ(GetToken("whole", ';', 1), "whole");
    EXPECT_EQ(GetToken("", ';', 1), "");
    EXPECT_EQ(GetToken(";x", ';', 1), "");
    EXPECT_EQ(GetToken("a;;c", ';', 2), "");
    EXPECT_EQ(GetToken("a;;c", ';', 3), "c");
}

TEST(IniTokens, StrToIntOrZeroAcceptsOnlyWholeIntegers) {
    EXPECT_EQ(StrToIntOrZero("50"), 50);
    EXPECT_EQ(StrToIntOrZero("-7"), -7);
    EXPECT_EQ(StrToIntOrZero("+7"), 7);
    EXPECT_EQ(StrToIntOrZero("2147483647"), 2147483647);
    EXPECT_EQ(StrToIntOrZero("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToIntOrZero("2147483648"), 0);
    EXPECT_EQ(StrToIntOrZero("99999999999999999999"), 0);
    EXPECT_EQ(StrToIntOrZero(""), 0);
    EXPECT_EQ(StrToIntOrZero("-"), 0);
    EXPECT_EQ(StrToIntOrZero("abc"), 0);
    EXPECT_EQ(StrToIntOrZero("12a"), 0);
    EXPECT_EQ(StrToIntOrZero("1 2"), 0);
}

TEST(IniTokens, IntervalRuleMapsOntoTheSevenChoices) {
    EXPECT_EQ(NormalizeInterval(0), 5);
    EXPECT_EQ(NormalizeInterval(-3), 5);
    EXPECT_EQ(NormalizeInterval(5), 5);
    EXPECT_EQ(NormalizeInterval(6), 30);
    EXPECT_EQ(NormalizeInterval(45), 60);
    EXPECT_EQ(NormalizeInterval(300), 300);
    EXPECT_EQ(NormalizeInterval(301), 600);
    EXPECT_EQ(NormalizeInterval(1200), 1800);
    EXPECT_EQ(NormalizeInterval(3600), 3600);
    EXPECT_EQ(NormalizeInterval(3601), 5);
    EXPECT_EQ(NormalizeInterval(7200), 5);
}

TEST_F(IniFileTest, LoadReadsKeysCaseInsensitivelyAndAfterEnd) {
    WriteBytes(path,
               "; comment only\r\n"
               "cmnkd = 50 ; keep\r\n"
               "DATPH=/data/x=rest\r\n"
               "text without equals\r\n"
               ";END\r\n"
               "MUSDP=45\r\n");
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetInt("CMNKD"), 50);
    EXPECT_EQ(ini.GetValue("Cmnkd"), "50");
    EXPECT_EQ(ini.GetValue("DATPH"), "/data/x");  // a second "=" ends the value
    EXPECT_EQ(ini.GetInt("MUSDP"), 45);
    EXPECT_EQ(ini.GetValue("ORCUR"), "");
    EXPECT_EQ(ini.GetInt("ORCUR"), 0);
    EXPECT_EQ(ini.GetInt("DATPH"), 0);
}

TEST_F(IniFileTest, LoadFailsWithoutKeyLinesOrFile) {
    TIniData ini;
    EXPECT_FALSE(ini.Load(path));
    WriteBytes(path, ";--\r\n; only comments = not a key\r\n\r\n;END\r\n");
    EXPECT_FALSE(ini.Load(path));
}

// What a program's start shows: nothing, the missing-file text, or the
// file and the system's reason; never an exception.
TEST_F(IniFileTest, LoadAtStartNamesTheFileAndTheReason) {
    TIniData ini;
    EXPECT_EQ(LoadIniAtStart(ini, path), "設定ファイル [ " + path + " ] がありません。");
    WriteBytes(path, ";only a comment\r\n");
    EXPECT_EQ(LoadIniAtStart(ini, path), "設定ファイル [ " + path + " ] がありません。");
    WriteBytes(path, "CMNKD=7\r\n");
    EXPECT_EQ(LoadIniAtStart(ini, path), "");
    EXPECT_EQ(ini.GetInt("CMNKD"), 7);

    const std::string folder = dir.File("folder.ini");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(LoadIniAtStart(ini, folder), "設定ファイル [ " + folder + " ] を読み込めません。(Is a directory)");
    EXPECT_TRUE(ini.Entries().empty()) << "nothing of the earlier file kept";
}

TEST_F(IniFileTest, SaveRewritesKeyLinesInTheFixedField) {
    WriteBytes(path,
               ";header " + kSjisWords + "\r\n"
               "cmnkd = 50 ; keep\r\n"
               "  musdp=5 ;  two;three  \r\n"
               "DATPH=/data/x=rest\r\n"
               "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234=1;long\r\n"
               ";END\r\n");
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    ini.SetValue("cmnkd", "60");
    ini.SetValue("orcur", "30");
    ASSERT_TRUE(ini.Save(path));
    EXPECT_EQ(ReadBytes(path),
              ";header " + kSjisWords + "\r\n" +
              Field30("CMNKD=60") + ";keep\r\n" +
              Field30("musdp=5") + ";two\r\n" +            // key kept as written
              Field30("DATPH=/data/x") + ";\r\n" +         // rest after the second "=" dropped
              "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234=1;long\r\n"  // never cut, ";" right behind
              ";END\r\n"
              "ORCUR=30\r\n");                             // added key after ";END"
}

TEST_F(IniFileTest, DuplicateKeysUpdateOnlyTheFirst) {
    WriteBytes(path, "ORFRM=5\r\norfrm = 30 ;second\r\n");
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetInt("ORFRM"), 5);
    ini.SetValue("ORFRM", "600");
    ini.Save(path);
    EXPECT_EQ(ReadBytes(path), Field30("ORFRM=600") + ";\r\n" + Field30("orfrm=30") + ";second\r\n");
}

TEST_F(IniFileTest, SaveWithoutFileWritesTheHeaderInShiftJis) {
    WriteBytes(path, "datph=/d\r\n");
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    ini.SetValue("CMNKD", "100");
    std::remove(path.c_str());
    ASSERT_TRUE(ini.Save(path));
    const std::string rule = ";--------------------------------------------------";
    const std::string created = "; Created : " + FormatDate(std::time(nullptr), "%Y/%m/%d");
    EXPECT_EQ(ReadBytes(path), rule + "\r\n;\r\n;    Kelvane " + kSjisWords + "\r\n;\r\n" + created +
                                   "\r\n;\r\n" + rule + "\r\n;\r\ndatph=/d\r\nCMNKD=100\r\n;END\r\n");
}

TEST_F(IniFileTest, ForeignBytesAndLineEndsSurviveOutsideTheKeys) {
    const std::string original = "; " + kSjisWords + " \x81\x40\n"  // LF only, CP932 blank
                                 "\n"
                                 "MULGB=5\n"
                                 "; \x83\x5C\x83\x74\x83\x67\r\n"   // CR LF in between
                                 ";END";                            // no final line end
    WriteBytes(path, original);
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    ini.Save(path);
    EXPECT_EQ(ReadBytes(path), "; " + kSjisWords + " \x81\x40\n\n" + Field30("MULGB=5") +
                                   ";\n; \x83\x5C\x83\x74\x83\x67\r\n;END");
    ini.SetValue("ORPGO", "60");
    ini.Save(path);
    EXPECT_EQ(ReadBytes(path), "; " + kSjisWords + " \x81\x40\n\n" + Field30("MULGB=5") +
                                   ";\n; \x83\x5C\x83\x74\x83\x67\r\n;END\nORPGO=60\n");
}

TEST_F(IniFileTest, SaveKeepsWhatTheOtherProgramSavedMeanwhile) {
    WriteBytes(path, "; shared\r\nCMNKD=100\r\nMUSDP=5\r\n;END\r\n");
    TIniData collector, viewer;
    ASSERT_TRUE(collector.Load(path));
    ASSERT_TRUE(viewer.Load(path));

    viewer.SetValue("DATPH", "/srv/kelv/KLVDAT");
    viewer.Save(path);
    collector.SetValue("CMNKD", "30");
    collector.Save(path);

    EXPECT_EQ(ReadBytes(path), "; shared\r\n" + Field30("CMNKD=30") + ";\r\n" + Field30("MUSDP=5") +
                                   ";\r\n;END\r\n" + Field30("DATPH=/srv/kelv/KLVDAT") + ";\r\n");
    TIniData check;
    ASSERT_TRUE(check.Load(path));
    EXPECT_EQ(check.GetValue("DATPH"), "/srv/kelv/KLVDAT");
    EXPECT_EQ(check.GetInt("CMNKD"), 30);
}

TEST_F(IniFileTest, KeysNotSetInThisRunKeepTheOtherProgramsValue) {
    WriteBytes(path, "CMNKD=100\r\nMUSDP=5\r\n");
    TIniData collector, other;
    ASSERT_TRUE(collector.Load(path));
    ASSERT_TRUE(other.Load(path));
    other.SetValue("MUSDP", "300");
    other.Save(path);
    collector.SetValue("CMNKD", "7");
    collector.Save(path);
    TIniData check;
    ASSERT_TRUE(check.Load(path));
    EXPECT_EQ(check.GetInt("MUSDP"), 300);
    EXPECT_EQ(check.GetInt("CMNKD"), 7);
}

TEST_F(IniFileTest, FailedSaveLeavesTheOldFileWhole) {
    const std::string original = "; keep me\r\nCMNKD=100\r\n;END\r\n";
    WriteBytes(path, original);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file-size limit makes the write fail part-way.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{8, 8};
        setrlimit(RLIMIT_FSIZE, &limit);
        TIniData ini;
        ini.Load(path);
        ini.SetValue("DATPH", std::string(200, 'x'));
        try {
            ini.Save(path);
        } catch (const std::exception&) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed save must be reported";
    EXPECT_EQ(ReadBytes(path), original);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "no temporary file may be left behind";
}

TEST_F(IniFileTest, ReaderOfTheOldFileSeesItWhole) {
    WriteBytes(path, "CMNKD=100\r\n");
    std::ifstream reader(path, std::ios::binary);
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    ini.SetValue("DATPH", "/somewhere");
    ini.Save(path);
    const std::string seen((std::istreambuf_iterator<char>(reader)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seen, "CMNKD=100\r\n");
    EXPECT_EQ(ReadBytes(path), Field30("CMNKD=100") + ";\r\nDATPH=/somewhere\r\n");
}

TEST_F(IniFileTest, KeysWithShiftJisBytesAreNotConfusedByCase) {
    // 0x83 0x74 and 0x83 0x54 are two different characters whose second
    // bytes happen to be "t" and "T".
    WriteBytes(path, "\x83\x74=1\r\n\x83\x54=2\r\nkey=3\r\n");
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetValue("\x83\x74"), "1");
    EXPECT_EQ(ini.GetValue("\x83\x54"), "2");
    EXPECT_EQ(ini.GetValue("KEY"), "3");
    ini.SetValue("\x83\x54", "9");
    EXPECT_EQ(ini.GetValue("\x83\x74"), "1");
    EXPECT_EQ(ini.GetValue("\x83\x54"), "9");
}

TEST_F(IniFileTest, CloseForgetsEverything) {
    WriteBytes(path, "CMNKD=100\r\n");
    TIniData ini;
    ASSERT_TRUE(ini.Load(path));
    ini.Close();
    EXPECT_EQ(ini.GetValue("CMNKD"), "");
    EXPECT_TRUE(ini.Lines().empty());
    EXPECT_TRUE(ini.FileName().empty());
}
