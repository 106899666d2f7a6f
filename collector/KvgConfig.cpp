#include "KvgConfig.h"

#include <sys/stat.h>

#include "KvIni.h"

namespace {

std::string DirectoryOf(const std::string& file)
{
    const size_t slash = file.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

}  // namespace

std::string CollectorConfigFile(const TUserDirs& user)
{
    return user.ConfigHome + "/" + kUserDirName + "/" + kCollectorConfigName;
}

TCollectorConfig ReadCollectorConfig(const std::string& file)
{
    TCollectorConfig config;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return config;
    config.Found = true;
    TIniData ini;
    try {
        ini.Load(file);
    } catch (const EIniFileError& e) {
        config.Problem = e.what();
        return config;
    }
    config.DSN = ini.GetValue("DSN");
    config.User = ini.GetValue("USER");
    std::string password = ini.GetValue("PASSWORD_FILE");
    if (password.empty()) password = kDefaultPasswordFileName;
    config.PasswordFile = password.front() == '/' ? password : DirectoryOf(file) + "/" + password;
    if (config.DSN.empty() || config.User.empty())
        config.Problem = "the collector configuration " + file + " needs DSN=<data source> and USER=<user name>";
    return config;
}
