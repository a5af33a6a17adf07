#include "devicestatus.h"

#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"

#include <algorithm>

namespace {

constexpr qint64 kFastPollMs = 1000;
constexpr qint64 kSlowPollMs = 6000;
// Previous alarm values after going offline: differ from anything the device sends, so a
// pending alarm is reported again after reconnection.
constexpr int kPrevAfterOffline = 99;
constexpr int kNoStateShown = 255;
const QString kOffline = QStringLiteral("???");
const QString kCaption = QStringLiteral("SarvikControl");

bool field(const QString& data, int n, QString& token)
{
    int index = n;
    return GetToken(data, QStringLiteral(";"), token, index);
}

QString fieldOrEmpty(const QString& data, int n)
{
    QString token;
    return field(data, n, token) ? token : QString();
}

bool intField(const QString& data, int n, int& value)
{
    QString token;
    if (!field(data, n, token))
        return false;
    bool ok = false;
    const int v = token.trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

// The device writes decimals with "."; the user reads them in the display language.
QString displayDecimal(QString text)
{
    text.replace(QLatin1Char('.'), FmtDisplay().DecimalSeparator);
    return text;
}

struct TStateEntry {
    int Code;
    const char* Text;
    QColor Back;  // invalid: window colour
    QColor Font;  // invalid: unchanged
    bool Sampling;
};

const TStateEntry* findState(int code)
{
    static const TStateEntry table[] = {
        {0, "", QColor(), QColor(), false},
        {1, TrNoop("Initialisierung"), QColor(255, 255, 255), QColor(128, 0, 128), false},
        {2, TrNoop("Konfiguration"), QColor(0, 0, 255), QColor(255, 255, 255), false},
        {4, TrNoop("Bereit"), QColor(255, 255, 255), QColor(0, 128, 0), false},
        {8, TrNoop("Probenahme"), QColor(255, 255, 0), QColor(0, 0, 255), true},
        {16, TrNoop("Bereitschaft"), QColor(128, 128, 0), QColor(255, 255, 255), false},
        {32, TrNoop("Servicemodus"), QColor(255, 0, 0), QColor(255, 255, 255), false},
        {64, TrNoop("Ausschaltvorgang"), QColor(255, 255, 255), QColor(255, 0, 0), false},
        {128, TrNoop("Firmwareaktualisierung"), QColor(255, 255, 255), QColor(255, 0, 0), false},
    };
    for (const TStateEntry& e : table) {
        if (e.Code == code)
            return &e;
    }
    return nullptr;
}

QColor batteryColour(int level)
{
    if (level <= 0)
        return QColor(255, 0, 0);
    if (level <= 2)
        return QColor(248, 159, 71);
    if (level == 3)
        return QColor(0, 128, 0);
    return QColor(0, 255, 0);
}

}  // namespace

QStringList DeviceErrorTexts(const TDeviceState& device)
{
    struct TBitText {
        int Bit;
        const char* Text;
    };
    // Display order of the device's own documentation: each flow sensor before its drift.
    static const TBitText bits[] = {
        {0, TrNoop("Sensordaten fehlerhaft")},
        {1, TrNoop("Barometrischer Sensor gestört")},
        {3, TrNoop("5-Volt-Versorgung gestört")},
        {4, TrNoop("Justagedaten Peripherie fehlerhaft")},
        {5, TrNoop("Konfigurationsdaten fehlerhaft")},
        {6, TrNoop("Variable Daten im Backup-RAM fehlerhaft")},
        {7, TrNoop("Probenahme-Pointer im Backup-RAM fehelrhaft")},
        {8, TrNoop("Systemdaten fehlerhaft")},
        {9, TrNoop("Sensordaten Kanal 1 fehlerhaft")},
        {10, TrNoop("Sensordaten Kanal 2 fehlerhaft")},
        {11, TrNoop("Kein Temperatursensor verfügbar")},
        {12, TrNoop("Backupbatterie-Spannung zu gering")},
        {13, TrNoop("Keine SD-Karte erkannt")},
        {14, TrNoop("Akku entladen")},
        {15, TrNoop("Strömungssensor 1 gestört")},
        {18, TrNoop("Drift des Nullwerts auf Kanal 1")},
        {16, TrNoop("Strömungssensor 2 gestört")},
        {19, TrNoop("Drift des Nullwerts auf Kanal 2")},
    };
    QStringList texts;
    if (device.AlarmCode == 2)
        texts << Tr("Luftstrom blockiert");
    else if (device.AlarmCode == 3)
        texts << Tr("Motorstörung");
    for (const TBitText& b : bits) {
        if (device.ErrorWord1 & (1 << b.Bit))
            texts << Tr(b.Text);
    }
    return texts;
}

TDeviceStatus::TDeviceStatus(TAppContext& context) : FContext(context)
{
    FValues.SerialNo = kOffline;
    FValues.FirmwareText = kOffline;
    FValues.TotalVolume = kOffline;
    FValues.Temperature = kOffline;
    FValues.Humidity = kOffline;
    FValues.Pressure = kOffline;
    FValues.BatteryCaption = Tr("Akku");
    FState.Text = kOffline;
    FState.FontDefault = true;
}

void TDeviceStatus::Tick(int intervalMs)
{
    FClockMs += intervalMs;
    const bool online = FContext.Online;
    if (online && FClockMs >= FSlowMarkMs) {
        SendOrder(ciMain, QStringLiteral("GIO"), 0);
        SendOrder(ciMain, QStringLiteral("GIB"), 0);
        SendOrder(ciMain, QStringLiteral("GIE"), 0);
        FSlowMarkMs = FClockMs + kSlowPollMs;
    }
    if (FClockMs >= FFastMarkMs) {
        if (online) {
            SendOrder(ciMain, QStringLiteral("GIS"), 0);
            SendOrder(ciMain, QStringLiteral("GID"), 0);
        } else {
            // Offline the poll only knocks: it must not pile up behind other orders.
            const int queued = FQueuedOrderCount ? FQueuedOrderCount() : 0;
            if (queued == 0 && !LinkHalted())
                SendOrder(ciMain, QStringLiteral("GID"), 0);
        }
        FFastMarkMs = FClockMs + kFastPollMs;
    }
}

void TDeviceStatus::OnOnline()
{
    RequestDeviceInfo();
    FSlowMarkMs = FClockMs;  // the slow queries go out with the next tick
    FState.Visible = true;
    publishState();
    publishValues();
    publishCaption();
}

void TDeviceStatus::OnOffline()
{
    TDeviceState& d = FContext.Device;
    FValues.SerialNo = kOffline;
    FValues.FirmwareText = kOffline;
    FValues.TotalVolume = kOffline;
    FValues.Temperature = kOffline;
    FValues.Humidity = kOffline;
    FValues.Pressure = kOffline;
    FValues.TotalRunTime.clear();
    FValues.BatteryText.clear();
    FValues.BatteryPosition = 0;
    FValues.AlarmLed = false;
    FAlarmShown = false;

    FState.Text = kOffline;
    FState.Back = QColor();
    FState.Font = QColor();
    FState.FontDefault = true;
    // Device state 0 is not sampling; the LED must not keep blinking for a lost device.
    FState.SamplingLed = false;
    d.Sampling = false;
    d.DeviceState = 0;
    FLastShownState = kNoStateShown;
    d.Channel1State = 0;
    d.Channel2State = 0;

    if (FErrorPanelVisible)
        ShowErrorPanel(false);
    // Reset whether or not the panel was still open: the user may have closed it while the
    // alarm was pending, and the alarm must be reported again after reconnection.
    d.AlarmCode = 0;
    d.ErrorWord1 = 0;
    d.ErrorWord2 = 0;
    d.ErrorWord3 = 0;
    d.AlarmActive = false;
    FPrevAlarmCode = kPrevAfterOffline;
    FPrevErrorWord1 = kPrevAfterOffline;
    FPrevErrorWord2 = kPrevAfterOffline;
    FPrevErrorWord3 = kPrevAfterOffline;

    publishState();
    publishValues();
    publishCaption();
}

void TDeviceStatus::RequestDeviceInfo()
{
    FContext.Device.SerialNo.clear();
    FValues.SerialNo.clear();
    publishValues();
    publishCaption();
    if (FContext.Online)
        SendOrder(ciMain, QStringLiteral("GIN"), 0);
}

void TDeviceStatus::ProcessStatusAnswer(const TOrder& order)
{
    ProcessStatusAnswer(order.Status, order.TXTag, FromWire(order.RXData));
}

void TDeviceStatus::ProcessStatusAnswer(int status, int /*tag*/, const QString& data)
{
    if (status != kOrderDone)
        return;
    const QStringView word = QStringView(data).left(3);
    if (word == u"TID") {
        // Online the TID poll is a keep-alive only; its failure is what counts.
        if (!FContext.Online && ParseDeviceInfo(data)) {
            if (FSetOnline) {
                FSetOnline(true);
            } else {
                FContext.Online = true;
                OnOnline();
            }
        }
    } else if (word == u"TIN") {
        processTIN(data);
    } else if (word == u"TIE") {
        processTIE(data);
    } else if (word == u"TIO") {
        processTIO(data);
    } else if (word == u"TIB") {
        processTIB(data);
    } else if (word == u"TIS") {
        processTIS(data);
    }
}

bool TDeviceStatus::ParseDeviceInfo(const QString& data)
{
    if (fieldOrEmpty(data, 1) != u"TID")
        return false;
    TDeviceState& d = FContext.Device;

    const QString version = fieldOrEmpty(data, 3);
    const QString dot = QStringLiteral(".");
    QString part;
    int index = 1;
    bool majorOk = false;
    bool minorOk = false;
    int major = 0;
    int minor = 0;
    int build = -1;
    if (GetToken(version, dot, part, index))
        major = part.trimmed().toInt(&majorOk);
    index = 2;
    if (GetToken(version, dot, part, index))
        minor = part.trimmed().toInt(&minorOk);
    index = 3;
    if (GetToken(version, dot, part, index)) {
        bool ok = false;
        const int b = part.trimmed().toInt(&ok);
        if (ok)
            build = b;
    }
    const bool success = majorOk && minorOk;

    d.HardwareVersion = fieldOrEmpty(data, 4);
    int jumpers = 0;
    if (!intField(data, 5, jumpers))
        jumpers = 0;
    d.Jumper[0] = jumpers & 1;
    d.Jumper[1] = jumpers & 2;
    intField(data, 6, d.LanguageCount);
    int variants = 0;
    if (!intField(data, 7, variants))
        variants = 0;
    for (int i = 0; i < int(d.Variant.size()); ++i)
        d.Variant[i] = variants & (1 << i);

    if (success) {
        d.FirmwareMajor = major;
        d.FirmwareMinor = minor;
        d.FirmwareBuild = build;
        const int v = major * 10000 + minor * 100 + build;
        std::uint8_t features = 0;
        if (d.Variant[1])
            features |= dfFlow2l;
        if (v > 30299)
            features |= dfDiffPressure | dfExtraBarometer;
        if (v > 30399)
            features |= dfServiceCounters;
        if (v > 30599)
            features |= dfDaylightSaving;
        d.DeviceFeatures = features;
        FState.Visible = true;
    } else {
        d.FirmwareMajor = 0;
        d.FirmwareMinor = 0;
        d.FirmwareBuild = 0;
        d.DeviceFeatures = 0;
    }
    // A device without build number shows "3.3", not "3.3.-1".
    d.FirmwareText = d.FirmwareBuild < 0
                         ? QString::asprintf("%d.%d", d.FirmwareMajor, d.FirmwareMinor)
                         : QString::asprintf("%d.%d.%d", d.FirmwareMajor, d.FirmwareMinor, d.FirmwareBuild);
    FValues.FirmwareText = d.FirmwareText;
    publishState();
    publishValues();
    return success;
}

void TDeviceStatus::processTIN(const QString& data)
{
    FContext.Device.SerialNo = fieldOrEmpty(data, 2);
    FValues.SerialNo = FContext.Device.SerialNo;
    publishValues();
    publishCaption();
}

void TDeviceStatus::processTIE(const QString& data)
{
    int kind = 0;
    if (!intField(data, 2, kind) || kind > 1) {
        FValues.Temperature.clear();
        FValues.TemperatureUnit.clear();
        FValues.Humidity.clear();
        FValues.HumidityUnit.clear();
    } else {
        FValues.Temperature = displayDecimal(fieldOrEmpty(data, 3));
        FValues.TemperatureUnit = fieldOrEmpty(data, 4);
        if (kind > 0) {  // temperature-only sensor
            FValues.Humidity.clear();
            FValues.HumidityUnit.clear();
        } else {
            FValues.Humidity = displayDecimal(fieldOrEmpty(data, 5));
            FValues.HumidityUnit = fieldOrEmpty(data, 6);
        }
    }
    int barometer = 0;
    if (intField(data, 7, barometer) && barometer > 0)
        FValues.Pressure = displayDecimal(fieldOrEmpty(data, 8));
    else
        FValues.Pressure.clear();
    publishValues();
}

void TDeviceStatus::processTIO(const QString& data)
{
    TDeviceState& d = FContext.Device;
    d.TotalRunTime = fieldOrEmpty(data, 2);
    FValues.TotalRunTime = d.TotalRunTime;
    int volume = 0;
    if (intField(data, 5, volume)) {
        d.TotalVolume = volume;
        FValues.TotalVolume = QString::asprintf("%5d", volume);
    } else {
        FValues.TotalVolume.clear();
    }
    publishValues();
}

void TDeviceStatus::processTIB(const QString& data)
{
    TDeviceState& d = FContext.Device;
    QString voltage;
    if (field(data, 2, voltage)) {
        double v = 0.0;
        if (FmtDevice().ParseFloat(voltage, v))
            d.BatteryVoltage = v;
        FValues.BatteryText = displayDecimal(voltage) + QStringLiteral(" V");
    } else {
        FValues.BatteryText.clear();
    }
    int level = 0;
    // Levels outside 0 .. 5 are not the device's; keep the last colour and caption.
    if (intField(data, 4, level) && level >= 0 && level <= 5) {
        d.BatteryLevel = level;
        FBatteryLevel = level;
        FValues.BatteryColour = batteryColour(level);
        updateBatteryCaption();
    }
    int percent = 0;
    if (!intField(data, 5, percent))
        percent = 0;
    d.BatteryPercent = percent;
    FValues.BatteryPosition = std::clamp(percent, 0, 100);
    publishValues();
}

void TDeviceStatus::processTIS(const QString& data)
{
    TDeviceState& d = FContext.Device;
    intField(data, 2, d.DeviceState);
    ShowDeviceState();
    intField(data, 3, d.ErrorWord1);
    intField(data, 4, d.ErrorWord2);
    intField(data, 5, d.ErrorWord3);
    intField(data, 6, d.AlarmCode);
    intField(data, 7, d.Channel1State);
    intField(data, 8, d.Channel2State);
    evaluateAlarm();
}

void TDeviceStatus::evaluateAlarm()
{
    TDeviceState& d = FContext.Device;
    if (d.AlarmCode == FPrevAlarmCode && d.ErrorWord1 == FPrevErrorWord1 && d.ErrorWord2 == FPrevErrorWord2
        && d.ErrorWord3 == FPrevErrorWord3)
        return;
    if (d.AlarmCode > 0 || d.ErrorWord1 > 0 || d.ErrorWord2 > 0 || d.ErrorWord3 > 0) {
        d.AlarmActive = true;
        if (!FAlarmShown) {
            FAlarmShown = true;
            FValues.AlarmLed = true;
            publishValues();
            // Channel error words have no text: the LED and the panel show them, a blank
            // system message would not.
            const QString text = DeviceErrorText(false);
            if (!text.isEmpty() && FShowSysMessage)
                FShowSysMessage(text, true);
            ShowErrorPanel(true);
        }
    } else {
        d.AlarmActive = false;
        if (FAlarmShown) {
            FAlarmShown = false;
            FValues.AlarmLed = false;
            publishValues();
            if (FShowSysMessage)
                FShowSysMessage(Tr("Alarm quittiert"), false);
        }
    }
    FPrevAlarmCode = d.AlarmCode;
    FPrevErrorWord1 = d.ErrorWord1;
    FPrevErrorWord2 = d.ErrorWord2;
    FPrevErrorWord3 = d.ErrorWord3;
}

void TDeviceStatus::ShowDeviceState()
{
    FState.Visible = true;
    const int code = FContext.Device.DeviceState;
    if (code != FLastShownState)
        applyStateCode(code);
    publishState();
}

void TDeviceStatus::applyStateCode(int code)
{
    const TStateEntry* e = findState(code);
    if (!e)
        return;  // unknown codes leave the panel as it is
    FState.Text = *e->Text ? Tr(e->Text) : QString();
    FState.Back = e->Back;
    FState.Font = e->Font;
    FState.FontDefault = false;
    FState.SamplingLed = e->Sampling;
    FContext.Device.Sampling = e->Sampling;
    FLastShownState = code;
}

void TDeviceStatus::ShowErrorPanel(bool show)
{
    if (show)
        FErrorPanelLines = DeviceErrorTexts(FContext.Device);
    FErrorPanelVisible = show;
    if (FShowErrorPanel)
        FShowErrorPanel(show, FErrorPanelLines);
}

QString TDeviceStatus::DeviceErrorText(bool multiline) const
{
    return DeviceErrorTexts(FContext.Device).join(multiline ? QStringLiteral("\r\n") : QStringLiteral(", "));
}

QString TDeviceStatus::Caption() const
{
    if (FContext.Online && !FContext.Device.SerialNo.isEmpty())
        return FContext.Device.SerialNo + QStringLiteral(" - ") + kCaption;
    return kCaption;
}

void TDeviceStatus::SwitchLanguage()
{
    if (FLastShownState != kNoStateShown) {
        const int code = FLastShownState;
        FLastShownState = kNoStateShown;
        applyStateCode(code);
    }
    updateBatteryCaption();
    publishState();
    publishValues();
}

void TDeviceStatus::updateBatteryCaption()
{
    if (FBatteryLevel < 0) {
        FValues.BatteryCaption = Tr("Akku");
        return;
    }
    FValues.BatteryCaption = Tr("Akku:");
    if (FContext.ServiceMode)
        FValues.BatteryCaption += QLatin1Char(' ') + QString::number(FBatteryLevel);
}

void TDeviceStatus::publishValues()
{
    // Answers arrive every second with mostly the same values; only changes reach the widgets.
    if (FValuesPublished && FValues == FPublishedValues)
        return;
    FPublishedValues = FValues;
    FValuesPublished = true;
    if (FValuesChanged)
        FValuesChanged(FValues);
}

void TDeviceStatus::publishState()
{
    if (FStatePublished && FState == FPublishedState)
        return;
    FPublishedState = FState;
    FStatePublished = true;
    if (FShowDeviceState)
        FShowDeviceState(FState);
}

void TDeviceStatus::publishCaption()
{
    if (FCaptionChanged)
        FCaptionChanged(Caption());
}
