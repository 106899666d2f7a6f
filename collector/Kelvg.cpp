// Program entry of the collector Kelvg.
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "KelvgU1.h"
#include "KvCom.h"
#include "KvIni.h"
#include "KvLogin.h"
#include "KvPasswordFile.h"
#include "KvPaths.h"
#include "KvPlatform.h"
#include "KvQtQueryUI.h"
#include "KvgArgs.h"
#include "KvgConfig.h"
#include "KvgEngine.h"
#include "KvgHeadless.h"
#include "KvgSettingsSignal.h"
#include "KvgStopSignals.h"

namespace {
const char* const kMutexName = "Kelvg";
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
const char* const kLogonContext = "KVGLogOn";
const char* const kRetryingText = "; connecting again at every tick";
const char* const kCheckFailedText = "connected, but the connection check failed";

const char* const kUsage =
    "usage: Kelvg [DSN user [password]] [--password-file=FILE] [--settings]\n"
    "       Kelvg --headless DSN user [--password-file=FILE]\n"
    "       Kelvg [--headless] --autostart\n"
    "  with DSN and user only, the password is read from FILE (readable by its owner only),\n"
    "  else from KELV_PASSWORD (not with --headless), else from one line of standard input;\n"
    "  without arguments the login dialog is shown. --headless collects without display,\n"
    "  tray or window and ends on SIGTERM or SIGINT. --autostart takes the data source, user\n"
    "  and password file from ~/.config/kelv/kelvg.conf and ends at once without it.\n";

// A hidden collector cannot answer boxes: the query component's messages go
// to the error log and its questions (more grid rows?) are answered yes.
class TCollectorQueryUI : public TQueryUI {
public:
    void ShowMessage(const std::string& text) override { WriteErrLog("KVGQueryODBC", "", text); }
    bool Confirm(const std::string&) override { return true; }
};

TCollectorQueryUI& HiddenQueryUI()
{
    static TCollectorQueryUI ui;
    return ui;
}

enum class TLogon { Connected, Refused, Failed };

// The command-line logon has nobody in front of it, so its failure goes to
// the error log. A refused connection (SQLSTATE class 08: the instance or
// its listener is down) still starts the collector, which connects at a
// later tick; any other failure, such as a wrong password, ends it.
TLogon CheckCommandLineLogon(TCollectorEngine& engine, const TCollectorArgs& args)
{
    TQueryODBC& query = engine.qryODBC;
    query.SetDSName(args.DSN);
    query.SetUserID(args.User);
    query.SetPassword(args.Password);
    query.SetDriverConnect(false);
    try {
        query.Connect();
    } catch (const EODBCError& e) {
        const bool refused = e.SQLState.compare(0, 2, "08") == 0;
        WriteErrLog(kLogonContext, query.DSName(),
                    refused ? e.ErrorMessage + kRetryingText : e.ErrorMessage);
        if (!refused) return TLogon::Failed;
        engine.StartDisconnected(e.ErrorMessage);
        return TLogon::Refused;
    }
    if (CheckConnection(query)) return TLogon::Connected;
    WriteErrLog(kLogonContext, query.DSName(), kCheckFailedText);
    return TLogon::Failed;
}

TLogon LogOn(TfrmKVG& form, const TCollectorArgs& args)
{
    if (args.Mode == TCollectorArgs::UseCredentials) return CheckCommandLineLogon(form.Engine(), args);
    // The dialog path has a user in front of it: its failures are boxes.
    TQtQueryUI dialogUI;
    SetQueryUI(&dialogUI);
    const bool ok = Login(form.qryODBC);
    SetQueryUI(&HiddenQueryUI());
    return ok ? TLogon::Connected : TLogon::Failed;
}

// The user's collector configuration in place of DSN, user and password
// file. Returns false when there is none: nothing to start.
bool TakeConfiguration(TCollectorArgs& args, std::string& problem)
{
    const TCollectorConfig config = ReadCollectorConfig(CollectorConfigFile(UserDirsFromEnvironment()));
    if (!config.Found) return false;
    problem = config.Problem;
    args.Mode = TCollectorArgs::UseCredentials;
    args.DSN = config.DSN;
    args.User = config.User;
    args.PasswordFile = config.PasswordFile;
    return true;
}

// The password of a start with credentials, from its file or from one line
// of standard input; "" or why it cannot be had.
std::string TakePassword(TCollectorArgs& args)
{
    if (args.Mode != TCollectorArgs::UseCredentials) return std::string();
    if (!args.PasswordFile.empty()) {
        const TSecret secret = ReadPasswordFile(args.PasswordFile);
        args.Password = secret.Value;
        return secret.Error;
    }
    if (args.PasswordFromStdin) {
        std::string line;
        std::getline(std::cin, line);
        args.Password = FirstLine(line);
    }
    return std::string();
}

// A start that cannot go on: the error log keeps the reason, and the user
// sees it (a box, or standard error without a display).
int FailStart(const std::string& problem, bool headless)
{
    WriteErrLog(kLogonContext, "", problem);
    if (headless) {
        std::cerr << "Kelvg: " << problem << "\n";
    } else {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kCollectorCaption), QString::fromStdString(problem),
                        QMessageBox::Ok);
        box.exec();
    }
    SetQueryUI(nullptr);
    return kExitFailed;
}

