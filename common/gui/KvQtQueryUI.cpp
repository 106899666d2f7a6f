// Wait cursor and message boxes of the query component on Qt.
#include "KvQtQueryUI.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

}  // namespace

void TQtQueryUI::BeginWait() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TQtQueryUI::EndWait() {
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TQtQueryUI::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, DialogParent());
    box.exec();
}

bool TQtQueryUI::Confirm(const std::string& text) {
    return QMessageBox::question(DialogParent(), QApplication::applicationDisplayName(),
                                 QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
