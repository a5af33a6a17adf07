#pragma once
// "Fernsteuerung": the operator's window over TBedienLogic. It shows the logic's view and hands
// every user action to it; nothing here talks to the device.

#include "bedienlogic.h"
#include "plxform.h"

#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTimeEdit;
class QToolButton;
class TSarvikChart;

class TfBedien : public TPLXForm {
    Q_OBJECT
public:
    using TQuestionBox = std::function<bool(QWidget* parent, const QString& question)>;

    explicit TfBedien(TAppContext& context, QWidget* parent = nullptr);
    ~TfBedien() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replaces the Yes/No box of "Ausschalten" (tests run headless); empty restores the default.
    void SetQuestionBox(TQuestionBox box);

    TBedienLogic& Logic() { return FLogic; }

    QComboBox* cbPreset = nullptr;
    QPushButton* btnAktPresets = nullptr;
    std::array<QLabel*, 2> lblPresVol{};
    std::array<QLabel*, 2> lblPresFlow{};
    std::array<QLabel*, 2> lblPresDauer{};
    std::array<QLabel*, 2> lblPresVerz{};
    std::array<QLabel*, 2> lblPresLogInterv{};
    std::array<QLabel*, 2> imgIntervalMode{};
    std::array<QLabel*, 2> imgFlowMonitor{};
    std::array<QLabel*, 2> lblSampVol{};
    std::array<QLabel*, 2> lblSampFlow{};
    std::array<QLabel*, 2> lblSampStatus{};
    QCheckBox* cbDiagramm = nullptr;  // shows or hides the run chart
    TSarvikChart* chtFluss = nullptr;
    QAction* actStart = nullptr;
    QAction* actStop = nullptr;
    QAction* actAusschalten = nullptr;
    QGroupBox* gbTestlauf = nullptr;
    QLineEdit* eAnzStarts = nullptr;
    QLineEdit* eAktNr = nullptr;
    QCheckBox* cbDatenSpeichern = nullptr;
    QLineEdit* eDatenIntervall = nullptr;
    QLineEdit* eLogdat = nullptr;
    QTimeEdit* dtpMaxStartZeit = nullptr;
    QTimeEdit* dtpWartezeit = nullptr;
    QPushButton* btnTeststart = nullptr;
    QPushButton* btnPause = nullptr;
    QPushButton* btnAbbruch = nullptr;
    QLabel* panTestStatus = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void Retranslate();
    void ShowView();
    void ShowPresetList();
    void PushTestRunInput();
    void ShowRunChart();

    TBedienLogic FLogic;
    TQuestionBox FQuestionBox;
    QGroupBox* gbPreset = nullptr;
    QGroupBox* gbRun = nullptr;
    std::array<QLabel*, 2> FPresetChannelCaption{};
    std::array<QLabel*, 2> FRunChannelCaption{};
    std::array<QLabel*, 5> FPresetRowCaption{};
    std::array<QLabel*, 3> FRunRowCaption{};
    std::array<QLabel*, 6> FTestCaption{};
    std::array<QToolButton*, 3> FActionButtons{};
};
