#include "KvPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "KvCom.h"
#include "KvIni.h"

namespace {

// Per-user settings may sit beside the collector's password file.
constexpr mode_t kPrivateDirMode = 0700;
const char* const kReadOnlyTree = "/usr";

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

std::string HomeDir()
{
    if (const char* home = std::getenv("HOME"); IsAbsolute(home)) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
        return result->pw_dir;
    return "/";
}

std::string XdgDir(const char* variable, const char* fallbackUnderHome)
{
    if (const char* value = std::getenv(variable); IsAbsolute(value)) return value;
    return HomeDir() + "/" + fallbackUnderHome;
}

bool IsUnder(const std::string& path, const std::string& tree)
{
    return path == tree || path.compare(0, tree.size() + 1, tree + "/") == 0;
}

std::string ParentOf(const std::string& file) { return file.substr(0, file.find_last_of('/')); }

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

TUserDirs UserDirsFromEnvironment()
{
    return {XdgDir("XDG_CONFIG_HOME", ".config"), XdgDir("XDG_DATA_HOME", ".local/share")};
}

bool IsSharedProgramDir(const std::string& programDir)
{
    return IsUnder(programDir, kReadOnlyTree) || ::access(programDir.c_str(), W_OK | X_OK) != 0;
}

TKelvPaths KelvPathsFor(const std::string& programDir, bool shared, const TUserDirs& user)
{
    TKelvPaths paths;
    paths.PerUser = shared;
    if (!shared) {
        paths.SettingsFile = kIniFileName;
        paths.DataDir = programDir + "/" + kDataDirName;
        paths.LogDir = programDir;
        return paths;
    }
    const std::string dataHome = user.DataHome + "/" + kUserDirName;
    paths.SettingsFile = user.ConfigHome + "/" + kUserDirName + "/" + kIniFileName;
    paths.DataDir = dataHome + "/" + kDataDirName;
    paths.LogDir = dataHome;
    return paths;
}

TKelvPaths KelvPathsForProgramDir(const std::string& programDir)
{
    return KelvPathsFor(programDir, IsSharedProgramDir(programDir), UserDirsFromEnvironment());
}

std::string SettingsTemplateFor(const std::string& programDir)
{
    return programDir + "/" + KELV_SETTINGS_TEMPLATE;
}

void PreparePerUserFiles(const TKelvPaths& paths, const std::string& templateFile)
{
    if (!paths.PerUser) return;
    ForceDirectories(ParentOf(paths.SettingsFile), kPrivateDirMode);
    ForceDirectories(paths.LogDir, kPrivateDirMode);
    if (Exists(paths.SettingsFile)) return;
    std::string content;
    if (ReadFileBytes(templateFile, content)) WriteFileAtomic(paths.SettingsFile, content);
}
