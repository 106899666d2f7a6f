// The collector's command line:
//   Kelvg                      login dialog
//   Kelvg DSN user password    no dialog
//   Kelvg DSN user             password from --password-file, else KELV_PASSWORD,
//                              else one line of standard input
//   Kelvg --autostart          data source, user and password file from the
//                              user's collector configuration (KvgConfig.h);
//                              without one, end at once
//   Kelvg --settings           ask the running collector to show its settings window
//   --headless                 no display, no tray, no window: with DSN and user
//                              or --autostart; the password only from a file or
//                              standard input
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kPasswordEnvVar = "KELV_PASSWORD";
inline constexpr const char* kShowSettingsOption = "--settings";
inline constexpr const char* kHeadlessOption = "--headless";
inline constexpr const char* kAutostartOption = "--autostart";
inline constexpr const char* kPasswordFileOption = "--password-file=";

struct TCollectorArgs {
    enum TMode { UseDialog, UseCredentials, UseConfiguration, ShowSettings, Invalid };
    TMode Mode = UseDialog;
    std::string DSN;
    std::string User;
    std::string Password;
    std::string PasswordFile;        // --password-file=FILE
    bool PasswordFromStdin = false;  // two arguments, no file and (windowed) no KELV_PASSWORD
    bool ShowWindow = false;         // --settings given with a start
    bool Headless = false;
    std::string Problem;             // what is wrong with an Invalid line, beyond the usage
};

// args without the program name; envPassword is KELV_PASSWORD (nullptr when unset).
TCollectorArgs ParseCollectorArgs(const std::vector<std::string>& args, const char* envPassword);
// One line of a stream's text without its line end (CR LF or LF).
std::string FirstLine(const std::string& text);
// Once the arguments are copied: wipes the password from the process listing
// (the third plain argument) and from the environment block (KELV_PASSWORD),
// both of which other processes of the user can read.
void ScrubPasswordSources(int argc, char** argv);