int RunWindowed(int argc, char** argv, const TCollectorArgs& args, const TKelvPaths& paths,
                const std::string& startProblem)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the collector lives on in the tray

    SetQueryUI(&HiddenQueryUI());
    if (!startProblem.empty()) return FailStart(startProblem, false);

    TIniData ini;
    const std::string iniProblem = LoadIniAtStart(ini, paths.SettingsFile);
    if (!iniProblem.empty()) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kCollectorCaption),
                        QString::fromUtf8(iniProblem), QMessageBox::Ok);
        box.exec();
        SetQueryUI(nullptr);
        return kExitFailed;
    }

    int rc = kExitFailed;
    {
        TfrmKVG form(ini, paths.DataDir);
        const TLogon logon = LogOn(form, args);
        if (logon == TLogon::Failed) {
            SetQueryUI(nullptr);
            return kExitFailed;
        }
        form.InitCollector();
        if (logon == TLogon::Connected) form.RefreshCheckPoint();

        TSettingsSignal signal;
        QObject::connect(&signal, &TSettingsSignal::ShowRequested, &form, &TfrmKVG::ShowSettings);
        signal.Listen();
        // The session ends, or someone stops the process: nothing kept back is lost.
        TStopSignals stop;
        QObject::connect(&stop, &TStopSignals::StopRequested, &form, &TfrmKVG::EndWithoutConfirm);
        // Without a tray icon the window is the only way in: show it at start.
        if (args.ShowWindow || !QSystemTrayIcon::isSystemTrayAvailable()) form.ShowSettings();

        QApplication::setApplicationDisplayName(QString::fromUtf8(kCollectorCaption));
        rc = app.exec();
    }
    SetQueryUI(nullptr);
    return rc;
}

int RunHeadless(int argc, char** argv, const TCollectorArgs& args, const TKelvPaths& paths,
                const std::string& startProblem)
{
    QCoreApplication app(argc, argv);  // no display: no widgets, no tray
    SetQueryUI(&HiddenQueryUI());
    if (!startProblem.empty()) return FailStart(startProblem, true);

    TIniData ini;
    const std::string iniProblem = LoadIniAtStart(ini, paths.SettingsFile);
    if (!iniProblem.empty()) {
        std::cerr << "Kelvg: " << iniProblem << "\n";
        SetQueryUI(nullptr);
        return kExitFailed;
    }

    int rc = kExitFailed;
    {
        TCollectorEngine engine(paths.DataDir);
        const TLogon logon = CheckCommandLineLogon(engine, args);
        if (logon == TLogon::Failed) {
            std::cerr << "Kelvg: cannot log on to " << args.DSN << " as " << args.User
                      << "; the reason is in the error log in " << paths.LogDir << "\n";
            SetQueryUI(nullptr);
            return kExitFailed;
        }
        engine.Init(ini);
        if (logon == TLogon::Connected) engine.RefreshCheckPoint();

        THeadlessCollector collector(engine);
        TStopSignals stop;
        QObject::connect(&stop, &TStopSignals::StopRequested, &collector, &THeadlessCollector::Stop);
        collector.Start();
        std::cerr << "Kelvg: collecting from " << args.DSN << " as " << args.User << " into " << paths.DataDir
                  << " (error log in " << paths.LogDir << ")\n";
        rc = app.exec();
        std::cerr << "Kelvg: stopped\n";
    }
    ini.Close();
    SetQueryUI(nullptr);
    return rc;
}
}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> rawArgs(argv + 1, argv + argc);
    TCollectorArgs args = ParseCollectorArgs(rawArgs, std::getenv(kPasswordEnvVar));
    ScrubPasswordSources(argc, argv);

    // Every start of the viewer starts a collector: a second one ends
    // before it shows or prints anything, usage text included.
    TSingleInstance instance(kMutexName);
    if (instance.AlreadyRunning()) {
        if (args.ShowWindow) {
            QCoreApplication signalOnly(argc, argv);
            TSettingsSignal::RequestShow();
        }
        return 0;
    }
    if (args.Mode == TCollectorArgs::Invalid) {
        if (!args.Problem.empty()) std::cerr << "Kelvg: " << args.Problem << "\n";
        std::cerr << kUsage;
        return kExitUsage;
    }

    // The desktop starts --autostart for every user: one who has not set
    // the collector up gets nothing made in the home directory.
    std::string startProblem;
    if (args.Mode == TCollectorArgs::UseConfiguration && !TakeConfiguration(args, startProblem)) {
        if (args.Headless)
            std::cerr << "Kelvg: no collector configuration "
                      << CollectorConfigFile(UserDirsFromEnvironment()) << ": nothing to collect\n";
        return 0;
    }

    // Settings, data and error logs beside the program, or the user's own
    // when the program is installed where the user cannot write.
    const std::string programDir = ProgramDir();
    const TKelvPaths paths = KelvPathsForProgramDir(programDir);
    PreparePerUserFiles(paths, SettingsTemplateFor(programDir));
    SetErrLogDir(paths.LogDir);
    if (startProblem.empty()) startProblem = TakePassword(args);
    return args.Headless ? RunHeadless(argc, argv, args, paths, startProblem)
                         : RunWindowed(argc, argv, args, paths, startProblem);
}
