// Every message box and confirmation of the viewer goes through this seam,
// so that tests without a screen can read the texts and give the answers.
#pragma once

#include <QString>

#include "ODBCCall.h"

class TViewerDialogs {
public:
    virtual ~TViewerDialogs() = default;
    virtual void Message(const QString& text);          // plain box, OK
    virtual void Error(const QString& text);            // error icon, OK
    virtual bool Confirm(const QString& text);          // question, Yes/No; true = Yes
    virtual bool ConfirmWarning(const QString& text);   // warning, Yes/No; true = Yes
};

// Installs the process-wide dialogs (nullptr restores the message boxes).
void SetViewerDialogs(TViewerDialogs* dialogs);
TViewerDialogs& ViewerDialogs();

// The query component's wait cursor and messages, routed to the seam above.
class TViewerQueryUI : public TQueryUI {
public:
    void BeginWait() override;
    void EndWait() override;
    void ShowMessage(const std::string& text) override;
    bool Confirm(const std::string& text) override;
};
