#pragma once
// "Geräteeinstellungen": the device's own parameters, its clock and its sampling presets, a thin
// window over TEinstellungLogic. Controls are set from the logic's view with their signals
// quiet; only the user's own changes reach the logic.

#include "einstellunglogic.h"
#include "plxform.h"

#include <QPointer>

#include <array>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTimeEdit;
class QTreeWidget;
class TTextSpinner;
class TfrPresetChannel;

class TfEinstellung : public TPLXForm {
    Q_OBJECT
public:
    explicit TfEinstellung(TAppContext& context, QWidget* parent = nullptr);
    ~TfEinstellung() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    TEinstellungLogic& Logic() { return FLogic; }
    // File dialogs and questions of the preset files as the operator sees them.
    TPresetFileDialogs DefaultFileDialogs();
    TTextSpinner* Spinner(TEinstellChoice c) const { return FSpinners.at(static_cast<size_t>(c)); }
    QCheckBox* CheckBox(TEinstellCheck c) const { return FChecks.at(static_cast<size_t>(c)); }
    TfrPresetChannel* ChannelFrame(int c) const { return FFrames.at(static_cast<size_t>(c)); }

    QTabWidget* pcPages = nullptr;
    QWidget* tsSystem = nullptr;
    QWidget* tsProbenahme = nullptr;
    QWidget* tsPreset = nullptr;
    TTextSpinner* tsDisplay = nullptr;
    TTextSpinner* tsSprache = nullptr;
    TTextSpinner* tsZeitformat = nullptr;
    TTextSpinner* tsDatumsformat = nullptr;
    TTextSpinner* tsTouchlautstaerke = nullptr;
    TTextSpinner* tsSignallautstaerke = nullptr;
    TTextSpinner* tsStandby = nullptr;
    TTextSpinner* tsAnzVoreinstell = nullptr;
    TTextSpinner* tsMaxIntervalle = nullptr;
    QCheckBox* cbTonEnde = nullptr;
    QCheckBox* cbTonAlarm = nullptr;
    QCheckBox* cbWarnAkku = nullptr;
    QCheckBox* cbDaylightSavingTime = nullptr;
    QGroupBox* rgAbschaltung = nullptr;
    std::array<QRadioButton*, kAbschaltungCount> rbAbschaltung{};
    QDateEdit* dtpIMDate = nullptr;
    QTimeEdit* dtpIMTime = nullptr;
    QPushButton* btnUhrRead = nullptr;
    QPushButton* btnUhrSet = nullptr;
    QPushButton* btnUhrSync = nullptr;
    QLineEdit* eSLTemp = nullptr;
    QLineEdit* eSLDruck = nullptr;
    QPushButton* btnSLSet = nullptr;
    QPushButton* btnAct = nullptr;
    QLabel* lblLegend = nullptr;
    QTreeWidget* lvPreset = nullptr;
    QLineEdit* ePresNr = nullptr;
    QLineEdit* ePresBez = nullptr;
    QLineEdit* ePresLogIntervall = nullptr;
    QPushButton* btnPresSave = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnImport = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    QWidget* BuildSystemPage();
    QWidget* BuildSamplingPage();
    QWidget* BuildPresetPage();
    void Retranslate();
    void ShowView();
    void ShowPresets();
    void ShowPage(const TPresetPage& page);
    // Gives a refused field the focus back once, after the current focus change has finished,
    // and only while the focus is still in this window.
    void Refocus(QWidget* field);
    // The check of a field that is left; false when refused.
    bool CheckField(QLineEdit* field);
    TEinstellField FieldOf(QObject* watched) const;

    TEinstellungLogic FLogic;
    std::array<TTextSpinner*, chChoiceCount> FSpinners{};
    std::array<QCheckBox*, ckCheckCount> FChecks{};
    std::array<TfrPresetChannel*, 2> FFrames{};
    std::array<QLabel*, chChoiceCount> FSpinnerCaption{};
    QList<QLineEdit*> FCheckedFields;
    bool FRefocusing = false;

    QGroupBox* gbAnzeige = nullptr;
    QGroupBox* gbTouch = nullptr;
    QGroupBox* gbSignal = nullptr;
    QGroupBox* gbStandby = nullptr;
    QGroupBox* gbUhr = nullptr;
    QGroupBox* gbVoreinstell = nullptr;
    QGroupBox* gbIntervall = nullptr;
    QGroupBox* gbStandardliter = nullptr;
    QLabel* FDateCaption = nullptr;
    QLabel* FTimeCaption = nullptr;
    QLabel* FTempCaption = nullptr;
    QLabel* FDruckCaption = nullptr;
    QLabel* FTempUnit = nullptr;
    QLabel* FDruckUnit = nullptr;
    QLabel* FNrCaption = nullptr;
    QLabel* FBezCaption = nullptr;
    QLabel* FLogCaption = nullptr;
};
