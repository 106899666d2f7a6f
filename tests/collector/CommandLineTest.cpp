// The collector's command line beyond the login: --headless takes its
// password only from a file or standard input, --password-file and
// --autostart, what the process listing keeps, and the user's collector
// configuration behind --autostart.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KvgArgs.h"
#include "KvgConfig.h"

namespace {

namespace fs = std::filesystem;

TCollectorArgs Parse(const std::vector<std::string>& args, const char* env = nullptr)
{
    return ParseCollectorArgs(args, env);
}

TEST(HeadlessCommandLine, ThePasswordComesOnlyFromAFileOrStandardInput)
{
    auto r = Parse({"--headless", "KELV_ORA10", "system"}, "from-the-environment");
    EXPECT_EQ(r.Mode, TCollectorArgs::UseCredentials);
    EXPECT_TRUE(r.Headless);
    EXPECT_TRUE(r.PasswordFromStdin) << "never KELV_PASSWORD";
    EXPECT_EQ(r.Password, "");

    r = Parse({"KELV_ORA10", "system", "--headless", "--password-file=/home/dba/pw"}, "from-the-environment");
    EXPECT_EQ(r.Mode, TCollectorArgs::UseCredentials);
    EXPECT_EQ(r.PasswordFile, "/home/dba/pw");
    EXPECT_FALSE(r.PasswordFromStdin);

    r = Parse({"--headless", "KELV_ORA10", "system", "manager"});
    EXPECT_EQ(r.Mode, TCollectorArgs::Invalid);
    EXPECT_NE(r.Problem.find("no password on the command line"), std::string::npos) << r.Problem;
}

TEST(HeadlessCommandLine, WithoutDataSourceAndUserOrWithAWindowItIsRefused)
{
    EXPECT_EQ(Parse({"--headless"}).Mode, TCollectorArgs::Invalid) << "no dialog without a display";
    EXPECT_EQ(Parse({"--headless", "KELV_ORA10"}).Mode, TCollectorArgs::Invalid);
    EXPECT_EQ(Parse({"--headless", "--settings", "KELV_ORA10", "system"}).Mode, TCollectorArgs::Invalid);
    const auto r = Parse({"--headless", "--autostart"});
    EXPECT_EQ(r.Mode, TCollectorArgs::UseConfiguration);
    EXPECT_TRUE(r.Headless);
}

TEST(CollectorCommandLine, PasswordFileAndAutostartGoWithTheirOwnArguments)
{
    // Windowed, a password file comes before KELV_PASSWORD and standard input.
    auto r = Parse({"--password-file=pw", "KELV_ORA10", "system"}, "from-the-environment");
    EXPECT_EQ(r.PasswordFile, "pw");
    EXPECT_EQ(r.Password, "");
    EXPECT_FALSE(r.PasswordFromStdin);

    EXPECT_EQ(Parse({"--password-file=", "KELV_ORA10", "system"}).Mode, TCollectorArgs::Invalid);
    EXPECT_EQ(Parse({"--password-file", "pw", "KELV_ORA10", "system"}).Mode, TCollectorArgs::Invalid);
    EXPECT_EQ(Parse({"--password-file=pw", "KELV_ORA10", "system", "manager"}).Mode, TCollectorArgs::Invalid);
    EXPECT_EQ(Parse({"--password-file=pw"}).Mode, TCollectorArgs::Invalid);

    EXPECT_EQ(Parse({"--autostart"}).Mode, TCollectorArgs::UseConfiguration);
    EXPECT_FALSE(Parse({"--autostart"}).Headless);
    EXPECT_EQ(Parse({"--autostart", "KELV_ORA10", "system"}).Mode, TCollectorArgs::Invalid);
    EXPECT_EQ(Parse({"--autostart", "--settings"}).Mode, TCollectorArgs::Invalid);

    r = Parse({"--headles", "KELV_ORA10", "system"});
    EXPECT_EQ(r.Mode, TCollectorArgs::Invalid) << "a misspelt option is no data source";
    EXPECT_NE(r.Problem.find("--headles"), std::string::npos);
}

TEST(CollectorCommandLine, OnlyTheThirdPlainArgumentIsWipedFromTheProcessListing)
{
    std::vector<std::string> texts = {"Kelvg", "--settings", "KELV_ORA10", "--password-file=/x", "system", "manager"};
    std::vector<char*> argv;
    for (std::string& t : texts) argv.push_back(t.data());
    ::setenv(kPasswordEnvVar, "secret", 1);
    ScrubPasswordSources(static_cast<int>(argv.size()), argv.data());
    EXPECT_STREQ(argv[5], "");
    EXPECT_STREQ(argv[3], "--password-file=/x");
    EXPECT_STREQ(argv[4], "system");
    EXPECT_EQ(std::getenv(kPasswordEnvVar), nullptr);
}

class CollectorConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kelvconfXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        file_ = (dir_ / kCollectorConfigName).string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }

    fs::path dir_;
    std::string file_;
};

TEST_F(CollectorConfig, NamesTheDataSourceAndUserAndThePasswordFileBesideIt)
{
    EXPECT_FALSE(ReadCollectorConfig(file_).Found) << "no file: nothing to start";
    EXPECT_EQ(CollectorConfigFile({"/home/dba/.config", "/x"}), "/home/dba/.config/kelv/kelvg.conf");

    Write("; the collector of this account\nDSN = KELV_ORA10\r\nuser=system ; DBA\n");
    auto c = ReadCollectorConfig(file_);
    EXPECT_TRUE(c.Found);
    EXPECT_EQ(c.Problem, "");
    EXPECT_EQ(c.DSN, "KELV_ORA10");
    EXPECT_EQ(c.User, "system");
    EXPECT_EQ(c.PasswordFile, (dir_ / kDefaultPasswordFileName).string());

    Write("DSN=KELV_ORA10\nUSER=system\nPASSWORD_FILE=secrets/pw\n");
    EXPECT_EQ(ReadCollectorConfig(file_).PasswordFile, (dir_ / "secrets/pw").string());
    Write("DSN=KELV_ORA10\nUSER=system\nPASSWORD_FILE=/etc/kelv/pw\n");
    EXPECT_EQ(ReadCollectorConfig(file_).PasswordFile, "/etc/kelv/pw");
}

TEST_F(CollectorConfig, WithoutDataSourceOrUserItSaysWhatIsMissing)
{
    for (const char* text : {"DSN=KELV_ORA10\n", "USER=system\n", "; nothing yet\n"}) {
        Write(text);
        const auto c = ReadCollectorConfig(file_);
        EXPECT_TRUE(c.Found);
        EXPECT_NE(c.Problem.find("needs DSN=<data source> and USER=<user name>"), std::string::npos) << text;
        EXPECT_NE(c.Problem.find(file_), std::string::npos);
    }
}

}  // namespace
