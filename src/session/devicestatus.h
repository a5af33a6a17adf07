#pragma once
// The main window's own device handling (client 0): the polling schedule, the status answers,
// the alarm evaluation and the values the status area shows. No widgets: the main window and
// the status area are told through the hooks below.

#include "appcontext.h"
#include "wireformat.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>

// What the device state panel shows.
struct TStateDisplay {
    bool Visible = false;      // state label and panel
    QString Text;
    QColor Back;               // invalid: the window colour
    QColor Font;               // invalid: the text colour stays as it is
    bool FontDefault = false;  // text colour back to the window text colour
    bool SamplingLed = false;  // yellow LED
    bool operator==(const TStateDisplay&) const = default;
};

// The values of the status area, ready to show.
struct TStatusValues {
    QString SerialNo;
    QString FirmwareText;
    QString TotalRunTime;
    QString TotalVolume;
    QString BatteryCaption;
    QString BatteryText;
    int BatteryPosition = 0;  // 0 .. 100
    QColor BatteryColour;     // invalid until the first level arrives
    QString Temperature;
    QString TemperatureUnit;
    QString Humidity;
    QString HumidityUnit;
    QString Pressure;
    bool AlarmLed = false;
    bool operator==(const TStatusValues&) const = default;
};

// The texts of the pending alarm code and error word 1 bits, in display order.
QStringList DeviceErrorTexts(const TDeviceState& device);

class TDeviceStatus {
public:
    explicit TDeviceStatus(TAppContext& context);
    TDeviceStatus(const TDeviceStatus&) = delete;
    TDeviceStatus& operator=(const TDeviceStatus&) = delete;

    // Every tick of the main window's status timer; the schedule counts these intervals.
    void Tick(int intervalMs);

    // Called by the main window's SetOnOffline after it stored the new online flag.
    void OnOnline();
    void OnOffline();

    // Clears the serial number and, if online, asks for it ("GIN").
    void RequestDeviceInfo();

    // A finished order of client 0 (or a module's answer that carries the device status).
    void ProcessStatusAnswer(const TOrder& order);
    void ProcessStatusAnswer(int status, int tag, const QString& data);

    // Parses a TID answer into the device values; true when the firmware version is readable.
    bool ParseDeviceInfo(const QString& data);

    void ShowDeviceState();
    void ShowErrorPanel(bool show);
    // The alarm texts joined with CR LF (multiline) or ", ".
    QString DeviceErrorText(bool multiline) const;

    // "SarvikControl", with the serial number in front while online and known.
    QString Caption() const;
    // Re-translates the texts this object made (state text, battery caption).
    void SwitchLanguage();

    const TStatusValues& Values() const { return FValues; }
    const TStateDisplay& StateDisplay() const { return FState; }
    bool ErrorPanelVisible() const { return FErrorPanelVisible; }
    const QStringList& ErrorPanelLines() const { return FErrorPanelLines; }
    bool AlarmShown() const { return FAlarmShown; }

    // Hooks, set by the main window and the status area.
    std::function<void(bool online)> FSetOnline;                      // SetOnOffline(true)
    std::function<void(const QString& text, bool alarm)> FShowSysMessage;
    std::function<void(bool show, const QStringList& lines)> FShowErrorPanel;
    std::function<void(const TStateDisplay&)> FShowDeviceState;
    std::function<void(const TStatusValues&)> FValuesChanged;
    std::function<void(const QString& caption)> FCaptionChanged;
    std::function<int()> FQueuedOrderCount;  // orders waiting in the worker's queue

private:
    void processTIN(const QString& data);
    void processTIE(const QString& data);
    void processTIO(const QString& data);
    void processTIB(const QString& data);
    void processTIS(const QString& data);
    void evaluateAlarm();
    void applyStateCode(int code);
    void updateBatteryCaption();
    void publishValues();
    void publishState();
    void publishCaption();

    TAppContext& FContext;
    TStatusValues FValues;
    TStatusValues FPublishedValues;
    bool FValuesPublished = false;
    TStateDisplay FState;
    TStateDisplay FPublishedState;
    bool FStatePublished = false;

    qint64 FClockMs = 0;
    qint64 FFastMarkMs = 0;  // "GIS"/"GID"
    qint64 FSlowMarkMs = 0;  // "GIO"/"GIB"/"GIE"

    int FLastShownState = 255;
    int FBatteryLevel = -1;
    bool FAlarmShown = false;
    bool FErrorPanelVisible = false;
    QStringList FErrorPanelLines;
    int FPrevAlarmCode = 0;
    int FPrevErrorWord1 = 255;
    int FPrevErrorWord2 = 255;
    int FPrevErrorWord3 = 255;
};
