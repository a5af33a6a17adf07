#include "kaliblogic.h"

#include "answerfields.h"
#include "formatsettings.h"
#include "i18n.h"
#include "logfiles.h"
#include "leastsquare.h"
#include "rounding.h"
#include "sendorder.h"
#include "settingsform.h"
#include "wireformat.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcKalib, "sarvik.modules.adjustment")

namespace {

constexpr double kMaxFlow = 2.0;
constexpr double kMinVolt = 0.88;
constexpr double kMaxVolt = 5.12;
constexpr double kRtcRenewVolt = 2.5;
constexpr int kFitDegree = 4;
constexpr size_t kMaxSent = 256;

const QString kNextStunden = QStringLiteral("eNextWartungStunden");
const QString kNextDatum = QStringLiteral("enextWartungDatum");
const QString kLastStunden = QStringLiteral("eLastWartungStunden");
const QString kLastDatum = QStringLiteral("dtpLastWartungDatum");
const QString kAkku = QStringLiteral("eAkku");
const QString kAkkuOffset = QStringLiteral("eAkkuOffset");
const QString kRtcVolt = QStringLiteral("eRTCVoltage");
const QString kRtcDatum = QStringLiteral("eRTCDatum");
const QString kBaro = QStringLiteral("eBaroIst");
const QString kBaroOffset = QStringLiteral("eBaroOffset");
const QString kRunX = QStringLiteral("eRunTimeX");
const QString kRunY = QStringLiteral("eRunTimeY");
const QString k5V = QStringLiteral("e5V");
const QString k5VOffset = QStringLiteral("e5VOffset");
const QString kStrom = QStringLiteral("eStrom");
const QString kStromOffset = QStringLiteral("eStromOffset");

QString pidName(const char* kind, int i)
{
    return QStringLiteral("ePID_%1%2").arg(QLatin1String(kind)).arg(i);
}
QString servoAuf(int c)
{
    return QStringLiteral("eServoAuf%1").arg(c);
}
QString servoZu(int c)
{
    return QStringLiteral("eServoZu%1").arg(c);
}

QString disp(const QString& pattern, const QVariantList& args)
{
    return FmtDisplay().Format(pattern, args);
}
QString dev(const QString& pattern, const QVariantList& args)
{
    return FmtDevice().Format(pattern, args);
}

// A value field of the log: its decimal mark is always ",".
QString logValue(const QString& text)
{
    QString t = text;
    t.replace(QLatin1Char('.'), QLatin1Char(','));
    return t;
}

// The read-back of 32-bit values: what the device stores.
double asFloat32(double v)
{
    return static_cast<double>(static_cast<float>(v));
}

bool fitsFloat32(double v)
{
    return std::isfinite(v) && std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max());
}

QString answerWordOf(const QString& command)
{
    return QStringLiteral("T") + command.mid(1, 2);
}

}  // namespace

QString AdjustLogFileName(const QString& serial, const QDate& day)
{
    QString name = serial.trimmed();
    for (QChar& ch : name) {
        if (ch == QLatin1Char('/') || ch.unicode() < 32 || ch.unicode() == 127)
            ch = QLatin1Char('_');
    }
    return name + QLatin1Char('_') + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".csv");
}

QString DeviceText(const QString& text)
{
    QString t = text;
    t.remove(QLatin1Char(';'));
    t.remove(QLatin1Char('\r'));
    t.remove(QLatin1Char('\n'));
    return t;
}

TKalibLogic::TKalibLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
    , FX(kKalibPoints, 0.0)
    , FY(kKalibPoints, 0.0)
{
    SetClock({});
    const QString zero = disp("%4.2f", {0.0});
    FFields.SetText(FlowName(0, 0), zero);
    FFields.SetText(FlowName(1, 0), zero);
}

void TKalibLogic::SetClock(TClock clock)
{
    FClock = clock ? std::move(clock) : TClock([] { return QDateTime::currentDateTime(); });
}

QStringList TKalibLogic::NumericFieldNames()
{
    QStringList names;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kKalibPoints; ++i)
            names << FlowName(c, i) << VoltName(c, i) << JustName(c, i);
        names << OffsetName(c) << SensVoltName(c) << servoAuf(c) << servoZu(c);
    }
    for (int i = 0; i < 3; ++i)
        names << pidName("KP", i) << pidName("TI", i) << pidName("TD", i);
    names << kNextStunden << kLastStunden << kAkku << kBaro << kRunX << kRunY << k5V << kStrom;
    return names;
}

