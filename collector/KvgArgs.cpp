#include "KvgArgs.h"

#include <cstdlib>

#include "KvPlatform.h"

namespace {

constexpr size_t kCredentialArgs = 2;
constexpr size_t kPasswordArg = 3;

bool IsOption(const std::string& a) { return a.compare(0, 2, "--") == 0; }

bool StartsWith(const std::string& a, const char* prefix) { return a.compare(0, std::string(prefix).size(), prefix) == 0; }

TCollectorArgs Invalid(TCollectorArgs r, const std::string& problem = std::string())
{
    r.Mode = TCollectorArgs::Invalid;
    r.Problem = problem;
    return r;
}

// The mode from the plain arguments alone, as a windowed start reads them.
void TakePlainArguments(TCollectorArgs& r, const std::vector<std::string>& plain, const char* envPassword)
{
    switch (plain.size()) {
    case 0:
        r.Mode = r.ShowWindow ? TCollectorArgs::ShowSettings : TCollectorArgs::UseDialog;
        break;
    case kCredentialArgs:
        r.Mode = TCollectorArgs::UseCredentials;
        r.DSN = plain[0];
        r.User = plain[1];
        if (!r.PasswordFile.empty())
            break;
        if (envPassword && !r.Headless)
            r.Password = envPassword;
        else
            r.PasswordFromStdin = true;
        break;
    case kPasswordArg:
        r.Mode = TCollectorArgs::UseCredentials;
        r.DSN = plain[0];
        r.User = plain[1];
        r.Password = plain[2];
        break;
    default:
        r.Mode = TCollectorArgs::Invalid;
        break;
    }
}

}  // namespace

TCollectorArgs ParseCollectorArgs(const std::vector<std::string>& args, const char* envPassword)
{
    TCollectorArgs r;
    std::vector<std::string> plain;
    bool autostart = false;
    bool passwordFile = false;
    for (const std::string& a : args) {
        if (a == kShowSettingsOption)
            r.ShowWindow = true;
        else if (a == kHeadlessOption)
            r.Headless = true;
        else if (a == kAutostartOption)
            autostart = true;
        else if (StartsWith(a, kPasswordFileOption)) {
            passwordFile = true;
            r.PasswordFile = a.substr(std::string(kPasswordFileOption).size());
        }
        else if (IsOption(a))
            return Invalid(r, "unknown option " + a);
        else
            plain.push_back(a);
    }
    if (passwordFile && (r.PasswordFile.empty() || plain.size() != kCredentialArgs))
        return Invalid(r, "--password-file=FILE goes with a data source and a user");
    if (autostart) {
        if (!plain.empty() || r.ShowWindow)
            return Invalid(r, "--autostart takes its data source and user from the configuration");
        r.Mode = TCollectorArgs::UseConfiguration;
        return r;
    }
    TakePlainArguments(r, plain, envPassword);
    if (!r.Headless || r.Mode == TCollectorArgs::Invalid)
        return r;
    if (r.ShowWindow)
        return Invalid(r, "--headless has no window to show");
    if (plain.size() == kPasswordArg)
        return Invalid(r, "--headless takes no password on the command line: give it on standard input "
                          "or with --password-file=FILE");
    if (r.Mode != TCollectorArgs::UseCredentials)
        return Invalid(r, "--headless needs a data source and a user, or --autostart");
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
    size_t plain = 0;
    for (int i = 1; i < argc; ++i)
        if (!IsOption(argv[i]) && ++plain == kPasswordArg) ScrubArgument(argv[i]);
    if (char* value = std::getenv(kPasswordEnvVar)) {
        ScrubArgument(value);
        ::unsetenv(kPasswordEnvVar);
    }
}
