// The Qt face of the query component's seam: wait cursor and boxes.
#include "KvQtQueryUI.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Acts on the message box once it runs its modal loop.
void WhenBoxShows(std::function<void(QMessageBox&)> action) {
    QTimer::singleShot(0, [action] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        action(*box);
    });
}

}  // namespace

TEST(QtQueryUI, WaitCursorNestsAndIsRestored) {
    TQtQueryUI ui;
    ui.BeginWait();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.BeginWait();
    ui.EndWait();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    ui.EndWait();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.EndWait();  // one too many does no harm
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtQueryUI, MessageBoxShowsTheTextWithOk) {
    TQtQueryUI ui;
    QString seen;
    WhenBoxShows([&](QMessageBox& box) {
        seen = box.text();
        box.button(QMessageBox::Ok)->click();
    });
    ui.ShowMessage("ログインできません。");
    EXPECT_EQ(seen, QString::fromUtf8("ログインできません。"));
}

TEST(QtQueryUI, ConfirmAnswersYesOrNo) {
    TQtQueryUI ui;
    WhenBoxShows([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(ui.Confirm("OK?"));
    WhenBoxShows([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    EXPECT_FALSE(ui.Confirm("OK?"));
}