void TKalibLogic::FormShow()
{
    FPollDeadline = 0;
    FRtcDeadline = 0;
    SetOnOffLine(FContext.Online ? 1 : 0);
}

void TKalibLogic::SetOnOffLine(int /*online*/)
{
    // The buttons follow the shared online flag; orders of a lost link never answer.
    if (!FContext.Online)
        FSent.clear();
    Q_EMIT ViewChanged();
}

void TKalibLogic::TimerEvent(int /*interval*/)
{
    if (!FContext.Online)
        return;
    const qint64 now = nowMs();
    if (now >= FPollDeadline) {
        FPollDeadline = now + kPollIntervalMs;
        send(QStringLiteral("GMV;0"), kKalibTagPoll);
    }
    if (FRtcDeadline != 0 && now >= FRtcDeadline) {
        FRtcDeadline = 0;
        readRTC();
    }
}

void TKalibLogic::send(const QString& command, int tag)
{
    if (FSent.size() >= kMaxSent)
        FSent.pop_front();
    FSent.push_back({tag, answerWordOf(command)});
    SendOrder(ciKalib, command, tag);
}

void TKalibLogic::fail(const QString& name, const QString& message)
{
    alarm(message);
    Q_EMIT FocusField(name);
}

bool TKalibLogic::parseDisplay(const QString& name, double& value) const
{
    return FmtDisplay().ParseFloat(FFields.Text(name), value);
}

bool TKalibLogic::parseDisplayInt(const QString& name, int& value) const
{
    return FmtDisplay().ParseInt(FFields.Text(name), value);
}

// ---- flow adjustment ---------------------------------------------------------------------

void TKalibLogic::btnJustClick(int channel, int point)
{
    if (!FContext.Online) {
        alarm(Tr("Funktion nur online möglich"));
        return;
    }
    const QString sens = FFields.Text(SensName(channel));
    if (sens.isEmpty()) {
        alarm(Tr("Keine Werte vom Sensor vorhanden"));
        return;
    }
    FFields.SetText(VoltName(channel, point), sens);
    // The zero-flow voltage is the sensor offset; a captured value is the user's, not the device's.
    if (point == 0)
        FFields.Fill(OffsetName(channel), sens, TFieldState::Normal);
}

void TKalibLogic::btnCalcClick(int channel)
{
    clearStatus();
    FY[0] = 0.0;
    double previous = 0.0;
    for (int i = 1; i < kKalibPoints; ++i) {
        const QString name = FlowName(channel, i);
        double v = 0.0;
        if (!parseDisplay(name, v)) {
            fail(name, disp(Tr("Volumenstom bei Justagepunkt %d ist ungültig"), {i + 1}));
            return;
        }
        FY[static_cast<size_t>(i)] = v;
        if (previous >= v) {
            fail(name, disp(Tr("Volumenstom bei Justagepunkt %d ist nicht aufsteigend"), {i + 1}));
            return;
        }
        if (v > kMaxFlow) {
            fail(name, Tr("Volumenstrom ist zu groß (max: 2,0 NL/min)"));
            return;
        }
        previous = v;
    }
    previous = 0.0;
    for (int i = 0; i < kKalibPoints; ++i) {
        const QString name = VoltName(channel, i);
        double v = 0.0;
        if (!parseDisplay(name, v)) {
            fail(name, disp(Tr("Sensorwert bei Justagepunkt %d ist ungültig"), {i + 1}));
            return;
        }
        FX[static_cast<size_t>(i)] = v;
        if (previous >= v) {
            fail(name, disp(Tr("Sensorwert bei Justagepunkt %d ist nicht aufsteigend"), {i + 1}));
            return;
        }
        if (v < kMinVolt) {
            fail(name, disp(Tr("Sensorwert bei Justagepunkt %d ist zu klein (Min: 0,88V)"), {i + 1}));
            return;
        }
        if (v > kMaxVolt) {
            fail(name, disp(Tr("Sensorwert bei Justagepunkt %d ist zu groß (Max: 5,12V)"), {i + 1}));
            return;
        }
        previous = v;
    }
    const int rc = LeastSquareFit(kFitAnchored, kKalibPoints, kFitDegree, FX, FY);
    if (rc != kFitOk) {
        alarm(disp(Tr("Berechnungsfehler RC=%d"), {rc}));
        return;
    }
    for (int i = 0; i < kKalibPoints; ++i)
        FFields.Fill(JustName(channel, i), disp("%8.7f", {FX[static_cast<size_t>(kFitDegree - i)]}),
                     TFieldState::Normal);

    QStringList lines = logHead(channel);
    QStringList flows;
    QStringList volts;
    for (int i = 0; i < kKalibPoints; ++i) {
        flows << logValue(FFields.Text(FlowName(channel, i)));
        volts << logValue(FFields.Text(VoltName(channel, i)));
    }
    lines << Tr("Justagepunkt") + QStringLiteral(";;1;2;3;4;5")
          << Tr("Vol.Strom") + QLatin1Char(';') + Tr("NL/min") + QLatin1Char(';') + flows.join(QLatin1Char(';'))
          << Tr("Sensorsignal") + QLatin1Char(';') + Tr("Volt") + QLatin1Char(';') + volts.join(QLatin1Char(';'))
          << Tr("Errechnete Justagedaten") << Tr("Datum Nr.") + QStringLiteral(";;1;2;3;4;5")
          << Tr("Wert") + QStringLiteral(";;") + justTexts(channel).join(QLatin1Char(';'));
    writeLog(lines);
}

