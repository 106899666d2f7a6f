#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "KvDayList.h"

namespace {

std::string MakeTempDir() {
    char pattern[] = "/tmp/kelv_days_XXXXXX";
    return ::mkdtemp(pattern);
}

void Touch(const std::string& path) { std::ofstream(path) << ""; }

TEST(DayList, OnlyDatedFilesOfThePrefixInDateOrder) {
    const std::string dir = MakeTempDir();
    for (const char* name : {"MU20261204.dat", "MU20251231.dat", "mu20261203.DAT", "MU20261204.DAT",
                             "MUabc.dat", "MU20261340.dat", "OR20261204.dat", "MU00000000.dat"})
        Touch(dir + "/" + name);
    const auto days = ListStatDays(dir, "MU");
    EXPECT_EQ(days, (std::vector<std::string>{"20251231", "20261203", "20261204"}));
    EXPECT_EQ(ListStatDays(dir, "OR"), (std::vector<std::string>{"20261204"}));
    EXPECT_TRUE(ListStatDays(dir + "/missing", "MU").empty());
    std::system(("rm -rf " + dir).c_str());
}

// Every listed day opens under the name its file has.
TEST(DayList, TheFileOfADayIsTheOneListed) {
    const std::string dir = MakeTempDir();
    for (const char* name : {"mu20261203.DAT", "MU20261204.dat", "Mu20261204.dAt", "ml20261204.dat"})
        Touch(dir + "/" + name);
    for (const std::string& day : ListStatDays(dir, "MU")) {
        const std::string path = StatFileOfDay(dir, "MU", day);
        EXPECT_TRUE(std::ifstream(path).good()) << path;
    }
    EXPECT_EQ(StatFileOfDay(dir, "MU", "20261203"), dir + "/mu20261203.DAT");
    EXPECT_EQ(StatFileOfDay(dir, "MU", "20261204"), dir + "/MU20261204.dat") << "the exact spelling first";
    EXPECT_EQ(StatFileOfDay(dir, "ML", "20261204"), dir + "/ml20261204.dat");
    EXPECT_EQ(StatFileOfDay(dir, "ML", "20261203"), dir + "/ML20261203.dat") << "none: the exact spelling";
    EXPECT_EQ(StatFileOfDay(dir, "MU", "2026120"), dir + "/MU2026120.dat") << "no other day's file";
    std::system(("rm -rf " + dir).c_str());
}

TEST(DayList, LabelsCarryTheJapaneseWeekday) {
    EXPECT_EQ(DayLabel("20261204"), "26/12/04(金)");
    EXPECT_EQ(DayLabel("20240229"), "24/02/29(木)");
    EXPECT_EQ(DayLabel("20000101"), "00/01/01(土)");
    EXPECT_EQ(DayLabel("20230229"), "");
    EXPECT_EQ(DayLabel("2026120"), "");
}

}  // namespace
