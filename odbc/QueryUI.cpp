// Default user-interface seam: no cursor, messages to stderr, "Yes" to every
// question, so the component runs unattended without a display.
#include "ODBCCall.h"

#include <iostream>

namespace {
TQueryUI& defaultUI() {
    static TQueryUI ui;
    return ui;
}
TQueryUI* installedUI = nullptr;
}  // namespace

void TQueryUI::ShowMessage(const std::string& text) { std::cerr << text << '\n'; }

bool TQueryUI::Confirm(const std::string& text) {
    std::cerr << text << '\n';
    return true;
}

void SetQueryUI(TQueryUI* ui) { installedUI = ui; }

TQueryUI& QueryUI() { return installedUI ? *installedUI : defaultUI(); }
