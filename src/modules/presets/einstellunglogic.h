#pragma once
// What the device settings window does, without widgets: the device parameters with their read
// and set commands, the periodic read-out, the clock, the standard-litre conditions, and the
// preset editor (list, page fields, two channel editors, saving). TfEinstellung shows the view
// kept here and hands the user's actions to it; tests drive it headless. Values that arrive
// from the device only change the view; set commands go out only from the user's actions.
// User-interface thread only.

#include "appcontext.h"
#include "presetchannel.h"
#include "presetmodel.h"
#include "textspinner.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <ctime>
#include <functional>
#include <optional>

// Tags of this window's orders.
constexpr int kEinstellTagRead = 1;
constexpr int kEinstellTagSet = 5;

// Choice controls, in the order of the arrays below.
enum TEinstellChoice : int {
    chDisplay,           // tsDisplay
    chSprache,           // tsSprache
    chZeitformat,        // tsZeitformat
    chDatumsformat,      // tsDatumsformat
    chTouchlautstaerke,  // tsTouchlautstaerke
    chSignallautstaerke, // tsSignallautstaerke
    chStandby,           // tsStandby
    chAnzVoreinstell,    // tsAnzVoreinstell
    chMaxIntervalle,     // tsMaxIntervalle
    chChoiceCount
};

enum TEinstellCheck : int {
    ckTonEnde,             // cbTonEnde
    ckTonAlarm,            // cbTonAlarm
    ckWarnAkku,            // cbWarnAkku
    ckDaylightSavingTime,  // cbDaylightSavingTime
    ckCheckCount
};

// The dialogs of the preset files; the window shows real ones, tests answer them.
struct TPresetFileDialogs {
    // The chosen file, empty when cancelled. proposed is a full path in dir.
    std::function<QString(const QString& title, const QString& dir, const QString& filter, const QString& proposed)>
        saveFile;
    std::function<QString(const QString& title, const QString& dir, const QString& filter)> openFile;
    std::function<bool(const QString& question)> askYesNo;
    std::function<void(const QString& text)> error;
};

// The fields a read-out must not overwrite while the operator is in them.
enum class TEinstellField { None, SLTemp, SLDruck, IMDate, IMTime };

constexpr int kAbschaltungCount = 4;

struct TEinstellControls {
    bool Online = false;   // btnAct, tsSprache, clock buttons, tone boxes, tsDisplay,
                           // tsAnzVoreinstell, rgAbschaltung, btnImport
    bool PresSave = false;  // btnPresSave
    bool Export = false;    // btnExport
    bool DaylightVisible = false;
    bool operator==(const TEinstellControls&) const = default;
};

// One row of lvPreset: "Nr.", "Bezeichnung", five columns per channel, "Loginterv.".
constexpr int kPresetColumns = 13;
struct TPresetRow {
    int Number = 0;
    QStringList Cells;
};

// The page fields of the selected preset.
struct TPresetPage {
    QString Nr;
    QString Bez;
    QString LogIntervall;
    bool Enabled = false;
};

class TEinstellungLogic : public QObject {
    Q_OBJECT
public:
    static constexpr int kReadoutIntervalMs = 60000;

    using TClock = std::function<qint64()>;             // milliseconds, monotonic
    using TWallClock = std::function<QDateTime()>;      // the PC's local date and time
    using TDaylight = std::function<int(std::time_t)>;  // > 0 daylight, 0 standard, < 0 unknown

    explicit TEinstellungLogic(TAppContext& context, QObject* parent = nullptr);

    void SetClock(TClock clock);
    void SetWallClock(TWallClock clock);
    void SetDaylight(TDaylight daylight);

    // Module operations, called by the window.
    void FormShow();
    void SetOnOffLine(int online);
    // visible: the window is shown (read-outs happen only then).
    void TimerEvent(int interval, bool visible = true);
    void RXData(int status, int tag, const QString& data);
    void SwitchLanguage();

    // User actions of the first two pages.
    void btnActClick();
    void ChoiceStepped(TEinstellChoice choice, int position);
    void rgAbschaltungClick(int index);
    void CheckClicked(TEinstellCheck check, bool checked);
    void btnUhrReadClick();
    void btnUhrSetClick();
    void btnUhrSyncClick();
    void btnSLSetClick();
    // The pickers and standard-litre fields as the operator changed them.
    void SetIMDate(const QDate& date) { FIMDate = date; }
    void SetIMTime(const QTime& time) { FIMTime = time; }
    void SetSLTemp(const QString& text) { FSLTemp = text; }
    void SetSLDruck(const QString& text) { FSLDruck = text; }
    // Key filter of eSLTemp / eSLDruck: the character to insert, nothing for a swallowed key.
    // text and cursor are the field's before the key.
    std::optional<QChar> SLKey(TEinstellField field, QChar key, const QString& text, int cursor);
    // The field that has the keyboard focus (None when another control has it).
    void SetFocusField(TEinstellField field) { FFocus = field; }

