// The login dialog's keys, validation and look, and the command-line split.
#include "KvLogin.h"
#include "KvLoginForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class LoginDialogTest : public ::testing::Test {
protected:
    TfrmLIN dialog;
    int beeps = 0;

    void SetUp() override {
        dialog.OnBeep = [this] { ++beeps; };
        dialog.SetDataSources({"ORA_PROD", "ORA_TEST"});
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        dialog.edtUser->setFocus();
    }
};

}  // namespace

TEST_F(LoginDialogTest, OpensWithFirstSourceSelectedAndTheAgreedLook) {
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("ﾃﾞｰﾀﾍﾞｰｽへのﾛｸﾞｲﾝ"));
    EXPECT_EQ(dialog.size(), QSize(295, 183));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dialog.cbxDSNs->currentText(), "ORA_PROD");
    EXPECT_FALSE(dialog.cbxDSNs->isEditable());
    EXPECT_EQ(dialog.edtPass->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.edtPass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                 dialog.edtPass),
              '*');
    EXPECT_EQ(dialog.cmdCNL->text(), QString::fromUtf8("ｷｬﾝｾﾙ"));
    EXPECT_TRUE(dialog.edtUser->hasFocus());
}

TEST_F(LoginDialogTest, TabOrderRunsUserPasswordSourceOkCancel) {
    QWidget* w = dialog.edtUser;
    std::vector<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
        order.push_back(w);
    }
    EXPECT_EQ(order, (std::vector<QWidget*>{dialog.edtPass, dialog.cbxDSNs, dialog.cmdOK, dialog.cmdCNL}));
}

TEST_F(LoginDialogTest, EnterMovesTheFocusWithoutClosing) {
    QTest::keyClick(dialog.cbxDSNs, Qt::Key_Return);
    EXPECT_TRUE(dialog.edtUser->hasFocus());
    QTest::keyClick(dialog.edtUser, Qt::Key_Return);
    EXPECT_TRUE(dialog.edtPass->hasFocus());
    QTest::keyClick(dialog.edtPass, Qt::Key_Enter);
    EXPECT_TRUE(dialog.cmdOK->hasFocus());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(beeps, 0);
    // On the focused button Enter presses it.
    QTest::keyClick(dialog.cmdOK, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(LoginDialogTest, EscapeCancelsFromAnyField) {
    QTest::keyClicks(dialog.edtUser, "scott");
    QTest::keyClick(dialog.edtUser, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(LoginDialogTest, OkWithoutDataSourceBeepsAndStaysOpen) {
    dialog.SetDataSources({});
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.cbxDSNs->hasFocus());
}

TEST_F(LoginDialogTest, OkAcceptsEmptyUserAndKeepsThePasswordUntrimmed) {
    QTest::keyClicks(dialog.edtPass, " pw ");
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.User(), "");
    EXPECT_EQ(dialog.Password(), " pw ");
    EXPECT_EQ(dialog.DataSource(), "ORA_PROD");
}

TEST_F(LoginDialogTest, CancelButtonRejects) {
    QTest::mouseClick(dialog.cmdCNL, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(CommandLineCredentials, SplitAtTheFirstSlash) {
    CommandLineCredentials c = SplitCredentials(" system/manager ");
    EXPECT_EQ(c.User, "system");
    EXPECT_EQ(c.Password, "manager");
    c = SplitCredentials("sys/pa/ss");
    EXPECT_EQ(c.User, "sys");
    EXPECT_EQ(c.Password, "pa/ss");
}

TEST(CommandLineCredentials, BothEmptyUnlessBothPartsArePresent) {
    for (const char* arg : {"", "system", "/manager", "system/", "/"}) {
        const CommandLineCredentials c = SplitCredentials(arg);
        EXPECT_EQ(c.User, "") << arg;
        EXPECT_EQ(c.Password, "") << arg;
    }
}

TEST(CommandLineCredentials, LengthLimits) {
    const CommandLineCredentials c = SplitCredentials("u/" + std::string(60, 'p'));
    EXPECT_EQ(c.Password, std::string(50, 'p'));
    // Only the first 100 characters of the argument count.
    const CommandLineCredentials cut = SplitCredentials(std::string(100, 'u') + "/pw");
    EXPECT_EQ(cut.User, "");
    const CommandLineCredentials edge = SplitCredentials(std::string(98, 'u') + "/pw");
    EXPECT_EQ(edge.User, std::string(98, 'u'));
    EXPECT_EQ(edge.Password, "p");
}

TEST(OracleDataSourceFilter, SortsWithoutCaseAndKeepsOracleDrivers) {
    const std::vector<TConfigDSN::Entry> sources = {
        {"zeta", "Oracle 19 ODBC driver"},
        {"Beta", "/opt/x/libmyoraclewire.so"},
        {"alpha", "PostgreSQL Unicode"},
        {"Alpha2", "ORACLE in OraHome"},
        {"gamma", "SQLite3"},
    };
    EXPECT_EQ(OracleDataSourceNames(sources), (std::vector<std::string>{"Alpha2", "Beta", "zeta"}));
    EXPECT_TRUE(OracleDataSourceNames({}).empty());
}