void TKalibLogic::btnSetJustData(int channel)
{
    std::array<double, kKalibPoints> coefficients{};
    double offset = 0.0;
    bool valid = true;
    if (!parseDisplay(OffsetName(channel), offset)) {
        FFields.SetState(OffsetName(channel), TFieldState::Invalid);
        valid = false;
    }
    for (int i = 0; i < kKalibPoints; ++i) {
        if (!parseDisplay(JustName(channel, i), coefficients[static_cast<size_t>(i)])) {
            FFields.SetState(JustName(channel, i), TFieldState::Invalid);
            valid = false;
        }
    }
    if (!valid) {
        alarm(Tr("Ein Datum ist ungültig (rot gekennzeichnet)"));
        return;
    }
    if (!FContext.Online) {
        alarm(Tr("Justieren ist nur online möglich!"));
        Q_EMIT Beep();
        return;
    }
    const std::optional<QString> answer = FSerialQuestion ? FSerialQuestion() : std::nullopt;
    if (!answer) {
        alarm(Tr("Ohne Eingabe der Serien-Nr. wird die Justage nicht durchgeführt!"));
        Q_EMIT Beep();
        return;
    }
    // Blanks around either side never count; an unknown (empty) serial number never matches.
    const QString serial = FContext.Device.SerialNo.trimmed();
    if (!FContext.ServiceMode && (serial.isEmpty() || answer->trimmed() != serial)) {
        alarm(Tr("Eingabe der Serien-Nr. nicht korrekt?"));
        Q_EMIT Beep();
        return;
    }
    send(dev("SCF;%d;5;%9.7f", {channel, offset}), 10 * channel + kKalibOffsetIndex);
    FFields.SetState(OffsetName(channel), TFieldState::Sent);
    for (int i = 0; i < kKalibPoints; ++i) {
        send(dev("SCF;%d;%d;%9.7f", {channel, i, coefficients[static_cast<size_t>(i)]}), 10 * channel + i);
        FFields.SetState(JustName(channel, i), TFieldState::Sent);
    }
    QStringList lines = logHead(channel);
    lines << Tr("An Sarvik2V2 übertragene Justagedaten") << Tr("Datum Nr.") + QStringLiteral(";;1;2;3;4;5")
          << QStringLiteral("Wert;;") + justTexts(channel).join(QLatin1Char(';'))
          << Tr("Sensor-Offset") + QStringLiteral("; ") + logValue(FFields.Text(OffsetName(channel)));
    writeLog(lines);
    FTransferPending[static_cast<size_t>(channel)] = true;
}

void TKalibLogic::setSensorOffset(int channel)
{
    const QString text = FFields.Text(SensVoltName(channel));
    double v = 0.0;
    if (text.size() <= 2 || !FmtDisplay().ParseFloat(text, v) || !fitsFloat32(v)) {
        alarm(Tr("Spannungswert ist ungültig"));
        return;
    }
    send(dev("SCF;%d;5;%4.3f", {channel, asFloat32(v)}), 10 * channel + kKalibOffsetIndex);
    FFields.SetState(SensOffsetName(channel), TFieldState::Sent);
}

