// Program entry of the viewer.
#include <QApplication>

#include "KelvsU1.h"
#include "KvLogin.h"
#include "KvPlatform.h"
#include "KvViewerDialogs.h"

int main(int argc, char* argv[]) {
    // One viewer per user: a second start ends at once, without a word.
    TSingleInstance instance("Kelvs");
    if (instance.AlreadyRunning()) return 0;

    // "user/password" is taken, then wiped from the process listing.
    CommandLineCredentials credentials;
    if (argc > 1) {
        credentials = SplitCredentials(argv[1]);
        ScrubArgument(argv[1]);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kWindowCaption);
    QApplication::setFont(ViewerFont());
    SetCommandLineCredentials(credentials);
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
