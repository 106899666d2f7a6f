// Test main: gives the process its own odbc.ini before the first ODBC call
// (the driver manager caches the path), made of the suite's data sources
// and the stand-in engine's.
#include "OdbcTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string gTestDir;

void WriteOdbcIni() {
    char dirTemplate[] = "/tmp/kelv-simdriver-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir)
        std::abort();
    // Outside ctest the suite's own files are the defaults.
    setenv("ODBCINI", KELV_DEFAULT_ODBCINI, 0);
    setenv("KELV_SIM_DRIVER", KELV_DEFAULT_SIM_DRIVER, 0);
    std::string content;
    if (const char* original = std::getenv("ODBCINI")) {
        content = ReadFile(original);
        setenv("KELV_ORIGINAL_ODBCINI", original, 1);
    }
    const std::string driver = KELV_FAKE_DRIVER;
    content += "\n[KELV_FAKE]\nDriver = " + driver + "\nDatabase = " + std::string(dir) +
               "/fake.db\nVersion = 10\n";
    content += "\n[KELV_FAKE_DOWN]\nDriver = " + driver + "\nDatabase = " + std::string(dir) +
               "/down.db\nFAILCONNECT = 1\n";
    content += "\n[KELV_FAKE_INFO]\nDriver = " + driver + "\nDatabase = " + std::string(dir) +
               "/info.db\nFetchInfo = 1\n";
    const std::string path = std::string(dir) + "/odbc.ini";
    std::ofstream(path) << content;
    setenv("ODBCINI", path.c_str(), 1);
    setenv("KELV_FAKE_DATA", dir, 1);
    gTestDir = dir;
}

}  // namespace

int main(int argc, char** argv) {
    WriteOdbcIni();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(gTestDir, ignored);
    return result;
}
