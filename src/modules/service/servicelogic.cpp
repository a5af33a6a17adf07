#include "servicelogic.h"

#include "answerfields.h"
#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"
#include "wireformat.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

const char* const kEventParameters[] = {
    TrNoop("Startvorgänge"),    TrNoop("Unbekannter Fehler"), TrNoop("Abbruch Akku"),       TrNoop("Abbruch geblockt"),
    TrNoop("Motorstörung"),     TrNoop("Störung Diffdruck"),  TrNoop("Störung Barometer"), TrNoop("Störung Temperatur"),
};

struct TTypeText {
    int Type;
    const char* Text;
};

const TTypeText kTypeTexts[] = {
    {1, TrNoop("Justagedaten Peripherie fehlerhaft")},
    {2, TrNoop("Sensorjustagedaten fehlerhaft")},
    {3, TrNoop("Barometrischer Sensor gestört")},
    {4, TrNoop("Differenzdrucksensor gestört")},
    {5, TrNoop("5-Volt-Versorgung fehlerhaft")},
    {6, TrNoop("Display-Controller gestört")},
    {7, TrNoop("Keine SD-Karte erkannt")},
    {8, TrNoop("Strömungssensor gestört")},
    {9, TrNoop("Drift des Nullwerts")},
    {128, TrNoop("Abbruch wegen geringer Akkukapazität")},
    {129, TrNoop("Abbruch wegen Motorstörung")},
    {130, TrNoop("Prüfsumme T_EEP_CONF fehlerhaft")},
    {131, TrNoop("Prüfsumme T_EEP_SYS_DEV fehlerhaft")},
    {132, TrNoop("Ungültige Spracheinstellung")},
    {133, TrNoop("Sensor-Prüfsummenfehler Unterer Block")},
    {134, TrNoop("Sensor-Prüfsummenfehler Oberer Block")},
    {135, TrNoop("Sensor-Justagedaten ungültig")},
    {136, TrNoop("Sensor-Prüfsummenfehler Unterer Block")},
    {137, TrNoop("Sensor-Prüfsummenfehler Oberer Block")},
    {138, TrNoop("Sensor-Justagedaten ungültig")},
    {139, TrNoop("Prüfsummenfehler Peripherie Unterer Block")},
    {140, TrNoop("Prüfsummenfehler Peripherie Oberer Block")},
    {141, TrNoop("Prüfsummenfehler Datenpointer im Backup-RAM")},
    {142, TrNoop("Prüfsummenfehler Logdaten im Backup-RAM")},
    {143, TrNoop("Manuelles Löschen")},
    {144, TrNoop("Interner Temperatur-Sensor gestört")},
    {145, TrNoop("Keinen Temperatursensor erkannt")},
    {146, TrNoop("Barometrischer Sensor gestört")},
    {147, TrNoop("Geringe Spannung der RTC-Batterie")},
    {148, TrNoop("Fehlerspeicher-Reset nach Prüfsummenfehler")},
    {149, TrNoop("Luftstrom blockiert")},
    {150, TrNoop("SD-Karte: Fehler beim Schreiben")},
    {151, TrNoop("SD-Karte: Fehler beim Synchronisieren")},
};

const QString kVol[2] = {QStringLiteral("eVol1"), QStringLiteral("eVol2")};
const QString kServo[2] = {QStringLiteral("eServoInkr1"), QStringLiteral("eServoInkr2")};

QString hoursName(int loadClass)
{
    return loadClass == 7 ? QStringLiteral("eBSZ_Gesamt") : QStringLiteral("eBSZ_LK%1").arg(loadClass);
}

QString disp(const QString& pattern, const QVariantList& args)
{
    return FmtDisplay().Format(pattern, args);
}

QColor rowColour(int icon)
{
    switch (icon) {
    case 0: return QColor(0, 128, 0);
    case 1: return QColor(255, 0, 0);
    case 2: return QColor(255, 191, 0);
    default: return QColor(0, 0, 0);
    }
}

bool toInt(const QString& text, int& value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

}  // namespace

