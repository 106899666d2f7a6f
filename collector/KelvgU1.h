// The collector's settings window TfrmKVG, its tray icon and its timer. The
// window owns the collector's engine (query component and the whole
// sampling state) for the run.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "KvgEngine.h"

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
    TCollectorEngine engine_;  // first: qryODBC below refers into it

public:
    // dataDir: where the statistics files go (the program directory's KLVDAT).
    TfrmKVG(TIniData& ini, std::string dataDir, QWidget* parent = nullptr);
    ~TfrmKVG() override;

    TQueryODBC& qryODBC;

    void InitCollector();
    void SettingsToControls();
    void ControlsToSettings();
    bool ConfirmTerminate();
    // Ends without asking (the session ends, a stop signal): kept writes get
    // their last try; the settings file is left as it is.
    void EndWithoutConfirm();
    void RefreshCheckPoint();
    // The logon at start was refused (reason logged): the ticks connect later.
    void StartDisconnected(const std::string& reason);
    // Shows the window, also from the tray or another start with --settings.
    void ShowSettings();

    TCollectorEngine& Engine() { return engine_; }
    TCollectorScheduler& Scheduler() { return engine_.Scheduler(); }
    TMemoryUsageUnit& MemoryUnit() { return engine_.MemoryUnit(); }
    TOperatingRateUnit& OperatingRateUnit() { return engine_.OperatingRateUnit(); }
    const std::string& DataDir() const { return engine_.DataDir(); }

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
    void FinishAndQuit();

    TIniData& ini_;
    bool terminating_ = false;
};
