// Single-instance lock, host memory and the system-information library.
#include "KvPlatform.h"
#include "TempDir.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    TTempDir runtimeDir;
    std::string savedXdg;
    bool hadXdg = false;
    std::string name = "KelvTest" + std::to_string(getpid());

    void SetUp() override {
        if (const char* xdg = std::getenv("XDG_RUNTIME_DIR")) {
            hadXdg = true;
            savedXdg = xdg;
        }
        ::chmod(runtimeDir.Path().c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtimeDir.Path().c_str(), 1);
    }
    void TearDown() override {
        if (hadXdg)
            setenv("XDG_RUNTIME_DIR", savedXdg.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
};

}  // namespace

TEST_F(SingleInstanceTest, SecondInstanceIsRefusedUntilTheFirstEnds) {
    auto first = std::make_unique<TSingleInstance>(name);
    EXPECT_FALSE(first->AlreadyRunning());
    {
        TSingleInstance second(name);
        EXPECT_TRUE(second.AlreadyRunning());
        TSingleInstance otherProgram(name + "g");
        EXPECT_FALSE(otherProgram.AlreadyRunning());
    }
    first.reset();
    TSingleInstance third(name);
    EXPECT_FALSE(third.AlreadyRunning());
}

TEST_F(SingleInstanceTest, LockIsReleasedWhenTheHolderDies) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TSingleInstance holder(name);
        const char state = holder.AlreadyRunning() ? 'n' : 'y';
        (void)!write(ready[1], &state, 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    close(ready[0]);
    EXPECT_EQ(state, 'y');
    {
        TSingleInstance whileAlive(name);
        EXPECT_TRUE(whileAlive.AlreadyRunning());
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    TSingleInstance afterDeath(name);
    EXPECT_FALSE(afterDeath.AlreadyRunning());
}

TEST(HostMemory, InstalledMemoryAndUserAreKnown) {
    EXPECT_TRUE(PlatformReportsMemory());
    EXPECT_GT(TotalPhysicalMemory(), 16ull * 1024 * 1024);
    EXPECT_FALSE(OsUserName().empty());
}

TEST(SystemInformationLibrary, ExportsPlausibleFigures) {
    void* lib = dlopen(KELV_VESKSYSINF_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto getCpuUse = reinterpret_cast<int (*)()>(dlsym(lib, "GetCPUUse"));
    auto getMemUse = reinterpret_cast<double (*)()>(dlsym(lib, "GetMemUse"));
    ASSERT_NE(getCpuUse, nullptr);
    ASSERT_NE(getMemUse, nullptr);
    for (int i = 0; i < 3; ++i) {
        const int cpu = getCpuUse();
        EXPECT_GE(cpu, 0);
        EXPECT_LE(cpu, 100);
    }
    const double memKb = getMemUse();
    EXPECT_GT(memKb, 0.0);
    EXPECT_LE(memKb, static_cast<double>(TotalPhysicalMemory()) / 1024.0);
    dlclose(lib);
}

TEST(CommandLine, ScrubbedArgumentDisappearsFromTheProcessList) {
    // In a child, the program's own argv[0] (which program_invocation_name
    // points into) stands for the password argument; /proc/self/cmdline is
    // what ps shows to every user.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string before = ReadBytes("/proc/self/cmdline");
        ScrubArgument(program_invocation_name);
        ScrubArgument(nullptr);
        const std::string after = ReadBytes("/proc/self/cmdline");
        const bool shownBefore = before.find("kelv_common_tests") != std::string::npos;
        const bool shownAfter = after.find("kelv_common_tests") != std::string::npos;
        const char result = shownBefore && !shownAfter ? 'y' : 'n';
        (void)!write(ready[1], &result, 1);
        _exit(0);
    }
    close(ready[1]);
    char result = 0;
    ASSERT_EQ(read(ready[0], &result, 1), 1);
    close(ready[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(result, 'y');
}
