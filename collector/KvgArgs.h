// The collector's command line:
//   Kelvg                      login dialog
//   Kelvg DSN user password    no dialog
//   Kelvg DSN user             password from KELV_PASSWORD, else one line of standard input
//   Kelvg --settings           ask the running collector to show its settings window
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kPasswordEnvVar = "KELV_PASSWORD";
inline constexpr const char* kShowSettingsOption = "--settings";

struct TCollectorArgs {
    enum TMode { UseDialog, UseCredentials, ShowSettings, Invalid };
    TMode Mode = UseDialog;
    std::string DSN;
    std::string User;
    std::string Password;
    bool PasswordFromStdin = false;  // two arguments and no KELV_PASSWORD
    bool ShowWindow = false;         // --settings given with a start
};

// args without the program name; envPassword is KELV_PASSWORD (nullptr when unset).
TCollectorArgs ParseCollectorArgs(const std::vector<std::string>& args, const char* envPassword);
// One line of a stream's text without its line end (CR LF or LF).
std::string FirstLine(const std::string& text);
// Once the arguments are copied: wipes the password from the process listing
// (the third plain argument) and from the environment block (KELV_PASSWORD),
// both of which other processes of the user can read.
void ScrubPasswordSources(int argc, char** argv);
