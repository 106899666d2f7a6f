// Data-file names, the purge of old files, and the locking rule between the
// collector (appends, rewrites) and the viewer (whole-file reads).
#include "KvCom.h"
#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class DataDirTest : public ::testing::Test {
protected:
    TTempDir dir;

    // A second open of the file holding a flock, as the other program would.
    struct HeldLock {
        int fd;
        HeldLock(const std::string& path, int mode) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
            EXPECT_GE(fd, 0);
            EXPECT_EQ(::flock(fd, mode | LOCK_NB), 0);
        }
        ~HeldLock() { ::close(fd); }
    };
};

}  // namespace

TEST(DataFileNames, MakeDatFileNameTrimsItsParts) {
    EXPECT_EQ(MakeDatFileName("/data ", "DSN", " MU", "20010315 "), "/data/MU20010315.dat");
    EXPECT_EQ(MakeDatFileName("/data", "", "OR", "*"), "/data/OR*.dat");
}

TEST(DataFileNames, FileNameToDateReadsEightCharactersAfterThePrefix) {
    EXPECT_EQ(FileNameToDate("/x/MU20010315.dat", "", "MU"), 20010315);
    EXPECT_EQ(FileNameToDate("MU20010315.dat", "", "MU"), 20010315);
    EXPECT_EQ(FileNameToDate("MUabc.dat", "", "MU"), 0);
    EXPECT_EQ(FileNameToDate("/x/OR20010315.dat", "", "MU"), 20010315);
    EXPECT_EQ(FileNameToDate("MU-2001031.dat", "", "MU"), 0);
    EXPECT_EQ(FileNameToDate("MU.dat", "", "MU"), 0);
    EXPECT_EQ(FileNameToDate("MU", "", "MU"), 0);
    EXPECT_EQ(FileNameToDate("/a/b/ML20241231.dat", "", "ML"), 20241231);
}

TEST_F(DataDirTest, DeleteOldDatFilesKeepsLaterDaysAndOtherKinds) {
    for (const char* name : {"MU20010228.dat", "MU20010301.dat", "MU20010302.dat", "MUabc.dat",
                             "ML20010101.dat", "mu20010201.DAT", "MU20010101.txt"})
        WriteBytes(dir.File(name), "x");
    EXPECT_EQ(DeleteOldDatFiles(20010301, dir.Path(), "DSN", "MU"), "");
    EXPECT_FALSE(Exists(dir.File("MU20010228.dat")));
    EXPECT_FALSE(Exists(dir.File("MU20010301.dat")));
    EXPECT_FALSE(Exists(dir.File("mu20010201.DAT")));
    EXPECT_TRUE(Exists(dir.File("MU20010302.dat")));
    EXPECT_TRUE(Exists(dir.File("MUabc.dat")));
    EXPECT_TRUE(Exists(dir.File("ML20010101.dat")));
    EXPECT_TRUE(Exists(dir.File("MU20010101.txt")));
}

TEST_F(DataDirTest, DeleteOldDatFilesReportsTheFileItCannotDelete) {
    // A directory with a data-file name cannot be unlinked; the purge stops there.
    std::filesystem::create_directory(dir.File("OR20010101.dat"));
    EXPECT_EQ(DeleteOldDatFiles(20010301, dir.Path(), "", "OR"), "OR20010101.dat");
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("OR20010101.dat")));
    EXPECT_EQ(DeleteOldDatFiles(20010301, dir.Path() + "/missing", "", "OR"), "");
}

TEST_F(DataDirTest, AppendLineWritesWholeLinesAndCreatesTheFile) {
    const std::string path = dir.File("MU20010315.dat");
    ASSERT_TRUE(AppendLine(path, "0012345"));
    ASSERT_TRUE(AppendLine(path, "0067890"));
    EXPECT_EQ(ReadBytes(path), "0012345\r\n0067890\r\n");
    EXPECT_FALSE(AppendLine(dir.File("no/such/dir.dat"), "x"));
}

TEST_F(DataDirTest, AppendLineIsRefusedWhileTheViewerReads) {
    const std::string path = dir.File("OR20010315.dat");
    ASSERT_TRUE(AppendLine(path, "first"));
    {
        HeldLock reader(path, LOCK_SH);
        EXPECT_FALSE(AppendLine(path, "second"));
    }
    EXPECT_TRUE(AppendLine(path, "third"));
    EXPECT_EQ(ReadBytes(path), "first\r\nthird\r\n");
}

TEST_F(DataDirTest, WholeFileReadIsRefusedWhileTheCollectorWrites) {
    const std::string path = dir.File("ML20010315.dat");
    WriteBytes(path, "line\r\n");
    std::string content;
    {
        HeldLock writer(path, LOCK_EX);
        EXPECT_FALSE(ReadWholeFileLocked(path, content));
    }
    ASSERT_TRUE(ReadWholeFileLocked(path, content));
    EXPECT_EQ(content, "line\r\n");
    EXPECT_FALSE(ReadWholeFileLocked(dir.File("missing.dat"), content));
}

TEST_F(DataDirTest, AtomicRewriteReplacesWholeAndRespectsTheReader) {
    const std::string path = dir.File("ML20010315.dat");
    ASSERT_TRUE(WriteFileAtomic(path, "old\r\n"));
    {
        HeldLock reader(path, LOCK_SH);
        EXPECT_FALSE(WriteFileAtomic(path, "new\r\n"));
        EXPECT_EQ(ReadBytes(path), "old\r\n");
    }
    ASSERT_TRUE(WriteFileAtomic(path, "new\r\n"));
    EXPECT_EQ(ReadBytes(path), "new\r\n");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(WriteFileAtomic(dir.File("no/such/file"), "x"));
}

TEST_F(DataDirTest, AtomicRewriteKeepsPermissionsAndSymbolicLinks) {
    const std::string target = dir.File("real.ini");
    WriteBytes(target, "old");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(target, dir.File("Kelv.ini"));
    ASSERT_TRUE(WriteFileAtomic(dir.File("Kelv.ini"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("Kelv.ini")));
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(DataDirTest, ForceDirectoriesCreatesParents) {
    const std::string deep = dir.File("a/b/KLVDAT");
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(ForceDirectories(deep));
    WriteBytes(dir.File("file"), "x");
    EXPECT_FALSE(ForceDirectories(dir.File("file/sub")));
}

TEST(ProgramDirectory, IsTheDirectoryOfThisExecutable) {
    const std::string programDir = ProgramDir();
    ASSERT_FALSE(programDir.empty());
    EXPECT_NE(programDir.back(), '/');
    EXPECT_EQ(std::filesystem::canonical("/proc/self/exe").parent_path().string(), programDir);
    EXPECT_EQ(ProgramDataDir(), programDir + "/KLVDAT");
}
