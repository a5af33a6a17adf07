#pragma once
// "Firmwareaktualisierung": the window over TUpdateMachine. It picks the file, shows the
// coloured log, the progress and the buttons, and drives the machine with the main window's
// ticks, its own 1 ms timer during the transfer and every completed answer of the bootloader.

#include "plxform.h"
#include "updatemachine.h"

#include <QTimer>

#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTextEdit;

class TfUpdate : public TPLXForm {
    Q_OBJECT
public:
    // (parent, title, start directory or file, filter) -> chosen file, empty when cancelled.
    using TFileDialog = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
    using TClock = std::function<qint64()>;

    // env: the program's side (link, discovery, port); the window adds log and view.
    // blockComplete registers the handler the serial layer calls when a counted answer is
    // complete (empty handler: unregister).
    TfUpdate(TAppContext& context, TUpdateEnv env,
             std::function<void(std::function<void()>)> blockComplete = {}, QWidget* parent = nullptr);
    ~TfUpdate() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;
    bool CloseQuery() override;

    void AddLogLine(const QString& text, TLogColour colour);

    void btnSelectFileClick();
    void btnStartClick();
    void btnCancelClick();
    void btnCloseClick();

    void SetFileDialog(TFileDialog dialog) { FFileDialog = std::move(dialog); }
    void SetClock(TClock clock);
    TUpdateMachine& Machine() { return FMachine; }
    // The own 1 ms timer drives the run.
    bool FastTimerActive() const { return FFastTimer.isActive() && FFastTimer.interval() == 1; }

    QLabel* lblFile = nullptr;
    QLineEdit* eFileName = nullptr;
    QPushButton* btnSelectFile = nullptr;
    QTextEdit* reLog = nullptr;
    QProgressBar* pbProgress = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnClose = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TUpdateEnv withWindow(TUpdateEnv env);
    void BuildWidgets();
    void ShowView();
    void Step();

    TUpdateMachine FMachine;
    std::function<void(std::function<void()>)> FBlockComplete;
    TFileDialog FFileDialog;
    TClock FClock;
    QTimer FFastTimer;
    bool FStepQueued = false;
    bool FBusyShown = false;
};
