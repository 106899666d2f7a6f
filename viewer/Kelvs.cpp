// Program entry of the viewer.
#include <QApplication>

#include <cstring>

#include "KelvsU1.h"
#include "KvLogin.h"
#include "KvPlatform.h"
#include "KvViewerDialogs.h"

int main(int argc, char* argv[]) {
    // One viewer per user: a second start ends at once, without a word.
    TSingleInstance instance("Kelvs");
    if (instance.AlreadyRunning()) return 0;

    // Qt takes its own options (-platform, -style, ...) out of argv first;
    // the first argument left is "user/password" or nothing of ours.
    QApplication app(argc, argv);
    QApplication::setApplicationName(kWindowCaption);
    QApplication::setFont(ViewerFont());
    if (argc > 1) {
        SetCommandLineCredentials(SplitCredentials(argv[1]));
        // Only credentials are wiped from the process listing; one that is
        // malformed ("/secret") may still hold a password.
        if (std::strchr(argv[1], '/')) ScrubArgument(argv[1]);
    }
    TViewerQueryUI queryUi;
    SetQueryUI(&queryUi);

    constexpr int kExitNotStarted = 1;  // no usable settings file, or no login
    int result = kExitNotStarted;
    {
        TfrmKVS window;
        if (window.StartUp()) {
            window.show();
            result = QApplication::exec();
        }
    }
    SetQueryUI(nullptr);
    return result;
}
