// The collector's settings window TfrmKVG, its tray icon and its timer. The
// window owns the query component and the whole sampling state for the run.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvgClock.h"
#include "KvgOdbcDb.h"
#include "KvgScheduler.h"
#include "KvgStatFiles.h"
#include "KvgSysInfo.h"
#include "ODBCCall.h"

class QAction;
class QComboBox;
class QMenu;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class TIniData;
class TTestPanel;

inline constexpr const char* kCollectorCaption = "KLV BackGroundProcess";
inline constexpr int kCollectorWidth = 417;
inline constexpr int kCollectorHeight = 385;

class TfrmKVG : public QWidget {
    Q_OBJECT
public:
    // dataDir: where the statistics files go (the program directory's KLVDAT).
    TfrmKVG(TIniData& ini, std::string dataDir, QWidget* parent = nullptr);
    ~TfrmKVG() override;

    TQueryODBC qryODBC{"qryODBC"};

    void InitCollector();
    void SettingsToControls();
    void ControlsToSettings();
    bool ConfirmTerminate();
    void RefreshCheckPoint();
    // The logon at start was refused (reason logged): the ticks connect later.
    void StartDisconnected(const std::string& reason);
    // Shows the window, also from the tray or another start with --settings.
    void ShowSettings();

    TCollectorScheduler& Scheduler() { return *scheduler_; }
    TMemoryUsageUnit& MemoryUnit() { return *mu_; }
    TOperatingRateUnit& OperatingRateUnit() { return *or_; }
    const std::string& DataDir() const { return dataDir_; }

    // Seams: the Yes/No question and the end of the application.
    std::function<bool(const QString& text)> ConfirmFn;
    std::function<void()> QuitFn;

    // Controls (named as the handlers refer to them).
    QTabWidget* pageCtrl = nullptr;
    QWidget* tabSet = nullptr;
    QWidget* tabMemory = nullptr;
    QWidget* tabOperat = nullptr;
    TTestPanel* tabTest = nullptr;
    QSpinBox* sedtKpDays = nullptr;
    QComboBox* cmbMemSP = nullptr;
    QComboBox* cmbMemLB = nullptr;
    QComboBox* cmbCPU = nullptr;
    QComboBox* cmbFMem = nullptr;
    QComboBox* cmbPgO = nullptr;
    QPushButton* btnTerminate = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnSave = nullptr;
    QTimer* evtTimer = nullptr;
    QMenu* popTrayMenu = nullptr;
    QAction* pmenuSet = nullptr;
    QAction* pmenuTerminate = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;

public slots:
    void evtTimerTimer();
    void prcOnChange();
    void btnOKClick();
    void btnCancelClick();
    void btnSaveClick();
    void btnTerminateClick();
    void pmenuSetClick();
    void pmenuTerminateClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildControls();
    void AddTrayIcon();
    QComboBox* IntervalCombo(int sampler) const;

    TIniData& ini_;
    std::string dataDir_;
    int oracleVersion_ = 0;
    bool terminating_ = false;
    TSystemClock clock_;
    THostSysInfo host_;
    std::unique_ptr<TOdbcCollectorDb> db_;
    std::unique_ptr<TStatFiles> files_;
    std::unique_ptr<TMemoryUsageUnit> mu_;
    std::unique_ptr<TOperatingRateUnit> or_;
    std::unique_ptr<TCollectorScheduler> scheduler_;
};
