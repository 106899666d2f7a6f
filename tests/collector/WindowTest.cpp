// The settings window: controls from the settings file, the button rules,
// and the settings written back at the end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "KelvgU1.h"
#include "KvCom.h"
#include "KvIni.h"
#include "KvgTestPanel.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/kelvg-window-XXXXXX";
        dir_ = mkdtemp(tmpl);
        oldCwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        SetErrLogDir(dir_.string());
    }
    void TearDown() override
    {
        form_.reset();
        std::filesystem::current_path(oldCwd_);
        SetErrLogDir("");
        std::filesystem::remove_all(dir_);
    }
    void Start(const std::string& iniText)
    {
        std::ofstream(dir_ / "Kelv.ini", std::ios::binary) << iniText;
        ASSERT_TRUE(ini_.Load("Kelv.ini"));
        form_ = std::make_unique<TfrmKVG>(ini_, (dir_ / "KLVDAT").string());
        form_->QuitFn = [this] { ++quits_; };
        form_->ConfirmFn = [this](const QString& text) {
            questions_.push_back(text);
            return answer_;
        };
        form_->InitCollector();
    }
    const TCollectorSettings& Settings() { return form_->Scheduler().Settings; }

    std::filesystem::path dir_, oldCwd_;
    TIniData ini_;
    std::unique_ptr<TfrmKVG> form_;
    bool answer_ = false;
    int quits_ = 0;
    QStringList questions_;
};

const char* const kIni =
    ";test\r\nCMNKD=5000\r\nMUSDP=45\r\nMULGB=4000\r\nORCUR=0\r\nORFRM=3600\r\nORPGO=300\r\n;END\r\n";

}  // namespace

TEST_F(WindowTest, StartUpShowsNormalisedSettingsOnTheFirstTab)
{
    Start(kIni);
    EXPECT_EQ(form_->windowTitle(), QString("KLV BackGroundProcess"));
    EXPECT_EQ(form_->size(), QSize(417, 385));
    EXPECT_EQ(form_->sedtKpDays->value(), 999);
    EXPECT_EQ(form_->cmbMemSP->currentText(), QString::fromUtf8("  1分"));
    EXPECT_EQ(form_->cmbMemLB->currentText(), QString::fromUtf8("  5秒"));
    EXPECT_EQ(form_->cmbCPU->currentText(), QString::fromUtf8("  5秒"));
    EXPECT_EQ(form_->cmbFMem->currentText(), QString::fromUtf8("1時間"));
    EXPECT_EQ(form_->cmbMemSP->count(), 7);
    EXPECT_EQ(Settings().CMNKD, 999);
    EXPECT_EQ(Settings().Interval[samMUSDP], 60);
    EXPECT_EQ(Settings().Interval[samMULGB], 5);
    EXPECT_EQ(Settings().Interval[samORPGO], 300);
    EXPECT_EQ(form_->pageCtrl->currentWidget(), form_->tabSet);
    EXPECT_FALSE(form_->pageCtrl->isTabVisible(form_->pageCtrl->indexOf(form_->tabTest)));
    EXPECT_TRUE(form_->evtTimer->isActive());
    EXPECT_EQ(form_->evtTimer->interval(), 8000);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "KLVDAT"));
    auto* edit = form_->sedtKpDays->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
}

TEST_F(WindowTest, ApplyIsEnabledByTheListsOnlyAndOkTakesTheSpinField)
{
    Start("CMNKD=0\r\n");
    EXPECT_EQ(form_->sedtKpDays->value(), 100);
    form_->show();
    EXPECT_FALSE(form_->btnSave->isEnabled());
    form_->sedtKpDays->stepBy(1);
    EXPECT_FALSE(form_->btnSave->isEnabled());
    form_->cmbMemLB->setCurrentIndex(3);
    emit form_->cmbMemLB->activated(3);
    EXPECT_TRUE(form_->btnSave->isEnabled());
    form_->btnSave->click();
    EXPECT_TRUE(form_->btnSave->isEnabled());
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(Settings().Interval[samMULGB], 300);
    EXPECT_EQ(Settings().CMNKD, 101);
    form_->sedtKpDays->stepBy(1);
    form_->btnOK->click();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(Settings().CMNKD, 102);
}

TEST_F(WindowTest, CancelRestoresTheControls)
{
    Start("CMNKD=30\r\nMUSDP=600\r\n");
    form_->show();
    form_->sedtKpDays->stepBy(5);
    form_->cmbMemSP->setCurrentIndex(0);
    form_->btnCancel->click();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(form_->sedtKpDays->value(), 30);
    EXPECT_EQ(form_->cmbMemSP->currentIndex(), 4);
    EXPECT_EQ(Settings().Interval[samMUSDP], 600);
}

TEST_F(WindowTest, AnsweringNoKeepsTheCollectorRunning)
{
    Start("CMNKD=30\r\n");
    form_->show();
    answer_ = false;
    form_->close();
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(quits_, 0);
    ASSERT_EQ(questions_.size(), 1);
    EXPECT_EQ(questions_[0],
              QString::fromUtf8("KLV BackGroundProcess を終了しますか？\r\n終了すると、データベースのパフォーマンスに関する\r\nデータのロギングが行われません。"));
    EXPECT_TRUE(form_->evtTimer->isActive());
}

TEST_F(WindowTest, UnchangedSettingsAreNotWrittenBack)
{
    const std::string text = "CMNKD=30\r\nMUSDP=5\r\nMULGB=5\r\nORCUR=5\r\nORFRM=5\r\nORPGO=5\r\n";
    Start(text);
    answer_ = true;
    form_->btnTerminate->click();
    EXPECT_EQ(quits_, 1);
    EXPECT_EQ(ReadAll((dir_ / "Kelv.ini").string()), text);
}

TEST_F(WindowTest, ChangedSettingIsWrittenBackAtTheEnd)
{
    Start("CMNKD=30\r\nMUSDP=5\r\nMULGB=5\r\nORCUR=5\r\nORFRM=5\r\nORPGO=5\r\n");
    form_->cmbCPU->setCurrentIndex(6);
    form_->btnOK->click();
    EXPECT_EQ(ReadAll((dir_ / "Kelv.ini").string()).find("3600"), std::string::npos)
        << "nothing is written before the end";
    answer_ = true;
    EXPECT_TRUE(form_->ConfirmTerminate());
    TIniData back;
    ASSERT_TRUE(back.Load((dir_ / "Kelv.ini").string()));
    EXPECT_EQ(back.GetInt("ORCUR"), 3600);
    EXPECT_EQ(back.GetInt("CMNKD"), 30);
    EXPECT_FALSE(form_->evtTimer->isActive());
}

TEST_F(WindowTest, MaintenanceMemoClearsDashLines)
{
    Start("CMNKD=30\r\n");
    form_->tabTest->memoTest->setPlainText("- a\nkeep\n-b\nkeep too");
    form_->tabTest->btnClearMinusClick();
    EXPECT_EQ(form_->tabTest->memoTest->toPlainText(), QString("keep\nkeep too"));
}

int main(int argc, char** argv)
{
    // Test discovery runs without the test environment: never look for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