void TKalibLogic::readFlowSensorOffset(int channel)
{
    send(dev("GCF;%d;5", {channel}), 10 * channel + kKalibOffsetIndex);
    FFields.SetState(SensOffsetName(channel), TFieldState::Pending);
}

void TKalibLogic::btnReadDataClick()
{
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kKalibPoints; ++i) {
            send(dev("GCF;%d;%d", {c, i}), 10 * c + i);
            FFields.SetState(JustName(c, i), TFieldState::Pending);
        }
        send(dev("GCF;%d;%d", {c, kKalibOffsetIndex}), 10 * c + kKalibOffsetIndex);
        FFields.SetState(OffsetName(c), TFieldState::Pending);
        FFields.SetState(SensOffsetName(c), TFieldState::Pending);
    }
    for (int i = 0; i < 3; ++i)
        readPID(i);
    for (int c = 0; c < 2; ++c)
        readServo(c);
    readNextWartung();
    readLastWartung();
    readAkku();
    readBaro();
    readRTC();
    readRunTime();
    clearStatus();
}

QStringList TKalibLogic::logHead(int channel) const
{
    const QDateTime now = FClock();
    return {Tr("Datum") + QLatin1Char(';') + now.date().toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(';')
                + Tr("Zeit") + QLatin1Char(';') + now.time().toString(QStringLiteral("HH:mm:ss")),
            Tr("Kanal") + QLatin1Char(' ') + QString::number(channel + 1)};
}

QStringList TKalibLogic::justTexts(int channel) const
{
    QStringList texts;
    for (int i = 0; i < kKalibPoints; ++i)
        texts << logValue(FFields.Text(JustName(channel, i)));
    return texts;
}

QString TKalibLogic::AdjustLogPath(const QDate& day) const
{
    TFSettingsForm& settings = FContext.Settings();
    const QString key = QStringLiteral("Paths/AdjustLog");
    if (settings.GetStr(key).isEmpty())
        settings.SetStr(key, QStringLiteral("."));
    return QDir(settings.GetStr(key)).filePath(AdjustLogFileName(FContext.Device.SerialNo, day));
}

void TKalibLogic::writeLog(const QStringList& lines)
{
    QFile file(AdjustLogPath(FClock().date()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCInfo(lcKalib) << "adjustment log not written:" << file.fileName() << file.errorString();
        NoteFileWriteFailed(TFileKind::Log, file.fileName(), file.errorString());
        return;
    }
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += ToWire(line) + "\r\n";
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        NoteFileWriteFailed(TFileKind::Log, file.fileName(), file.errorString());
        return;
    }
    NoteFileWriteWorked(TFileKind::Log);
}

// ---- peripheral calibrations -------------------------------------------------------------