QString OperatingTime(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

bool ErrMemTypeKnown(int type)
{
    return std::any_of(std::begin(kTypeTexts), std::end(kTypeTexts), [type](const TTypeText& t) { return t.Type == type; });
}

QString ErrMemTypeText(int type)
{
    for (const TTypeText& t : kTypeTexts) {
        if (t.Type == type)
            return Tr(t.Text);
    }
    return Tr("Unbekannt");
}

QStringList TServiceLogic::ErrMemColumns()
{
    return {Tr("Nr."), Tr("Datum & Zeit"), Tr("Ereignis"), Tr("Quelle"), Tr("Betr.zeit"), Tr("Zus. Info")};
}

QString TServiceLogic::StartCondition(int test)
{
    switch (test) {
    case 0: return Tr("Eingang von Kanal 1 muss offen sein.");
    case 1: return Tr("Eingang von Kanal 2 muss offen sein.");
    case 2: return Tr("Beide Lufteingänge müssen offen sein.");
    default: return Tr("Beide Lufteingänge müssen dicht verschlossen sein.");
    }
}

TServiceLogic::TServiceLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
{
    SetClock({});
    buildEvents();
}

void TServiceLogic::SetClock(TClock clock)
{
    if (clock) {
        FClock = std::move(clock);
        return;
    }
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    // Never 0: 0 means "polling off".
    FClock = [timer] { return timer->elapsed() + 1; };
}

void TServiceLogic::send(const QString& command, int tag)
{
    SendOrder(ciService, command, tag);
}

void TServiceLogic::buildEvents()
{
    FEvents.clear();
    for (const char* p : kEventParameters)
        FEvents.push_back({p, {}, {}});
}

void TServiceLogic::setAllNotRunning()
{
    for (TTestFrameView& f : FFrames)
        f.Running = false;
}

void TServiceLogic::FormShow()
{
    FNextIndex = -1;
    FLowestIndex = 0;
    SetOnOffLine(FContext.Online ? 1 : 0);
}

void TServiceLogic::SetOnOffLine(int online)
{
    const bool on = online != 0 && FContext.Online;
    if (on && !FControlsOnline)
        buildEvents();
    FControlsOnline = on;
    if (on) {
        // The device may already run a test: the first answer must count as a change.
        FRunningTest = kRunningTestUnknown;
        FNextTestCheck = now();
    } else {
        setAllNotRunning();
    }
    Q_EMIT ViewChanged();
}

void TServiceLogic::TimerEvent(int /*interval*/)
{
    if (!FContext.Online)
        return;
    if (FNextTestCheck > 0 && now() > FNextTestCheck) {
        send(QStringLiteral("GMC"), 0);
        FNextTestCheck = now() + kPollMs;
    }
    if (FNextIndex >= FLowestIndex && FNextIndex >= 0) {
        send(QStringLiteral("GIF;%1").arg(FNextIndex), 1);
        --FNextIndex;
    }
}

void TServiceLogic::btnReadDataClick()
{
    for (int n = 0; n < kServiceTests; ++n) {
        const bool running = FFrames[static_cast<size_t>(n)].Running;
        FFrames[static_cast<size_t>(n)] = TTestFrameView{};
        FFrames[static_cast<size_t>(n)].Running = running;
    }
    for (int n = 0; n < kServiceTests; ++n)
        send(QStringLiteral("GIT;%1").arg(n), n);
    Q_EMIT ViewChanged();
}

void TServiceLogic::btnStartTestClick(int test)
{
    const QString question = StartCondition(test) + QStringLiteral("\n\n") + Tr("Test starten?");
    if (FQuestion && FQuestion(question))
        StartTest(test);
}

void TServiceLogic::StartTest(int test)
{
    if (!FContext.Online || test < 0 || test >= kServiceTests)
        return;
    send(QStringLiteral("SMC;%1").arg(test), 0);
    FNextTestCheck = now() + kPollMs;
}

void TServiceLogic::btnErrMemReadClick()
{
    FErrMem.clear();
    // A read still in progress ends with the list it filled.
    FNextIndex = -1;
    FLowestIndex = 0;
    send(QStringLiteral("GII"), 1);
    Q_EMIT ViewChanged();
}

void TServiceLogic::btnClearErrMemClick()
{
    if (FQuestion && FQuestion(Tr("Wirklich alle Einträge löschen?")))
        send(QStringLiteral("SHD;428;617"), 0);
}

void TServiceLogic::btnReadCountersClick()
{
    for (int c : {1, 2, 4, 7}) {
        send(QStringLiteral("GIO;%1").arg(c), c);
        FFields.SetState(hoursName(c), TFieldState::Pending);
    }
    send(QStringLiteral("GIV;0;"), 0);
    send(QStringLiteral("GIV;1;"), 1);
    send(QStringLiteral("GIJ;0;"), 0);
    send(QStringLiteral("GIJ;1;"), 1);
    for (int row = 0; row < int(FEvents.size()); ++row)
        send(QStringLiteral("GIR;%1").arg(row), row);
    for (int c = 0; c < 2; ++c) {
        FFields.SetState(kVol[c], TFieldState::Pending);
        FFields.SetState(kServo[c], TFieldState::Pending);
    }
    FFields.SetText(QStringLiteral("eHWVers"), FContext.Device.HardwareVersion);
    FCountersRead = true;
    Q_EMIT ViewChanged();
}

void TServiceLogic::btnErrMemExportClick()
{
    Q_EMIT SysMessage(QStringLiteral("----- ") + Tr("Beginn Fehlerspeicher") + QStringLiteral(" -----"), false);
    const QStringList columns = ErrMemColumns();
    QString header = columns[0] + QStringLiteral("; ") + Tr("Typ");
    for (qsizetype i = 1; i < columns.size(); ++i)
        header += QStringLiteral("; ") + columns[i];
    Q_EMIT SysInfo(header);
    for (const TErrMemRow& r : FErrMem) {
        const QString line = QStringList{r.Nr, QString::number(r.Icon), r.DateTime, r.Event, r.Source, r.OpTime, r.Info}.join(
            QStringLiteral("; "));
        Q_EMIT SysMessageColor(line, rowColour(r.Icon));
    }
    Q_EMIT SysMessage(QStringLiteral("----- ") + Tr("Ende Fehlerspeicher") + QStringLiteral(" -----"), false);
    Q_EMIT Status(Tr("Fehlerspeicher exportiert"), false);
    Q_EMIT ShowSysMeld();
}

void TServiceLogic::btnCountersExportClick()
{
    const TDeviceState& d = FContext.Device;
    const QString sep = QStringLiteral(": ");
    Q_EMIT SysMessage(QStringLiteral("----- ") + Tr("Beginn Zählerstände") + QStringLiteral(" -----"), false);
    Q_EMIT SysInfo(Tr("Seriennnummer") + sep + d.SerialNo);
    Q_EMIT SysInfo(Tr("Firmwareversion") + sep + d.FirmwareText);
    for (int c = 0; c < 2; ++c)
        Q_EMIT SysInfo(disp(Tr("Volumen Kanal %d"), {c + 1}) + sep + FFields.Text(kVol[c]));
    Q_EMIT SysInfo(Tr("Volumen Gesamt") + sep + FFields.Text(QStringLiteral("eVolSumme")));
    for (int c = 0; c < 2; ++c)
        Q_EMIT SysInfo(disp(Tr("Servo-Fahrweg Kanal %d"), {c + 1}) + sep + FFields.Text(kServo[c]));
    const std::array<int, 3> classes{1, 2, 4};
    for (int k = 0; k < 3; ++k)
        Q_EMIT SysInfo(disp(Tr("Betriebsstunden Klasse %d"), {k + 1}) + sep + FFields.Text(hoursName(classes[static_cast<size_t>(k)])));
    Q_EMIT SysInfo(Tr("Betriebsstunden Gesamt") + sep + FFields.Text(hoursName(7)));
    Q_EMIT SysInfo(Tr("Hardwareversion") + sep + FFields.Text(QStringLiteral("eHWVers")));
    auto setText = [](bool set) { return set ? Tr("gesetzt") : Tr("nicht gesetzt"); };
    for (int j = 0; j < 2; ++j)
        Q_EMIT SysInfo(disp(Tr("Jumper %d"), {j + 1}) + sep + setText(d.Jumper[static_cast<size_t>(j)]));
    for (int v = 0; v < 2; ++v)
        Q_EMIT SysInfo(disp(Tr("Vari %d"), {v + 1}) + sep + setText(d.Variant[static_cast<size_t>(v)]));
    for (const TEventRow& r : FEvents)
        Q_EMIT SysInfo(Tr(r.Parameter) + sep + r.Count + QStringLiteral(" (") + r.Date + QLatin1Char(')'));
    Q_EMIT SysMessage(QStringLiteral("----- ") + Tr("Ende Zählerstände") + QStringLiteral(" -----"), false);
    Q_EMIT Status(Tr("Zählerstände exportiert"), false);
    Q_EMIT ShowSysMeld();
}

void TServiceLogic::updateVolumeSum()
{
    int a = 0;
    int b = 0;
    if (!toInt(FFields.Text(kVol[0]), a))
        a = 0;
    if (!toInt(FFields.Text(kVol[1]), b))
        b = 0;
    FFields.SetText(QStringLiteral("eVolSumme"), QString::number(qint64(a) + qint64(b)));
}

void TServiceLogic::onTIT(int tag, const QString& data)
{
    const TAnswerFields f(data);
    const TField<int> n = f.intAt(2);
    if (!n.ok() || n.Value != tag || tag < 0 || tag >= kServiceTests)
        return;
    TTestFrameView& frame = FFrames[static_cast<size_t>(tag)];
    // A date or time the device writes otherwise is shown as it came.
    QDate date;
    QTime time;
    frame.Date = FmtDevice().ParseDate(f.text(3), date) ? FmtDisplay().FormatDate(date) : f.text(3);
    frame.Time = FmtDevice().ParseTime(f.text(4), time) ? FmtDisplay().FormatTime(time, true) : f.text(4);
    const TField<int> result = f.intAt(5);
    const int raw0 = f.intAt(6).valueOr(0);
    const int raw1 = f.intAt(7).valueOr(0);
    auto scaled = [tag](int raw) {
        switch (tag) {
        case 2: return disp(QStringLiteral("%.5f"), {raw / 10000.0});
        case 3: return disp(QStringLiteral("%.1f"), {raw / 10.0});
        default: return QString::number(raw);
        }
    };
    frame.Value0 = scaled(raw0);
    frame.Value1 = scaled(raw1);
    frame.Passed = result.ok() && result.Value > 0;
    frame.Result = frame.Passed ? Tr("OK") : Tr("Fehler");
    frame.Lit = true;
    Q_EMIT ViewChanged();
}

void TServiceLogic::onTIF(const QString& data)
{
    const TAnswerFields f(data);
    for (int n = 3; n <= 10; ++n) {
        if (!f.has(n))
            return;
    }
    const TField<int> nr = f.intAt(3);
    const TField<int> valid = f.intAt(6);
    const TField<int> type = f.intAt(7);
    const TField<int> source = f.intAt(8);
    const TField<int> severity = f.intAt(9);
    const TField<qint64> opTime = f.int64At(10);
    if (!nr.ok() || !valid.ok() || !type.ok() || !source.ok() || !severity.ok() || !opTime.ok() || nr.Value == 65535)
        return;
    TErrMemRow row;
    if (valid.Value == 0) {
        const QString unknown = QStringLiteral("???");
        row = {unknown, -1, unknown, Tr("(Lesefehler)"), unknown, unknown, {}};
        FErrMem.push_back(row);
        Q_EMIT ViewChanged();
        return;
    }
    row.Nr = QString::number(nr.Value);
    row.Icon = severity.Value;
    QDate date;
    QTime time;
    const QString dateText = FmtDevice().ParseDate(f.text(4), date) ? FmtDisplay().FormatDate(date) : f.text(4);
    const QString timeText = FmtDevice().ParseTime(f.text(5), time) ? FmtDisplay().FormatTime(time, true) : f.text(5);
    row.DateTime = dateText + QLatin1Char(' ') + timeText;
    row.Event = disp(QStringLiteral("%s (%d)"), {ErrMemTypeText(type.Value), type.Value});
    row.Source = source.Value == 2 ? Tr("Gerät") : disp(Tr("Kanal %d"), {source.Value + 1});
    row.OpTime = OperatingTime(opTime.Value);
    std::array<int, 4> d{};
    for (int i = 0; i < 4; ++i)
        d[static_cast<size_t>(i)] = f.intAt(11 + i).valueOr(0);
    switch (type.Value) {
    case 9: {
        const float ua = static_cast<float>(d[0] * 256 + d[1]) / 1000.0f;
        const float ub = static_cast<float>(d[2] * 256 + d[3]) / 1000.0f;
        const double diff = static_cast<double>(ua - ub);
        row.Info = (diff > 0 ? QStringLiteral("+") : QString()) + disp(QStringLiteral("%.4f V"), {diff});
        break;
    }
    case 147:
        row.Info = disp(QStringLiteral("%.2f V"), {static_cast<double>(d[0] * 256 + d[1]) / 100.0});
        break;
    case 132:
    case 150:
    case 151:
        row.Info = QString::number(d[0]);
        break;
    default:
        if (!ErrMemTypeKnown(type.Value))
            row.Info = QStringLiteral("%1, %2, %3, %4").arg(d[0]).arg(d[1]).arg(d[2]).arg(d[3]);
        break;
    }
    FErrMem.push_back(row);
    Q_EMIT ViewChanged();
}

void TServiceLogic::RXData(int status, int tag, const QString& data)
{
    const bool ok = status == kOrderDone;
    const QString word = data.left(3);
    const TAnswerFields f(data);
    if (word == QLatin1String("TIT")) {
        if (ok)
            onTIT(tag, data);
    } else if (word == QLatin1String("TMC")) {
        const TField<int> n = f.intAt(2);
        if (!ok || !n.ok() || n.Value == FRunningTest)
            return;
        FRunningTest = n.Value;
        if (n.Value < 0) {
            setAllNotRunning();
            FNextTestCheck = 0;
            btnReadDataClick();
        } else if (n.Value < kServiceTests) {
            FFrames[static_cast<size_t>(n.Value)].Running = true;
        }
        Q_EMIT ViewChanged();
    } else if (word == QLatin1String("TII")) {
        const TField<int> n = f.intAt(2);
        if (!ok || !n.ok())
            return;
        FNextIndex = n.Value;
        FLowestIndex = std::max(n.Value - (kMaxErrMemEntries - 1), 0);
    } else if (word == QLatin1String("TIF")) {
        onTIF(data);
    } else if (word == QLatin1String("THD")) {
        btnErrMemReadClick();
    } else if (word == QLatin1String("TIO")) {
        if (!ok || (tag != 1 && tag != 2 && tag != 4 && tag != 7))
            return;
        if (f.text(2).trimmed().isEmpty())
            FFields.SetState(hoursName(tag), TFieldState::Invalid);
        else
            FFields.Fill(hoursName(tag), f.text(2).trimmed(), TFieldState::Confirmed);
    } else if (word == QLatin1String("TIV") || word == QLatin1String("TIJ")) {
        const TField<int> c = f.intAt(2);
        if (!ok || tag < 0 || tag > 1 || !c.ok() || c.Value != tag)
            return;
        const QString& name = word == QLatin1String("TIV") ? kVol[tag] : kServo[tag];
        if (f.text(3).isEmpty())
            FFields.SetState(name, TFieldState::Invalid);
        else
            FFields.Fill(name, f.text(3), TFieldState::Confirmed);
        if (word == QLatin1String("TIV"))
            updateVolumeSum();
    } else if (word == QLatin1String("TIR")) {
        const TField<int> row = f.intAt(2);
        if (!ok || !row.ok() || row.Value != tag || tag < 0 || tag >= int(FEvents.size()))
            return;
        FEvents[static_cast<size_t>(tag)].Count = f.text(3);
        FEvents[static_cast<size_t>(tag)].Date = f.text(4);
        Q_EMIT ViewChanged();
    }
}
