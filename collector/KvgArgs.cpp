#include "KvgArgs.h"

#include <cstdlib>

#include "KvPlatform.h"

TCollectorArgs ParseCollectorArgs(const std::vector<std::string>& args, const char* envPassword)
{
    TCollectorArgs r;
    std::vector<std::string> plain;
    for (const std::string& a : args) {
        if (a == kShowSettingsOption)
            r.ShowWindow = true;
        else
            plain.push_back(a);
    }
    switch (plain.size()) {
    case 0:
        r.Mode = r.ShowWindow ? TCollectorArgs::ShowSettings : TCollectorArgs::UseDialog;
        break;
    case 2:
        r.Mode = TCollectorArgs::UseCredentials;
        r.DSN = plain[0];
        r.User = plain[1];
        if (envPassword)
            r.Password = envPassword;
        else
            r.PasswordFromStdin = true;
        break;
    case 3:
        r.Mode = TCollectorArgs::UseCredentials;
        r.DSN = plain[0];
        r.User = plain[1];
        r.Password = plain[2];
        break;
    default:
        r.Mode = TCollectorArgs::Invalid;
        break;
    }
    return r;
}

std::string FirstLine(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void ScrubPasswordSources(int argc, char** argv)
{
    int plain = 0;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) != kShowSettingsOption && ++plain == 3) ScrubArgument(argv[i]);
    if (char* value = std::getenv(kPasswordEnvVar)) {
        ScrubArgument(value);
        ::unsetenv(kPasswordEnvVar);
    }
}