void TKalibLogic::readNextWartung()
{
    FFields.SetState(kNextStunden, TFieldState::Pending);
    FFields.SetState(kNextDatum, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCD"), kKalibTagRead);
}

void TKalibLogic::setNextWartung()
{
    const QString hours = DeviceText(FFields.Text(kNextStunden));
    const QString monthYear = DeviceText(FFields.Text(kNextDatum));
    if (hours.isEmpty()) {
        FFields.SetState(kNextStunden, TFieldState::Invalid);
        alarm(Tr("Service-Stundenangabe ist ungültig"));
        return;
    }
    if (monthYear.isEmpty()) {
        FFields.SetState(kNextDatum, TFieldState::Invalid);
        alarm(Tr("Service-Datum ist ungültig"));
        return;
    }
    send(dev("SCD;%s;%s", {monthYear, hours}), kKalibTagSet);
    FFields.SetState(kNextStunden, TFieldState::Sent);
    FFields.SetState(kNextDatum, TFieldState::Sent);
}

void TKalibLogic::readLastWartung()
{
    FFields.SetState(kLastStunden, TFieldState::Pending);
    FFields.SetState(kLastDatum, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCL"), kKalibTagRead);
}

void TKalibLogic::setLastWartung()
{
    const QString hours = DeviceText(FFields.Text(kLastStunden));
    if (hours.isEmpty()) {
        FFields.SetState(kLastStunden, TFieldState::Invalid);
        alarm(Tr("Service-Stundenangabe ist ungültig"));
        return;
    }
    const QDate date = FLastWartungDatum.isValid() ? FLastWartungDatum : FClock().date();
    send(dev("SCL;%s;%s", {date.toString(QStringLiteral("dd.MM.yyyy")), hours}), kKalibTagSet);
    FFields.SetState(kLastStunden, TFieldState::Sent);
    FFields.SetState(kLastDatum, TFieldState::Sent);
}

void TKalibLogic::SetLastWartungDatum(const QDate& date)
{
    FLastWartungDatum = date;
    FFields.UserEdit(kLastDatum, date.toString(QStringLiteral("dd.MM.yyyy")));
}

void TKalibLogic::startTouchJustage()
{
    send(QStringLiteral("SAT"), kKalibTagRead);
}

void TKalibLogic::readAkku()
{
    FFields.SetState(kAkku, TFieldState::Pending);
    FFields.SetState(kAkkuOffset, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCB"), kKalibTagRead);
}

void TKalibLogic::setAkku()
{
    double v = 0.0;
    if (!parseDisplay(kAkku, v) || !fitsFloat32(v)) {
        alarm(Tr("Spannungswert ist ungültig"));
        return;
    }
    send(dev("SCB;%4.3f", {asFloat32(v)}), kKalibTagSet);
    FFields.SetState(kAkku, TFieldState::Sent);
}

void TKalibLogic::checkRTC()
{
    send(QStringLiteral("SAB"), kKalibTagRead);
    FRtcDeadline = nowMs() + kRtcCheckDelayMs;
    FFields.SetState(kRtcVolt, TFieldState::Pending);
    FFields.SetState(kRtcDatum, TFieldState::Pending);
    FRtcCheck = TRtcCheck::Hidden;
    Q_EMIT ViewChanged();
}

void TKalibLogic::readRTC()
{
    FFields.SetState(kRtcVolt, TFieldState::Pending);
    FFields.SetState(kRtcDatum, TFieldState::Pending);
    clearStatus();
    FRtcCheck = TRtcCheck::Hidden;
    Q_EMIT ViewChanged();
    send(QStringLiteral("GIB"), kKalibTagRead);
}

void TKalibLogic::readBaro()
{
    FFields.SetState(kBaro, TFieldState::Pending);
    FFields.SetState(kBaroOffset, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCA"), kKalibTagRead);
}

void TKalibLogic::setBaro()
{
    double mbar = 0.0;
    const double max = static_cast<double>(std::numeric_limits<int>::max());
    // The tenths must fit the device's integer; anything else would be an undefined conversion.
    if (!parseDisplay(kBaro, mbar) || !std::isfinite(mbar) || std::fabs(mbar * 10.0) > max) {
        alarm(Tr("Luftdruckwert ist ungültig"));
        return;
    }
    send(dev("SCA;%d", {RoundHalfEven(mbar * 10.0)}), kKalibTagSet);
    FFields.SetState(kBaro, TFieldState::Sent);
}

void TKalibLogic::readRunTime()
{
    FFields.SetState(kRunX, TFieldState::Pending);
    FFields.SetState(kRunY, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCR"), kKalibTagRead);
}

void TKalibLogic::setRunTime()
{
    if (FFields.Text(kRunX).isEmpty()) {
        FFields.SetState(kRunX, TFieldState::Invalid);
        alarm(Tr("Feld für X-Konstante ist leer"));
        return;
    }
    if (FFields.Text(kRunY).isEmpty()) {
        FFields.SetState(kRunY, TFieldState::Invalid);
        alarm(Tr("Feld für Y-Konstante ist leer"));
        return;
    }
    int x = 0;
    int y = 0;
    if (!parseDisplayInt(kRunX, x)) {
        FFields.SetState(kRunX, TFieldState::Invalid);
        alarm(Tr("X-Konstante ist nicht numerisch"));
        return;
    }
    if (!parseDisplayInt(kRunY, y)) {
        FFields.SetState(kRunY, TFieldState::Invalid);
        alarm(Tr("Y-Konstante ist nicht numerisch"));
        return;
    }
    send(dev("SCR;%d;%d", {x, y}), kKalibTagSet);
    FFields.SetState(kRunX, TFieldState::Sent);
    FFields.SetState(kRunY, TFieldState::Sent);
}

void TKalibLogic::readPID(int controller)
{
    for (const char* kind : {"KP", "TI", "TD"})
        FFields.SetState(pidName(kind, controller), TFieldState::Pending);
    send(dev("GCC;%d", {controller}), controller);
}

void TKalibLogic::setPID(int controller)
{
    clearStatus();
    int kp = 0;
    int ki = 0;
    int kd = 0;
    if (!parseDisplayInt(pidName("KP", controller), kp)) {
        alarm(Tr("Proportional-Faktor ist ungültig"));
        return;
    }
    if (!parseDisplayInt(pidName("TI", controller), ki)) {
        alarm(Tr("Integral-Faktor ist ungültig"));
        return;
    }
    if (!parseDisplayInt(pidName("TD", controller), kd)) {
        alarm(Tr("Differential-Faktor ist ungültig"));
        return;
    }
    send(dev("SCC;%d;%d;%d;%d", {controller, kp, ki, kd}), controller);
    for (const char* kind : {"KP", "TI", "TD"})
        FFields.SetState(pidName(kind, controller), TFieldState::Sent);
}

void TKalibLogic::read5V()
{
    FFields.SetState(k5V, TFieldState::Pending);
    FFields.SetState(k5VOffset, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCV"), kKalibTagRead);
}

void TKalibLogic::set5V()
{
    double v = 0.0;
    if (!parseDisplay(k5V, v) || !fitsFloat32(v)) {
        alarm(Tr("Spannungswert ist ungültig"));
        return;
    }
    send(dev("SCV;%4.3f", {asFloat32(v)}), kKalibTagSet);
    FFields.SetState(k5V, TFieldState::Sent);
}

void TKalibLogic::readStrom()
{
    FFields.SetState(kStrom, TFieldState::Pending);
    FFields.SetState(kStromOffset, TFieldState::Pending);
    clearStatus();
    send(QStringLiteral("GCI"), kKalibTagRead);
}

void TKalibLogic::setStrom()
{
    int ma = 0;
    // The lowest integer has no absolute value in the device's integer.
    if (!parseDisplayInt(kStrom, ma) || ma == std::numeric_limits<int>::min()) {
        alarm(Tr("Stromwert ist ungültig"));
        return;
    }
    send(dev("SCI;%d", {std::abs(ma)}), kKalibTagSet);
    FFields.SetState(kStrom, TFieldState::Sent);
}

void TKalibLogic::readServo(int channel)
{
    FFields.SetState(servoAuf(channel), TFieldState::Pending);
    FFields.SetState(servoZu(channel), TFieldState::Pending);
    send(dev("GCS;%d", {channel}), channel);
}

void TKalibLogic::setServo(int channel)
{
    clearStatus();
    int open = 0;
    int closed = 0;
    if (!parseDisplayInt(servoAuf(channel), open)) {
        alarm(Tr("Wert für \"Auf\" ist ungültig"));
        return;
    }
    if (!parseDisplayInt(servoZu(channel), closed)) {
        alarm(Tr("Wert für \"Zu\" ist ungültig"));
        return;
    }
    send(dev("SCS;%d;%d;%d", {channel, closed, open}), channel);
    FFields.SetState(servoAuf(channel), TFieldState::Sent);
    FFields.SetState(servoZu(channel), TFieldState::Sent);
}

// ---- key filters ---------------------------------------------------------------------------

bool TKalibLogic::NumericKey(QChar& key)
{
    const bool accepted = key.isDigit() && key.unicode() < 128;
    if (accepted || key == QLatin1Char('-') || key == QLatin1Char('\b') || key == QLatin1Char('\r')
        || key == QLatin1Char('\n')) {
        clearStatus();
        return true;
    }
    if (key == QLatin1Char('.') || key == QLatin1Char(',')) {
        key = FmtDisplay().DecimalSeparator;
        clearStatus();
        return true;
    }
    alarm(Tr("Nur Zeichen \"0123456789.,\" möglich!"));
    return false;
}

bool TKalibLogic::MonthYearKey(QChar key)
{
    if ((key.isDigit() && key.unicode() < 128) || key == QLatin1Char('/') || key == QLatin1Char('\b')
        || key == QLatin1Char('\r') || key == QLatin1Char('\n')) {
        clearStatus();
        return true;
    }
    alarm(Tr("Nur Zeichen \"0123456789/\" möglich!"));
    return false;
}

// ---- answers -------------------------------------------------------------------------------

void TKalibLogic::RXData(int status, int tag, const QString& data)
{
    // This order among those sent: the oldest with its tag (the link finishes them in order).
    QString sentWord;
    while (!FSent.empty()) {
        const TSent s = FSent.front();
        FSent.pop_front();
        if (s.Tag == tag) {
            sentWord = s.Word;
            break;
        }
    }
    const bool ok = status == kOrderDone;
    if (!ok)
        FSent.clear();  // the link drops every order still queued
    QString word = data.left(3);
    // A failed order may carry no answer (or a garbled one): its group is that of the command.
    if (!ok && !sentWord.isEmpty())
        word = sentWord;
    if (word == QLatin1String("TMV"))
        onTMV(ok, data);
    else if (word == QLatin1String("TCF"))
        onTCF(ok, tag, data);
    else
        onPeripheral(word, ok, tag, data);
}

void TKalibLogic::onTMV(bool ok, const QString& data)
{
    const TAnswerFields f(data);
    for (int c = 0; c < 2; ++c) {
        const TField<double> v = f.floatAt(c + 2);
        if (!ok || !v.ok() || !fitsFloat32(v.Value)) {
            FFields.SetState(SensName(c), TFieldState::Invalid);
            continue;
        }
        const QString text = disp("%5.4f", {asFloat32(v.Value)});
        FFields.Fill(SensName(c), text, TFieldState::Confirmed);
        FFields.Fill(SensVoltName(c), text, TFieldState::Confirmed);
    }
}

void TKalibLogic::onTCF(bool ok, int tag, const QString& data)
{
    const int channel = tag > 9 ? 1 : 0;
    const int index = tag - 10 * channel;
    if (index < 0 || index > kKalibOffsetIndex)
        return;
    const TAnswerFields f(data);
    const TField<int> c = f.intAt(2);
    const TField<int> i = f.intAt(3);
    const TField<double> v = f.floatAt(4);
    const bool accepted = ok && c.ok() && c.Value == channel && i.ok() && i.Value == index && v.ok()
                          && fitsFloat32(v.Value);
    if (!accepted) {
        if (index == kKalibOffsetIndex) {
            FFields.SetState(OffsetName(channel), TFieldState::Invalid);
            FFields.SetState(SensOffsetName(channel), TFieldState::Invalid);
        } else {
            FFields.SetState(JustName(channel, index), TFieldState::Invalid);
        }
        return;
    }
    const double value = asFloat32(v.Value);
    if (index == kKalibOffsetIndex) {
        FFields.Fill(OffsetName(channel), disp("%8.7f", {value}), TFieldState::Confirmed);
        FFields.Fill(SensOffsetName(channel), disp("%5.4f", {value}), TFieldState::Confirmed);
        return;
    }
    FFields.Fill(JustName(channel, index), disp("%8.7f", {value}), TFieldState::Confirmed);
    if (index == kKalibPoints - 1 && FTransferPending[static_cast<size_t>(channel)]) {
        writeLog({Tr("Von Sarvik2V2 erhaltene Justagedaten"),
                  QStringLiteral("Wert;;") + justTexts(channel).join(QLatin1Char(';'))});
        FTransferPending[static_cast<size_t>(channel)] = false;
    }
}

void TKalibLogic::onPeripheral(const QString& word, bool ok, int tag, const QString& data)
{
    const TAnswerFields f(data);
    // Fills the group's fields when every value is there, else marks them all invalid.
    auto group = [this](const QStringList& names, bool valid, const QStringList& texts) {
        for (qsizetype n = 0; n < names.size(); ++n) {
            if (valid)
                FFields.Fill(names[n], texts.value(n), TFieldState::Confirmed);
            else
                FFields.SetState(names[n], TFieldState::Invalid);
        }
    };
    if (word == QLatin1String("TCD")) {
        const TField<QString> monthYear = f.textAt(2);
        const TField<int> hours = f.intAt(3);
        const bool valid = ok && monthYear.ok() && hours.ok();
        group({kNextDatum, kNextStunden}, valid, {monthYear.Value, QString::number(hours.Value)});
    } else if (word == QLatin1String("TCL")) {
        const TField<QDate> date = f.dateAt(2);
        const TField<int> hours = f.intAt(3);
        const bool valid = ok && date.ok() && hours.ok();
        group({kLastStunden}, valid, {QString::number(hours.Value)});
        if (valid) {
            FLastWartungDatum = date.Value;
            FFields.Fill(kLastDatum, date.Value.toString(QStringLiteral("dd.MM.yyyy")), TFieldState::Confirmed);
        } else {
            FFields.SetState(kLastDatum, TFieldState::Invalid);
        }
        Q_EMIT ViewChanged();
    } else if (word == QLatin1String("TCB")) {
        const TField<double> volts = f.floatAt(2);
        const TField<int> offset = f.intAt(3);
        const bool valid = ok && volts.ok() && offset.ok() && fitsFloat32(volts.Value);
        group({kAkku, kAkkuOffset}, valid,
              {disp("%4.1f", {asFloat32(volts.Value)}), QString::number(offset.Value)});
    } else if (word == QLatin1String("TIB")) {
        const TField<double> volts = f.floatAt(7);
        const TField<QDate> date = f.dateAt(8);
        const bool valid = ok && volts.ok() && date.ok() && fitsFloat32(volts.Value);
        group({kRtcVolt, kRtcDatum}, valid,
              {disp("%4.2f", {asFloat32(volts.Value)}), FmtDisplay().FormatDate(date.Value)});
        if (valid)
            evaluateRtc(asFloat32(volts.Value), date.Value);
    } else if (word == QLatin1String("TCA")) {
        const TField<int> tenths = f.intAt(2);
        const TField<int> offset = f.intAt(3);
        const bool valid = ok && tenths.ok() && offset.ok();
        group({kBaro, kBaroOffset}, valid,
              {disp("%6.1f", {tenths.Value / 10.0}), QString::number(offset.Value)});
    } else if (word == QLatin1String("TCR")) {
        const TField<int> x = f.intAt(2);
        const TField<int> y = f.intAt(3);
        group({kRunX, kRunY}, ok && x.ok() && y.ok(), {QString::number(x.Value), QString::number(y.Value)});
    } else if (word == QLatin1String("TCC")) {
        if (tag < 0 || tag > 2)
            return;
        const TField<int> controller = f.intAt(2);
        const bool valid =
            ok && controller.ok() && controller.Value == tag && f.has(3) && f.has(4) && f.has(5);
        group({pidName("KP", tag), pidName("TI", tag), pidName("TD", tag)}, valid, {f.text(3), f.text(4), f.text(5)});
    } else if (word == QLatin1String("TCV")) {
        const TField<double> volts = f.floatAt(2);
        const TField<int> offset = f.intAt(3);
        const bool valid = ok && volts.ok() && offset.ok() && fitsFloat32(volts.Value);
        group({k5V, k5VOffset}, valid, {disp("%4.3f", {asFloat32(volts.Value)}), QString::number(offset.Value)});
    } else if (word == QLatin1String("TCI")) {
        const TField<int> ma = f.intAt(2);
        const TField<int> offset = f.intAt(3);
        group({kStrom, kStromOffset}, ok && ma.ok() && offset.ok(),
              {disp("%3d", {ma.Value}), QString::number(offset.Value)});
    } else if (word == QLatin1String("TCS")) {
        if (tag < 0 || tag > 1)
            return;
        const TField<int> channel = f.intAt(2);
        const bool valid = ok && channel.ok() && channel.Value == tag && f.has(3) && f.has(4);
        group({servoZu(tag), servoAuf(tag)}, valid, {f.text(3), f.text(4)});
    }
}

void TKalibLogic::evaluateRtc(double volts, const QDate& date)
{
    const QString day = FmtDisplay().FormatDate(date);
    if (volts <= kRtcRenewVolt) {
        FRtcCheck = TRtcCheck::Renew;
        Q_EMIT SysMessage(Tr("Backupbatterie erneuern - Prüfung am ") + day, true);
    } else {
        FRtcCheck = TRtcCheck::Ok;
        Q_EMIT SysMessage(Tr("Backupbatterie ist ok - Prüfung am ") + day, false);
    }
    Q_EMIT ViewChanged();
}
