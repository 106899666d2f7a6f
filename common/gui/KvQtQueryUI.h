// The Qt face of the query component's user-interface seam: wait cursor,
// message boxes and Yes/No questions.
#pragma once

#include "ODBCCall.h"

class TQtQueryUI : public TQueryUI {
public:
    void BeginWait() override;
    void EndWait() override;
    void ShowMessage(const std::string& text) override;
    bool Confirm(const std::string& text) override;
};
