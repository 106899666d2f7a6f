// Program entry of the collector Kelvg.
#include <QApplication>
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
const char* const kMissingIniText = "設定ファイル [ %1 ] がありません。";
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

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

bool LogOn(TfrmKVG& form, const TCollectorArgs& args)
{
    if (args.Mode != TCollectorArgs::UseCredentials) {
        // The dialog path has a user in front of it: its failures are boxes.
        TQtQueryUI dialogUI;
        SetQueryUI(&dialogUI);
        const bool ok = Login(form.qryODBC);
        SetQueryUI(&HiddenQueryUI());
        return ok;
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
    return CheckConnection(form.qryODBC);  // a failed check ends silently
}
}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> rawArgs(argv + 1, argv + argc);
    const TCollectorArgs args = ParseCollectorArgs(rawArgs, std::getenv(kPasswordEnvVar));
    ScrubPasswordSources(argc, argv);
    if (args.Mode == TCollectorArgs::Invalid) {
        std::cerr << kUsage;
        return kExitUsage;
    }

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the collector lives on in the tray

    TSingleInstance instance(kMutexName);
    if (instance.AlreadyRunning()) {
        if (args.ShowWindow) TSettingsSignal::RequestShow();
        return 0;  // another collector runs: end silently
    }

    SetQueryUI(&HiddenQueryUI());

    TIniData ini;
    if (!ini.Load(kIniFileName)) {
        ini.Close();
        QMessageBox::warning(nullptr, QString::fromUtf8(kCollectorCaption),
                             QString::fromUtf8(kMissingIniText).arg(kIniFileName));
        return kExitFailed;
    }

    int rc = kExitFailed;
    {
        TfrmKVG form(ini, ProgramDataDir());
        if (!LogOn(form, args)) {
            SetQueryUI(nullptr);
            return kExitFailed;
        }
        form.InitCollector();
        form.RefreshCheckPoint();

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
