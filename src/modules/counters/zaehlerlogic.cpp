#include "zaehlerlogic.h"

#include "answerfields.h"
#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"
#include "wireformat.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcZaehler, "sarvik.modules.counters")

namespace {

constexpr int kAdjustRows = 25;  // rows 0..24 on every firmware

const char* const kAdjustParameters[] = {
    TrNoop("Akku-Spannung"),     TrNoop("5 Volt"),           TrNoop("Int. Temp-Sensor"),  TrNoop("Ext. Eingang"),
    TrNoop("RTC Batterie"),      TrNoop("AkkuStrom"),        TrNoop("Barometer HDI"),     TrNoop("Servo Kanal 1 Min"),
    TrNoop("Servo Kanal 2 Min"), TrNoop("Servo Kanal 1 Max"), TrNoop("Servo Kanal 2 Max"), TrNoop("Justage Sensor 1"),
    TrNoop("Justage Sensor 2"),  TrNoop("Nächste Wartung"),  TrNoop("Letzte Wartung"),    TrNoop("Reglerpara. Low"),
    TrNoop("Reglerpara. High"),  TrNoop("Reglerpara. Pumpe"), TrNoop("CRC Backup RAM"),    TrNoop("CRC Just Sens 1"),
    TrNoop("CRC Redu Sens 1"),   TrNoop("CRC Just Sens 2"),  TrNoop("CRC Redu Sens 2"),   TrNoop("CRC Just Peri"),
    TrNoop("CRC Redu Peri"),     TrNoop("Diff.drucksensor"), TrNoop("Barometer (zusätzlich)"),
};

const char* const kEventParameters[] = {
    TrNoop("Startvorgänge"),    TrNoop("Unbekannter Fehler"), TrNoop("Abbruch Akku"),       TrNoop("Abbruch geblockt"),
    TrNoop("Motorstörung"),     TrNoop("Störung Diffdruck"),  TrNoop("Störung Barometer"), TrNoop("Störung Temperatur"),
};

const QString kSerNr = QStringLiteral("eSerNr");
const QString kVol[2] = {QStringLiteral("eVol1"), QStringLiteral("eVol2")};
const QString kVolSumme = QStringLiteral("eVolSumme");
const QString kServo[2] = {QStringLiteral("eServoInkr1"), QStringLiteral("eServoInkr2")};
const QString kHWVers = QStringLiteral("eHWVers");

// Texts sent to the device as typed lose ";", CR and LF.
QString deviceText(QString text)
{
    text.remove(QLatin1Char(';'));
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

bool digitsOnly(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool toInt(const QString& text, int& value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

}  // namespace

TCounterColour CounterColour(const QString& count)
{
    int n = 0;
    if (!toInt(count, n) || n < 1)
        return TCounterColour::Black;
    return n > 10 ? TCounterColour::Red : TCounterColour::Purple;
}

bool IsValidDuration(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3 || !digitsOnly(parts[0]) || !digitsOnly(parts[1]) || !digitsOnly(parts[2]))
        return false;
    // Hours have no upper limit: only their digits count.
    return parts[1].toInt() < 60 && parts[2].toInt() < 60 && parts[1].size() <= 2 && parts[2].size() <= 2;
}

QString TZaehlerLogic::HoursName(int loadClass)
{
    return loadClass == 7 ? QStringLiteral("eBSZ_Gesamt") : QStringLiteral("eBSZ_LK%1").arg(loadClass);
}

TZaehlerLogic::TZaehlerLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
{
    buildLists();
}

void TZaehlerLogic::send(const QString& command, int tag)
{
    constexpr size_t kMaxSent = 256;
    if (FSent.size() >= kMaxSent)
        FSent.pop_front();
    FSent.emplace_back(tag, QStringLiteral("T") + command.mid(1, 2));
    SendOrder(ciZaehler, command, tag);
}

void TZaehlerLogic::buildLists()
{
    FJC.clear();
    FEC.clear();
    const int features = FContext.Device.DeviceFeatures;
    for (int row = 0; row < int(std::size(kAdjustParameters)); ++row) {
        // The rows of later firmware keep their own wire numbers.
        if ((row == kAdjustRows && !(features & dfDiffPressure)) || (row == kAdjustRows + 1 && !(features & dfExtraBarometer)))
            continue;
        FJC.push_back({row, kAdjustParameters[row], {}, {}});
    }
    for (int row = 0; row < int(std::size(kEventParameters)); ++row)
        FEC.push_back({row, kEventParameters[row], {}, {}});
}

void TZaehlerLogic::showHardware()
{
    FFields.SetText(kHWVers, FContext.Online ? FContext.Device.HardwareVersion : QString());
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::FormShow()
{
    SetOnOffLine(FContext.Online ? 1 : 0);
}

void TZaehlerLogic::SetOnOffLine(int online)
{
    const bool on = online != 0 && FContext.Online;
    if (on && !FControlsOnline) {
        buildLists();
        FControlsOnline = true;
        btnReadCounterClick();
    }
    FControlsOnline = on;
    if (!on)
        FFields.SetText(kHWVers, QString());
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::btnReadCounterClick()
{
    send(QStringLiteral("GLS"), 0);
    for (int c : {1, 2, 4, 7})
        send(QStringLiteral("GLO;%1").arg(c), c);
    for (int n = 0; n < 4; ++n)
        send(QStringLiteral("GLP;%1").arg(n), n + 1);
    send(QStringLiteral("GLV;0;"), 0);
    send(QStringLiteral("GLV;1;"), 1);
    send(QStringLiteral("GLI;0;"), 0);
    send(QStringLiteral("GLI;1;"), 1);
    for (const TCounterRow& r : FJC)
        send(QStringLiteral("GLC;%1").arg(r.Wire), r.Wire);
    for (const TCounterRow& r : FEC)
        send(QStringLiteral("GLR;%1").arg(r.Wire), r.Wire);
    send(QStringLiteral("GMM"), 0);

    QStringList pending{kSerNr, kVol[0], kVol[1], kServo[0], kServo[1]};
    for (int c : {1, 2, 4, 7})
        pending << HoursName(c);
    for (int n = 1; n <= 4; ++n)
        pending << PersoName(n);
    for (const QString& name : pending)
        FFields.SetState(name, TFieldState::Pending);
    FFlagsState = TFieldState::Pending;
    showHardware();
}

void TZaehlerLogic::btnSetSerNrClick()
{
    const QString serial = deviceText(FFields.Text(kSerNr));
    if (serial.size() < kSerialMinLength) {
        Q_EMIT Message(Tr("Seriennummer zu kurz!"));
        Q_EMIT FocusField(kSerNr);
        return;
    }
    send(QStringLiteral("SLS;") + serial, 0);
    FFields.SetState(kSerNr, TFieldState::Sent);
}

void TZaehlerLogic::btnSetBSZClick(int loadClass)
{
    const QString name = HoursName(loadClass);
    const QString text = FFields.Text(name);
    if (!IsValidDuration(text)) {
        Q_EMIT Status(Tr("Stundenzahl ungültig!"), true);
        Q_EMIT FocusField(name);
        return;
    }
    send(QStringLiteral("SLO;%1;").arg(loadClass) + text, loadClass);
    FFields.SetState(name, TFieldState::Sent);
    send(QStringLiteral("GLO;7"), 7);
}

void TZaehlerLogic::btnSetPersoClick()
{
    for (int n = 0; n < 4; ++n) {
        send(QStringLiteral("SLP;%1;").arg(n) + deviceText(FFields.Text(PersoName(n + 1))), n + 1);
        FFields.SetState(PersoName(n + 1), TFieldState::Sent);
    }
}

void TZaehlerLogic::btnVolSpeichernClick(int channel)
{
    const QString& name = kVol[channel];
    int v = 0;
    if (!toInt(FFields.Text(name), v)) {
        FFields.SetState(name, TFieldState::Invalid);
        return;
    }
    send(QStringLiteral("SLV;%1;%2").arg(channel).arg(v), channel);
    FFields.SetState(name, TFieldState::Sent);
}

void TZaehlerLogic::btnServoInkrSpeichernClick(int channel)
{
    const QString& name = kServo[channel];
    int v = 0;
    if (!toInt(FFields.Text(name), v)) {
        FFields.SetState(name, TFieldState::Invalid);
        return;
    }
    send(QStringLiteral("SLI;%1;%2").arg(channel).arg(v), channel);
    FFields.SetState(name, TFieldState::Sent);
}

void TZaehlerLogic::clbMonitorFlagsClickCheck(int flags)
{
    FFlags = flags & 0xFF;
    send(QStringLiteral("SMM;%1").arg(FFlags), 0);
    FFlagsState = TFieldState::Pending;
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::EditCounter(TList list, int index)
{
    std::vector<TCounterRow>& rows = list == lJC ? FJC : FEC;
    if (index < 0 || index >= int(rows.size()) || !FCountDialog)
        return;
    TCounterRow& row = rows[static_cast<size_t>(index)];
    const std::optional<QString> text =
        FCountDialog(Tr("Zählerwert "), Tr(row.Parameter) + Tr(" eingeben"), row.Count);
    int n = 0;
    if (!text || !toInt(*text, n))
        return;
    row.Count = QString::number(n);
    row.Date = QStringLiteral("?");
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::btnJustageNullenClick()
{
    for (TCounterRow& r : FJC) {
        r.Count = QStringLiteral("0");
        r.Date.clear();
    }
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::btnEventZaehlerNullenClick()
{
    // The start count is the device's life; it is never zeroed.
    for (TCounterRow& r : FEC) {
        if (r.Wire == 0)
            continue;
        r.Count = QStringLiteral("0");
        r.Date.clear();
    }
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::saveList(TList list)
{
    std::vector<TCounterRow>& rows = list == lJC ? FJC : FEC;
    const QString command = list == lJC ? QStringLiteral("SLC;%1;%2") : QStringLiteral("SLR;%1;%2");
    for (TCounterRow& r : rows) {
        int n = 0;
        if (!toInt(r.Count, n))
            continue;
        send(command.arg(r.Wire).arg(n), r.Wire);
        r.Date = QStringLiteral("?");
    }
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::btnJustageSpeichernClick()
{
    saveList(lJC);
}

void TZaehlerLogic::btnEventzaehlerSpeichernClick()
{
    saveList(lEC);
}

void TZaehlerLogic::updateVolumeSum()
{
    int a = 0;
    int b = 0;
    if (!toInt(FFields.Text(kVol[0]), a))
        a = 0;
    if (!toInt(FFields.Text(kVol[1]), b))
        b = 0;
    // Summed in 64 bits: two large counters must not wrap.
    FFields.SetText(kVolSumme, QString::number(qint64(a) + qint64(b)));
}

void TZaehlerLogic::onRow(TList list, bool ok, int tag, const QString& data)
{
    if (!ok)
        return;
    const TAnswerFields f(data);
    const TField<int> row = f.intAt(2);
    if (!row.ok() || row.Value != tag)
        return;
    std::vector<TCounterRow>& rows = list == lJC ? FJC : FEC;
    for (TCounterRow& r : rows) {
        if (r.Wire != tag)
            continue;
        if (f.has(3))
            r.Count = f.text(3);
        if (f.has(4))
            r.Date = f.text(4);
    }
    Q_EMIT ViewChanged();
}

void TZaehlerLogic::RXData(int status, int tag, const QString& data)
{
    const bool ok = status == kOrderDone;
    QString sentWord;
    while (!FSent.empty()) {
        const auto [sentTag, w] = FSent.front();
        FSent.pop_front();
        if (sentTag == tag) {
            sentWord = w;
            break;
        }
    }
    if (!ok)
        FSent.clear();  // the link drops every order still queued
    const QString word = !ok && !sentWord.isEmpty() ? sentWord : data.left(3);
    const TAnswerFields f(data);
    if (word == QLatin1String("TLS")) {
        if (ok && !f.text(2).isEmpty())
            FFields.Fill(kSerNr, f.text(2), TFieldState::Confirmed);
        else
            FFields.SetState(kSerNr, TFieldState::Invalid);
    } else if (word == QLatin1String("TLO")) {
        if (!ok)
            return;
        const TField<int> c = f.intAt(2);
        if (!c.ok()) {
            for (int k : {1, 2, 4, 7})
                FFields.SetState(HoursName(k), TFieldState::Invalid);
            return;
        }
        if (c.Value != 1 && c.Value != 2 && c.Value != 4 && c.Value != 7)
            return;
        // Answers end with ";", so a missing value arrives as an empty last field.
        if (!f.text(3).isEmpty())
            FFields.Fill(HoursName(c.Value), f.text(3), TFieldState::Confirmed);
        else
            FFields.SetState(HoursName(c.Value), TFieldState::Invalid);
    } else if (word == QLatin1String("TLP")) {
        if (tag < 1 || tag > 4)
            return;
        if (ok && f.has(3))
            FFields.Fill(PersoName(tag), f.text(3), TFieldState::Confirmed);
        else
            FFields.SetState(PersoName(tag), TFieldState::Invalid);
    } else if (word == QLatin1String("TLV") || word == QLatin1String("TLI")) {
        if (!ok || tag < 0 || tag > 1)
            return;
        const TField<int> c = f.intAt(2);
        if (!c.ok() || c.Value != tag)
            return;
        const QString& name = word == QLatin1String("TLV") ? kVol[tag] : kServo[tag];
        if (!f.text(3).isEmpty())
            FFields.Fill(name, f.text(3), TFieldState::Confirmed);
        else
            FFields.SetState(name, TFieldState::Invalid);
        if (word == QLatin1String("TLV"))
            updateVolumeSum();
    } else if (word == QLatin1String("TLC")) {
        onRow(lJC, ok, tag, data);
    } else if (word == QLatin1String("TLR")) {
        onRow(lEC, ok, tag, data);
    } else if (word == QLatin1String("TMM")) {
        const TField<int> flags = f.intAt(2);
        if (ok && flags.ok()) {
            FFlags = flags.Value & 0xFF;
            FFlagsState = TFieldState::Normal;
        } else {
            FFlagsState = TFieldState::Invalid;
        }
        Q_EMIT ViewChanged();
    }
}
