#pragma once
// What the adjustment window does, without widgets: the five-point flow-sensor adjustment of
// both channels (capture, fit, transfer behind the serial-number question, the daily log), the
// sensor offsets and the peripheral calibrations (controllers, servo end positions, 5 V, battery
// voltage and current, barometer, run-time constants, calibration dates, backup battery, touch
// panel). The window TfKalib binds its edit fields to Fields() by object name and hands every
// user action to this object; tests drive it headless. User-interface thread only.

#include "appcontext.h"
#include "fieldmodel.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <optional>

// Tags of the peripheral orders; the flow commands use 10 * channel + index, the controllers
// and servos their own number.
constexpr int kKalibTagRead = 4;
constexpr int kKalibTagSet = 6;
constexpr int kKalibTagPoll = 0;

// The flow points per channel and the coefficients of the degree-4 polynomial.
constexpr int kKalibPoints = 5;
constexpr int kKalibOffsetIndex = 5;

// Result of the backup battery check shown beside it.
enum class TRtcCheck { Hidden, Renew, Ok };

class TKalibLogic : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 500;
    static constexpr int kRtcCheckDelayMs = 3000;

    using TClock = std::function<QDateTime()>;
    // The serial-number question; no value when the user cancelled.
    using TSerialQuestion = std::function<std::optional<QString>()>;

    explicit TKalibLogic(TAppContext& context, QObject* parent = nullptr);

    void SetClock(TClock clock);
    void SetSerialQuestion(TSerialQuestion question) { FSerialQuestion = std::move(question); }

    // Field names, as the window's object names.
    static QString FlowName(int c, int i) { return QStringLiteral("eV%1%2").arg(c).arg(i); }
    static QString VoltName(int c, int i) { return QStringLiteral("eI%1%2").arg(c).arg(i); }
    static QString JustName(int c, int i) { return QStringLiteral("eJust%1%2").arg(c).arg(i); }
    static QString OffsetName(int c) { return QStringLiteral("eOffset%1").arg(c); }
    static QString SensName(int c) { return QStringLiteral("eSens%1").arg(c); }
    static QString SensVoltName(int c) { return QStringLiteral("eSensVolt%1").arg(c); }
    static QString SensOffsetName(int c) { return QStringLiteral("eSensOffset%1").arg(c); }
    // Fields whose keys go through the numeric filter.
    static QStringList NumericFieldNames();

    // Module operations.
    void FormShow();
    void SetOnOffLine(int online);
    void TimerEvent(int interval);
    void RXData(int status, int tag, const QString& data);

    // Flow adjustment.
    void btnJustClick(int channel, int point);
    void btnCalcClick(int channel);
    void btnSetJustData(int channel);
    void setSensorOffset(int channel);
    void readFlowSensorOffset(int channel);
    void btnReadDataClick();

    // Peripheral calibrations.
    void readNextWartung();
    void setNextWartung();
    void readLastWartung();
    void setLastWartung();
    void startTouchJustage();
    void readAkku();
    void setAkku();
    void checkRTC();
    void readRTC();
    void readBaro();
    void setBaro();
    void readRunTime();
    void setRunTime();
    void readPID(int controller);
    void setPID(int controller);
    void read5V();
    void set5V();
    void readStrom();
    void setStrom();
    void readServo(int channel);
    void setServo(int channel);

    // Key filters: false (and the status line alarm) for a refused character. The numeric
    // filter turns "." and "," into the display's decimal separator.
    bool NumericKey(QChar& key);
    bool MonthYearKey(QChar key);

    // The date picker of the last calibration, as the user set it.
    void SetLastWartungDatum(const QDate& date);
    QDate LastWartungDatum() const { return FLastWartungDatum; }

    // The view.
    TFieldModel& Fields() { return FFields; }
    const TFieldModel& Fields() const { return FFields; }
    QString Text(const QString& name) const { return FFields.Text(name); }
    TFieldState State(const QString& name) const { return FFields.State(name); }
    bool Online() const { return FContext.Online; }
    bool RegulatorPageVisible() const { return FContext.ServiceMode; }
    TRtcCheck RtcCheck() const { return FRtcCheck; }
    bool TransferPending(int channel) const { return FTransferPending[static_cast<size_t>(channel)]; }
    qint64 RtcCheckDeadline() const { return FRtcDeadline; }

    // The log file of the connected device for a day (directory from "Paths/AdjustLog").
    QString AdjustLogPath(const QDate& day) const;

Q_SIGNALS:
    void Status(const QString& text, bool alarm);
    // For the system messages window.
    void SysMessage(const QString& text, bool alarm);
    // The field that failed a check gets the focus with its text selected.
    void FocusField(const QString& name);
    void Beep();
    // Online state, the backup battery label or the date picker changed.
    void ViewChanged();

private:
    qint64 nowMs() const { return FClock().toMSecsSinceEpoch(); }
    void send(const QString& command, int tag);
    void alarm(const QString& text) { Q_EMIT Status(text, true); }
    void clearStatus() { Q_EMIT Status(QString(), false); }
    void fail(const QString& name, const QString& message);
    bool parseDisplay(const QString& name, double& value) const;
    bool parseDisplayInt(const QString& name, int& value) const;

    void onTMV(bool ok, const QString& data);
    void onTCF(bool ok, int tag, const QString& data);
    void onPeripheral(const QString& word, bool ok, int tag, const QString& data);
    void evaluateRtc(double volts, const QDate& date);

    void writeLog(const QStringList& lines);
    QStringList logHead(int channel) const;
    QStringList justTexts(int channel) const;

    TAppContext& FContext;
    TClock FClock;
    TSerialQuestion FSerialQuestion;
    TFieldModel FFields;
    QDate FLastWartungDatum;
    TRtcCheck FRtcCheck = TRtcCheck::Hidden;

    // Working arrays of the fit: sensor voltages and flows.
    std::vector<double> FX;
    std::vector<double> FY;
    std::array<bool, 2> FTransferPending{};
    qint64 FPollDeadline = 0;
    qint64 FRtcDeadline = 0;

    // Orders sent and not yet finished (tag, answer word), oldest first: a failed order carries
    // no answer word, so its group is found here.
    struct TSent {
        int Tag;
        QString Word;
    };
    std::deque<TSent> FSent;
};

// The log file name of a device serial number and a day: blanks around the serial removed, "/"
// and control characters made "_", then "_", the date as yyyyMMdd and ".csv".
QString AdjustLogFileName(const QString& serial, const QDate& day);

// Texts sent to the device as typed lose ";", CR and LF.
QString DeviceText(const QString& text);