    // Preset files.
    void SetFileDialogs(TPresetFileDialogs dialogs) { FDialogs = std::move(dialogs); }
    // The PC's regional notation the files are written in (decimal separator).
    void SetFileLocale(const QLocale& locale) { FFileLocale = locale; }
    // Alarm lines of refused imports; the system messages by default.
    void SetSysMessage(std::function<void(const QString& text, bool alarm)> show) { FSysMessage = std::move(show); }
    void btnExportClick();
    void btnImportClick();
    // "Sarvik2-Voreinstellungen (*.svk);;Alle Dateien (*)", translated.
    static QString PresetFileFilter();

    // Preset editor.
    void SelectRow(int row);  // -1 = nothing
    bool ePresLogIntervallExit(const QString& text);
    void SetPresBez(const QString& text) { FPage.Bez = text; }
    void SetPresLogIntervall(const QString& text) { FPage.LogIntervall = text; }
    void btnPresSaveClick();
    void ShowPresetRow(int index);
    TPresetChannelLogic& Channel(int c) { return *FChannels.at(static_cast<size_t>(c)); }

    // The view.
    const TTextSpinnerModel& Choice(TEinstellChoice c) const { return FChoices.at(static_cast<size_t>(c)); }
    int Abschaltung() const { return FAbschaltung; }
    bool Check(TEinstellCheck c) const { return FChecks.at(static_cast<size_t>(c)); }
    QString SLTemp() const { return FSLTemp; }
    QString SLDruck() const { return FSLDruck; }
    QDate IMDate() const { return FIMDate; }
    QTime IMTime() const { return FIMTime; }
    const TEinstellControls& Controls() const { return FControls; }
    const TPresetTable& Presets() const { return FPresets; }
    const QList<TPresetRow>& Rows() const { return FRows; }
    // Rows up to the device's number of presets are drawn green.
    bool RowInUse(int row) const;
    int SelectedRow() const { return FSelected; }
    const TPresetPage& Page() const { return FPage; }
    const QStringList& LanguageNames() const { return FLanguageNames; }
    // The texts of rgAbschaltung, translated.
    static QStringList AbschaltungTexts();

Q_SIGNALS:
    void Status(const QString& text, bool alarm);
    // Parameters, clock, standard litres, enabled states.
    void ViewChanged();
    // Rows, selection or page fields of the preset editor.
    void PresetsChanged();
    // Show the "System" page.
    void ShowFirstPage();

private:
    qint64 now() const { return FClock(); }
    void send(const QString& command, int tag);
    bool sendSet(const QString& command);
    void readout();
    void fetchPresets();
    void applyChoice(TEinstellChoice c, int value);
    void updateControls();
    void buildChoiceTexts();
    void onLanguageName(const QString& data);
    void copyEditorsBack();
    int tableIndexOfRow(int row) const;

    TAppContext& FContext;
    TClock FClock;
    TWallClock FWallClock;
    TDaylight FDaylight;

    bool FOnline = false;
    bool FFullReadout = true;
    qint64 FNextReadout = 0;

    std::array<TTextSpinnerModel, chChoiceCount> FChoices;
    int FAbschaltung = -1;
    std::array<bool, ckCheckCount> FChecks{};
    QString FSLTemp;
    QString FSLDruck;
    QDate FIMDate;
    QTime FIMTime;
    TEinstellField FFocus = TEinstellField::None;
    QStringList FLanguageNames;
    bool FDeviceLanguages = false;  // tsSprache shows the device's names
    TEinstellControls FControls;

    TPresetFileDialogs FDialogs;
    QLocale FFileLocale = QLocale::system();
    std::function<void(const QString& text, bool alarm)> FSysMessage;

    TPresetTable FPresets;
    QList<TPresetRow> FRows;
    int FSelected = -1;
    TPresetPage FPage;
    std::array<TPresetChannelLogic*, 2> FChannels{};
};

// The PC's daylight state at t from the C library: tm_isdst of the local time, -1 on failure.
int LocalDaylightState(std::time_t t);
