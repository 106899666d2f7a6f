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
#include "KvPlatform.h"
#include "KvQtQueryUI.h"
#include "KvgArgs.h"
#include "KvgSettingsSignal.h"

namespace {
const char* const kMutexName = "Kelvg";
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
const char* const kLogonContext = "KVGLogOn";
const char* const kRetryingText = "; connecting again at every tick";
const char* const kCheckFailedText = "connected, but the connection check failed";

const char* const kUsage =
    "usage: Kelvg [DSN user [password]] [--settings]\n"
    "  with DSN and user only, the password is read from KELV_PASSWORD or from one line of\n"
    "  standard input; without arguments the login dialog is shown.\n";

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
TLogon CheckCommandLineLogon(TfrmKVG& form)
{
    TQueryODBC& query = form.qryODBC;
    query.SetDriverConnect(false);
    try {
        query.Connect();
    } catch (const EODBCError& e) {
        const bool refused = e.SQLState.compare(0, 2, "08") == 0;
        WriteErrLog(kLogonContext, query.DSName(),
                    refused ? e.ErrorMessage + kRetryingText : e.ErrorMessage);
        if (!refused) return TLogon::Failed;
        form.StartDisconnected(e.ErrorMessage);
        return TLogon::Refused;
    }
    if (CheckConnection(query)) return TLogon::Connected;
    WriteErrLog(kLogonContext, query.DSName(), kCheckFailedText);
    return TLogon::Failed;
}

TLogon LogOn(TfrmKVG& form, const TCollectorArgs& args)
{
    if (args.Mode != TCollectorArgs::UseCredentials) {
        // The dialog path has a user in front of it: its failures are boxes.
        TQtQueryUI dialogUI;
        SetQueryUI(&dialogUI);
        const bool ok = Login(form.qryODBC);
        SetQueryUI(&HiddenQueryUI());
        return ok ? TLogon::Connected : TLogon::Failed;
    }
    std::string password = args.Password;
    if (args.PasswordFromStdin) {
        std::string line;
        std::getline(std::cin, line);
        password = FirstLine(line);
    }
    form.qryODBC.SetDSName(args.DSN);
    form.qryODBC.SetUserID(args.User);
    form.qryODBC.SetPassword(password);
    return CheckCommandLineLogon(form);
}
}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> rawArgs(argv + 1, argv + argc);
    const TCollectorArgs args = ParseCollectorArgs(rawArgs, std::getenv(kPasswordEnvVar));
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
        std::cerr << kUsage;
        return kExitUsage;
    }

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the collector lives on in the tray

    SetQueryUI(&HiddenQueryUI());

    TIniData ini;
    const std::string iniProblem = LoadIniAtStart(ini, kIniFileName);
    if (!iniProblem.empty()) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kCollectorCaption),
                        QString::fromUtf8(iniProblem), QMessageBox::Ok);
        box.exec();
        SetQueryUI(nullptr);
        return kExitFailed;
    }

    int rc = kExitFailed;
    {
        TfrmKVG form(ini, ProgramDataDir());
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
        // Without a tray icon the window is the only way in: show it at start.
        if (args.ShowWindow || !QSystemTrayIcon::isSystemTrayAvailable()) form.ShowSettings();

        QApplication::setApplicationDisplayName(QString::fromUtf8(kCollectorCaption));
        rc = app.exec();
    }
    SetQueryUI(nullptr);
    return rc;
}
