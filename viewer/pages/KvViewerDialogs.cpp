#include "KvViewerDialogs.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace {
TViewerDialogs g_messageBoxes;
TViewerDialogs* g_dialogs = &g_messageBoxes;

QWidget* DialogParent() { return QApplication::activeWindow(); }

QString Title() { return QApplication::applicationName(); }
}  // namespace

void TViewerDialogs::Message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, DialogParent());
    box.exec();
}

void TViewerDialogs::Error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, Title(), text, QMessageBox::Ok, DialogParent());
    box.exec();
}

bool TViewerDialogs::Confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::Yes | QMessageBox::No, DialogParent());
    return box.exec() == QMessageBox::Yes;
}

bool TViewerDialogs::ConfirmWarning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, Title(), text, QMessageBox::Yes | QMessageBox::No, DialogParent());
    return box.exec() == QMessageBox::Yes;
}

void SetViewerDialogs(TViewerDialogs* dialogs) { g_dialogs = dialogs ? dialogs : &g_messageBoxes; }
TViewerDialogs& ViewerDialogs() { return *g_dialogs; }

void TViewerQueryUI::BeginWait() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
void TViewerQueryUI::EndWait() { QGuiApplication::restoreOverrideCursor(); }
void TViewerQueryUI::ShowMessage(const std::string& text) {
    ViewerDialogs().Message(QString::fromStdString(text));
}
bool TViewerQueryUI::Confirm(const std::string& text) {
    return ViewerDialogs().Confirm(QString::fromStdString(text));
}
