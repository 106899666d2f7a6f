// Password sources and the listen address: what is refused, and how it is said.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "../common/TempDir.h"
#include "ExporterHarness.h"
#include "KvxListen.h"
#include "KvxSecrets.h"

namespace {

std::string PasswordFile(const TTempDir& dir, const std::string& content, mode_t mode)
{
    const std::string path = dir.File("pw");
    WriteBytes(path, content);
    ::chmod(path.c_str(), mode);
    return path;
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(ExporterSecrets, PasswordFileReadableByItsOwnerOnly)
{
    TTempDir dir;
    for (mode_t mode : {0600, 0400}) {
        const TSecret s = ReadPasswordFile(PasswordFile(dir, "s3cret\n", mode));
        EXPECT_TRUE(s.Ok) << std::oct << mode << ": " << s.Error;
        EXPECT_EQ(s.Value, "s3cret");
    }
    for (mode_t mode : {0640, 0604, 0644, 0610, 0601}) {
        const std::string path = PasswordFile(dir, "s3cret\n", mode);
        const TSecret s = ReadPasswordFile(path);
        EXPECT_FALSE(s.Ok) << std::oct << mode;
        EXPECT_TRUE(Holds(s.Error, "too open")) << s.Error;
        EXPECT_TRUE(Holds(s.Error, path)) << s.Error;
        EXPECT_FALSE(Holds(s.Error, "s3cret"));
    }
}

TEST(ExporterSecrets, PasswordFileHoldsThePasswordAlone)
{
    TTempDir dir;
    EXPECT_EQ(ReadPasswordFile(PasswordFile(dir, "abc", 0600)).Value, "abc");
    EXPECT_EQ(ReadPasswordFile(PasswordFile(dir, "abc\r\n", 0600)).Value, "abc");
    EXPECT_EQ(ReadPasswordFile(PasswordFile(dir, " a b ", 0600)).Value, " a b ");  // blanks are the password's
    EXPECT_TRUE(Holds(ReadPasswordFile(PasswordFile(dir, "", 0600)).Error, "empty"));
    EXPECT_TRUE(Holds(ReadPasswordFile(PasswordFile(dir, "\n", 0600)).Error, "empty"));
    EXPECT_TRUE(Holds(ReadPasswordFile(PasswordFile(dir, "abc\ndef\n", 0600)).Error, "more than one line"));
    EXPECT_TRUE(Holds(ReadPasswordFile(PasswordFile(dir, std::string(5000, 'x'), 0600)).Error, "larger than"));
    EXPECT_TRUE(Holds(ReadPasswordFile(dir.Path()).Error, "not a regular file"));
    EXPECT_TRUE(Holds(ReadPasswordFile(dir.File("missing")).Error, "No such file"));
}

TEST(ExporterSecrets, PasswordFromTheEnvironment)
{
    ::setenv("KELV_TEST_PW", "from-env", 1);
    EXPECT_EQ(ReadPassword({TPasswordSource::Environment, "KELV_TEST_PW"}).Value, "from-env");
    ::setenv("KELV_TEST_PW", "", 1);
    EXPECT_TRUE(Holds(ReadPasswordEnv("KELV_TEST_PW").Error, "is empty"));
    ::unsetenv("KELV_TEST_PW");
    EXPECT_TRUE(Holds(ReadPasswordEnv("KELV_TEST_PW").Error, "KELV_TEST_PW is not set"));
}

TEST(ExporterListen, AddressForms)
{
    TListenAddress a;
    std::string error;
    ASSERT_TRUE(ResolveListenAddress("127.0.0.1:0", a, error)) << error;
    EXPECT_EQ(a.Listening, "127.0.0.1:0");
    ASSERT_TRUE(ResolveListenAddress(":9733", a, error)) << error;
    EXPECT_EQ(a.Listening, "9733");
    ASSERT_TRUE(ResolveListenAddress("localhost:65535", a, error)) << error;
    EXPECT_TRUE(a.Listening == "127.0.0.1:65535" || a.Listening == "[::1]:65535") << a.Listening;
    ASSERT_TRUE(ResolveListenAddress("[::1]:9733", a, error)) << error;
    EXPECT_EQ(a.Listening, "[::1]:9733");
    EXPECT_FALSE(ResolveListenAddress("127.0.0.1:65536", a, error));
    EXPECT_FALSE(ResolveListenAddress("127.0.0.1", a, error));
    EXPECT_FALSE(ResolveListenAddress("127.0.0.1:http", a, error));
    EXPECT_FALSE(ResolveListenAddress("no-such-host.invalid:9733", a, error));
    EXPECT_TRUE(Holds(error, "no-such-host.invalid"));
}

TEST(ExporterListen, PortInUseIsSaidSo)
{
    TListenAddress a;
    std::string error;
    {
        const kelvx::TBusyPort taken;
        ASSERT_TRUE(ResolveListenAddress("127.0.0.1:" + std::to_string(taken.Port()), a, error));
        EXPECT_FALSE(ProbeListenAddress(a, error));
        EXPECT_TRUE(Holds(error, "in use")) << error;
    }
    EXPECT_TRUE(ProbeListenAddress(a, error)) << error;
}
