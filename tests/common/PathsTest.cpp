// Where settings, data and error logs go: beside a program whose directory
// can be written, in the user's XDG directories for an installed copy.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "KvPaths.h"
#include "TempDir.h"

namespace {

const TUserDirs kUser{"/home/dba/.config", "/home/dba/.local/share"};

// Sets (or, with nullopt, unsets) a variable for the life of the object.
class TScopedEnv {
public:
    TScopedEnv(const char* name, std::optional<std::string> value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~TScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(KelvPaths, AWritableProgramDirectoryKeepsEverythingBesideThePrograms)
{
    const TKelvPaths p = KelvPathsFor("/opt/kelv", false, kUser);
    EXPECT_FALSE(p.PerUser);
    EXPECT_EQ(p.SettingsFile, "Kelv.ini") << "the current directory, as always";
    EXPECT_EQ(p.DataDir, "/opt/kelv/KLVDAT");
    EXPECT_EQ(p.LogDir, "/opt/kelv");
}

TEST(KelvPaths, AnInstalledCopyKeepsEverythingInTheUsersDirectories)
{
    const TKelvPaths p = KelvPathsFor("/usr/lib/kelv", true, kUser);
    EXPECT_TRUE(p.PerUser);
    EXPECT_EQ(p.SettingsFile, "/home/dba/.config/kelv/Kelv.ini");
    EXPECT_EQ(p.DataDir, "/home/dba/.local/share/kelv/KLVDAT");
    EXPECT_EQ(p.LogDir, "/home/dba/.local/share/kelv");
}

TEST(KelvPaths, UsrIsSharedEvenForAUserWhoMayWriteItAndAnUnwritableDirectoryIsShared)
{
    EXPECT_TRUE(IsSharedProgramDir("/usr"));
    EXPECT_TRUE(IsSharedProgramDir("/usr/lib/kelv"));
    TTempDir dir;
    EXPECT_FALSE(IsSharedProgramDir(dir.Path()));
    EXPECT_TRUE(IsSharedProgramDir(dir.File("missing")));
    ::chmod(dir.Path().c_str(), 0555);
    EXPECT_EQ(IsSharedProgramDir(dir.Path()), ::geteuid() != 0) << "root may write any directory";
}

TEST(KelvPaths, XdgDirectoriesCountOnlyWhenAbsolute)
{
    TScopedEnv home("HOME", "/home/dba");
    {
        TScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
        TScopedEnv data("XDG_DATA_HOME", "relative/data");
        const TUserDirs dirs = UserDirsFromEnvironment();
        EXPECT_EQ(dirs.ConfigHome, "/srv/config");
        EXPECT_EQ(dirs.DataHome, "/home/dba/.local/share");
    }
    TScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    TScopedEnv data("XDG_DATA_HOME", "");
    EXPECT_EQ(UserDirsFromEnvironment().ConfigHome, "/home/dba/.config");
    EXPECT_EQ(UserDirsFromEnvironment().DataHome, "/home/dba/.local/share");
}

TEST(PerUserFiles, TheTemplateIsCopiedOnceAndNeverOverTheUsersOwnFile)
{
    TTempDir dir;
    const std::string templ = dir.File("Kelv.ini.template");
    const std::string content = ";\x8a\xc7\x97\x9d\r\nCMNKD=100\r\n;END\r\n";  // Shift-JIS bytes, CR LF
    WriteBytes(templ, content);
    const TKelvPaths p = KelvPathsFor("/usr/lib/kelv", true, {dir.File("config"), dir.File("data")});

    PreparePerUserFiles(p, templ);
    EXPECT_EQ(ReadBytes(p.SettingsFile), content);
    EXPECT_EQ(ModeOf(dir.File("config/kelv")), 0700u) << "beside the collector's password file";
    EXPECT_EQ(ModeOf(p.LogDir), 0700u);
    EXPECT_FALSE(Exists(p.DataDir)) << "the collector makes it, the viewer never does";

    WriteBytes(p.SettingsFile, "CMNKD=7\r\n");
    PreparePerUserFiles(p, templ);
    EXPECT_EQ(ReadBytes(p.SettingsFile), "CMNKD=7\r\n");
}

TEST(PerUserFiles, NothingIsMadeBesideWritableProgramsOrWithoutATemplate)
{
    TTempDir dir;
    const TKelvPaths beside = KelvPathsFor(dir.Path(), false, {dir.File("config"), dir.File("data")});
    PreparePerUserFiles(beside, dir.File("no-template"));
    EXPECT_FALSE(Exists(dir.File("config")));

    const TKelvPaths perUser = KelvPathsFor(dir.Path(), true, {dir.File("config"), dir.File("data")});
    PreparePerUserFiles(perUser, dir.File("no-template"));
    EXPECT_FALSE(Exists(perUser.SettingsFile)) << "the missing-settings message names it instead";
}

}  // namespace
