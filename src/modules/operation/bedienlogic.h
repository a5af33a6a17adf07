#pragma once
// What the operation window does, without widgets: the preset list of the device, start, stop
// and switch-off with their checks, the run display of both channels and the service test run.
// The window TfBedien shows the view this object keeps and forwards user actions to it; tests
// drive it headless. User-interface thread only.

#include "appcontext.h"
#include "chartdata.h"
#include "presetmodel.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>

// Tags of this window's orders.
constexpr int kBedienTagDefault = 1;  // GSP, SAS, SAO
constexpr int kBedienTagStop = 2;     // SAH
constexpr int kBedienTagTotals = 3;   // GIO, GIB of the test run's data line
constexpr int kBedienTagMeasure = 9;  // GMQ

// Test run states.
enum TTestRunState : int {
    trsIdle = 0,
    trsRequested = 5,
    trsAlarmWait = 7,
    trsStarting = 10,
    trsStarted = 15,       // start sent, waiting for the device to sample
    trsSampling = 20,      // waiting for the run to end
    trsRecording = 25,     // waiting for the totals of the data line
    trsAfterSampling = 30, // "Wartezeit nach Probenahme"
};

// One channel of the run display.
struct TChannelView {
    QString Status;
    QString Volume;
    QString Flow;
    bool operator==(const TChannelView&) const = default;
};

// One channel of the preset display.
struct TPresetChannelView {
    QString Volume;
    QString Flow;
    QString Duration;
    QString Delay;
    QString LogInterval;
    bool IntervalMode = false;  // picture visible
    bool FlowMonitor = false;   // picture visible
    bool operator==(const TPresetChannelView&) const = default;
};

struct TBedienControls {
    bool RefreshEnabled = false;  // btnAktPresets
    bool ActionsEnabled = false;  // Start, Stop, Ausschalten
    bool TestStartEnabled = false;
    bool TestPauseEnabled = false;
    bool TestAbortEnabled = false;
};

// Panel colours of the test run.
inline const QColor kTestYellow{255, 255, 0};
inline const QColor kTestOlive{128, 128, 0};
inline const QColor kTestRed{255, 0, 0};
inline const QColor kTestGreen{0, 128, 0};

// What the operator sets up for a test run, as the fields hold it.
struct TTestRunInput {
    QString AnzStarts;      // "Vorwahl Testläufe"
    bool DatenSpeichern = false;
    QString DatenIntervall; // seconds
    QString Logdat;         // data file name without extension
    int MaxStartS = 60;     // "Wartezeit bis Motor läuft"
    int WartezeitS = 10;    // "Wartezeit nach Probenahme"
};

class TBedienLogic : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 500;
    static constexpr int kAlarmFirstStopMs = 3000;
    static constexpr int kAlarmRepeatStopMs = 10000;
    // The device state arrives with the status polling about once a second; a shorter wait
    // for the start would end every test run before the device could report it.
    static constexpr int kMinStartWaitMs = 3000;
    // Points per channel the run chart keeps; a longer run is thinned evenly.
    static constexpr int kRunChartMaxPoints = 1200;

    using TClock = std::function<qint64()>;  // milliseconds, monotonic
    using TQuestion = std::function<bool(const QString& question)>;

    explicit TBedienLogic(TAppContext& context, QObject* parent = nullptr);

    // Replaces the clock (tests); empty restores the steady clock.
    void SetClock(TClock clock);
    // The Yes/No question before switching off.
    void SetQuestion(TQuestion question) { FQuestion = std::move(question); }

    // Module operations, called by the window.
    void FormShow();
    void SetOnOffLine(int online);
    // open: the window is open, minimised or not (the run display is polled only then).
    void TimerEvent(int interval, bool open = true);
    void RXData(int status, int tag, const QString& data);
    // Rebuilds the texts that come from translations.
    void SwitchLanguage();

    // User actions.
    void btnAktPresetsClick();
    void cbPresetSelect(int index);  // -1 = nothing
    void actStartExecute();
    void actStopExecute();
    void actAusschaltenExecute();
    void btnTeststartClick();
    void btnPauseClick();
    void btnAbbruchClick();
    // The text of eDatenIntervall when it loses the focus; returns what the field shows then.
    QString eDatenIntervallExit(const QString& text);
    // Key filter of eLogdat: false (and an alarm in the status line) for a refused character.
    bool FileCharOnly(QChar key);
    static bool IsFileSpecialChar(QChar c);
    void SetTestRunInput(const TTestRunInput& input) { FInput = input; }
    const TTestRunInput& TestRunInput() const { return FInput; }

    void ShowChannelStates();
    void ShowPresetDisplay();

    // The view.
    const TPresetTable& Presets() const { return FPresets; }
    const QStringList& PresetEntries() const { return FEntries; }
    // Preset number of each entry.
    const QList<int>& EntryPresets() const { return FEntryPresets; }
    int SelectedIndex() const { return FSelected; }
    const std::array<TChannelView, 2>& Channels() const { return FChannels; }
    const std::array<TPresetChannelView, 2>& PresetView() const { return FPresetView; }
    const TBedienControls& Controls() const { return FControls; }
    bool TestGroupVisible() const { return FContext.ServiceMode; }
    int TestRunState() const { return FTestRunState; }
    bool TestAbort() const { return FAbort; }
    bool TestPause() const { return FPause; }
    int TestCycle() const { return FCycle; }
    QString TestPanelText() const { return FPanelText; }
    QColor TestPanelColour() const { return FPanelColour; }
    QString TestDataFile() const { return FDataFile; }
    // The run chart: both channels' flow over the run in minutes and their set flows.
    const TChartData& RunChart() const { return FRunChart; }
    const std::array<TThinnedSeries, 2>& RunFlows() const { return FRunFlow; }
    bool ChartVisible() const { return FChartVisible; }
    // The operator shows or hides the chart; kept in the settings.
    void SetChartVisible(bool visible);

