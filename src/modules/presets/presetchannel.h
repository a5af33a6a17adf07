#pragma once
// One channel of the preset editor without widgets: the channel record being edited, the texts
// and states its fields show, and what leaving a field or clicking a box does. TfrPresetChannel
// shows it; tests drive it headless. User-interface thread only.

#include "presetmodel.h"

#include <QChar>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Ranges of the channel fields.
constexpr double kMinVolume = 0.5;
constexpr double kMaxVolume = 5000.0;
constexpr double kMinFlow = 0.05;
constexpr qint64 kMaxDelayS = 86400;
constexpr qint64 kMinSetTimeS = 1500;
constexpr qint64 kMaxSetTimeS = 3600000;

// Sampling time of one channel record: the set time in interval mode, else iTime (seconds).
qint64 ChannelSampleTime(const TSampleSet& set);
// iTime from the record's volume and flow at the precision the device keeps (0 without flow).
qint32 ComputeSampleTime(const TSampleSet& set);

struct TChannelEditView {
    QString Vol;
    QString Flow;
    QString Time;
    QString Delay;
    bool Active = false;        // cbActive ticked
    bool IntervalMode = false;  // cbIntervalMode ticked
    bool FlowMonitor = false;   // cbFlowMonitor ticked
    int VolType = 0;            // radio button; 3 selects none
    QString VolUnit;
    QString FlowUnit;
    bool ActiveEnabled = false;
    bool FieldsEnabled = false;
    bool TimeEnabled = false;
    bool operator==(const TChannelEditView&) const = default;
};

class TPresetChannelLogic : public QObject {
    Q_OBJECT
public:
    using TMessage = std::function<void(const QString& text, bool alarm)>;

    explicit TPresetChannelLogic(QObject* parent = nullptr);

    // The owning window's status line; an empty text clears it.
    TMessage FShowMessage;
    // The flow limit of the connected device.
    std::function<double()> FMaxFlow;

    void LoadData(const TSampleSet& set);
    void ClearData();

    void cbActiveClick(bool checked);
    void cbFlowMonitorClick(bool checked);
    void cbIntervalModeClick(bool checked);
    void rbVolTypeClick(int volType);

    // Leaving a field with text: false when the text is refused (the field keeps the focus).
    bool eVolExit(const QString& text);
    bool eFlowExit(const QString& text);
    bool eDelayExit(const QString& text);
    bool eTimeExit(const QString& text);
    // The field's text as typed (kept while the field is refused).
    void SetText(QString TChannelEditView::*field, const QString& text);

    // Key filter of eVol and eFlow: the character to insert, nothing for a refused key.
    std::optional<QChar> FloatKey(QChar key);

    const TSampleSet& SampleSet() const { return FSampleSet; }
    const TChannelEditView& View() const { return FView; }
    // Re-translates the unit labels.
    void SwitchLanguage();

Q_SIGNALS:
    void ViewChanged();

private:
    void message(const QString& text, bool alarm);
    bool floatExit(const QString& text, bool volume);
    void showTime();
    void showUnits();
    void showEnabled();

    TSampleSet FSampleSet;
    TChannelEditView FView;
    bool FLoaded = false;
};