Q_SIGNALS:
    // A text for the window's status line.
    void Status(const QString& text, bool alarm);
    // The selection list was rebuilt (entries or selection).
    void PresetListChanged();
    // Anything else of the view changed.
    void ViewChanged();
    void RunChartChanged();

private:
    qint64 now() const { return FClock(); }
    void send(const QString& command, int tag);
    // The answer word of the sent order that this delivery finishes, or empty when it is none
    // of ours; drops the orders that the link dropped without an answer.
    QString takeInFlight(int status, int tag, const QString& word);
    void rememberSelection();
    void updateControls();
    void restoreSelection();
    void onPresetAnswer(int status, const QString& data);
    void onMeasureAnswer(const QString& data);
    void onTotalsAnswer(int status, const QString& word, const QString& data);
    // The reason (also shown in the status line) when the start was refused locally, else empty.
    QString start();
    void testRunTick();
    void startTestRun();
    void setPanel(const QString& text, const QColor& colour);
    void testLog(const QString& text);
    void endTestRun(const QString& text, bool failure = false);
    void finishCycle();
    void writeDataLine();
    int channelState(int channel) const;
    int channelErrorWord(int channel) const;
    // Starts the chart of a run when the device begins sampling; ends it when it stops.
    void trackRun();
    void beginRun();
    void addRunPoints(const std::array<double, 2>& flow, const std::array<bool, 2>& flowOk,
                      const std::array<int, 2>& volType);
    void buildRunChart();

    TAppContext& FContext;
    TClock FClock;
    TQuestion FQuestion;

    // Orders sent and not yet back, oldest first: tag and the answer word they expect. A failed
    // order comes back with an empty payload; only this tells what it was.
    struct TInFlight {
        int Tag;
        QString Word;
    };
    std::deque<TInFlight> FInFlight;

    TPresetTable FPresets;
    QStringList FEntries;
    QList<int> FEntryPresets;
    int FSelected = -1;
    int FRemembered = -1;
    int FRefreshAnswers = 0;  // TSP answers since the last refresh
    bool FRestorePending = false;
    qint64 FPollTime = 0;

    std::array<TChannelView, 2> FChannels;
    std::array<TPresetChannelView, 2> FPresetView;
    TBedienControls FControls;

    TTestRunInput FInput;
    int FTestRunState = trsIdle;
    bool FAbort = false;
    bool FPause = false;
    qint64 FDeadline = 0;
    int FCycle = 0;
    int FStarts = 0;
    bool FSaving = false;
    QString FDataFile;
    QString FPanelText;
    QColor FPanelColour;
    // The cycle's largest volume per channel from TMQ; the totals asked for its data line.
    std::array<double, 2> FCycleVolume{};
    QString FTotalVolume;
    QString FBatteryVoltage;
    bool FTotalsIO = false;
    bool FTotalsIB = false;

    // The run chart. The preset of a start goes with the run it starts; a run begun at the
    // device has no known set flows.
    int FStartingPreset = 0;  // SAS sent
    int FStartedPreset = 0;   // TAS confirmed, not yet taken by a run
    bool FRunning = false;
    bool FRunPresetKnown = false;
    qint64 FRunStart = 0;
    std::array<TThinnedSeries, 2> FRunFlow{TThinnedSeries(kRunChartMaxPoints), TThinnedSeries(kRunChartMaxPoints)};
    std::array<bool, 2> FRunChannel{};    // drawn
    std::array<double, 2> FRunSetFlow{};  // < 0: unknown
    std::array<int, 2> FRunVolType{-1, -1};
    bool FChartVisible = true;
    TChartData FRunChart;
};
