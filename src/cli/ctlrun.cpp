#include "ctlrun.h"

#include "bedienlogic.h"
#include "commandline.h"
#include "deviceformat.h"
#include "devicestatus.h"
#include "formatsettings.h"
#include "i18n.h"
#include "presetfile.h"
#include "tclogic.h"
#include "updatemachine.h"
#include "probedatenlogic.h"
#include "programsettings.h"
#include "rounding.h"
#include "logfiles.h"
#include "sendorder.h"
#include "settingsini.h"
#include "sysmessages.h"
#include "virtualsarvik.h"
#include "wireformat.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTime>
#include <QTimer>

#include <atomic>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kFindTimeoutMs = 3000;    // the device registers itself within this after start
constexpr int kOnlineTimeoutMs = 10000;
constexpr int kInfoTimeoutMs = 5000;    // serial number and first status after going online
constexpr int kAnswerTimeoutMs = 15000; // one exchange at most, retries of the worker included
constexpr int kPresetClient = ciBedien;
constexpr int kDeviceStateSampling = 8;

std::atomic<bool> gInterrupted{false};

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QString field(const QString& data, int index)
{
    QString token;
    return GetToken(data, QStringLiteral(";"), token, index) ? token : QString();
}

}  // namespace

bool CtlInterrupted()
{
    return gInterrupted.load();
}

void SetCtlInterrupted(bool interrupted)
{
    gInterrupted.store(interrupted);
}

// A module logic class as a client of the session: its id and the three calls it takes.
class TCtlClient : public TSessionClient {
public:
    explicit TCtlClient(int id) : FId(id) {}
    int SessionClientId() const override { return FId; }
    void SetOnOffLine(int online) override
    {
        if (OnLine)
            OnLine(online);
    }
    void TimerEvent(int interval) override
    {
        if (OnTimer)
            OnTimer(interval);
    }
    void RXData(int status, int tag, const QString& data) override
    {
        ++Answers;
        if (OnAnswer)
            OnAnswer(status, tag, data);
    }

    std::function<void(int online)> OnLine;
    std::function<void(int interval)> OnTimer;
    std::function<void(int status, int tag, const QString& data)> OnAnswer;
    int Answers = 0;

private:
    int FId;
};

// ---- command line ----

QString CtlUsage()
{
    return QStringLiteral(
        "Usage: sarvikctl [--device-root DIR]... [--serial S] [--demo] [--json] [--quiet] [-C FILE] COMMAND\n"
        "\n"
        "Commands:\n"
        "  list                         devices found: serial, port, ids\n"
        "  status [--watch]             identity, state, battery, climate, alarms\n"
        "  presets                      the ten presets\n"
        "  start N | stop               start preset N, stop the run\n"
        "  records [--last N] -o FILE   the newest N (<= 100) records to .csv, .xlsx or .xlsm\n"
        "  log NUMBER -o FILE           a run's process log to .csv, .xlsx or .xlsm\n"
        "  presets export FILE.svk      the presets to a preset file\n"
        "  presets import FILE.svk      a preset file to the device\n"
        "  send FILE.puc                a command file, line by line\n"
        "  readback FILE.pkd -o FILE.puc  read a configuration back into a command file\n"
        "  flash FILE.hex [--yes]       firmware update\n"
        "\n"
        "Exit codes: 0 done, 1 device or transfer error, 2 usage, 3 no device found, 4 interrupted.\n");
}

bool ParseCtlArguments(const QStringList& args, TCtlOptions& o, QString& error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        auto value = [&](QString& target) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            target = args.at(++i);
            return true;
        };
        if (a == QLatin1String("--device-root")) {
            QString dir;
            if (!value(dir))
                return false;
            o.DeviceRoots << dir;
        } else if (a.startsWith(QLatin1String("--device-root="))) {
            o.DeviceRoots << a.mid(14);
        } else if (a == QLatin1String("--serial")) {
            if (!value(o.Serial))
                return false;
        } else if (a == QLatin1String("--demo")) {
            o.Demo = true;
        } else if (a == QLatin1String("--json")) {
            o.Json = true;
        } else if (a == QLatin1String("--quiet") || a == QLatin1String("-q")) {
            o.Quiet = true;
        } else if (a == QLatin1String("--yes") || a == QLatin1String("-y")) {
            o.Yes = true;
        } else if (a == QLatin1String("--watch")) {
            o.Watch = true;
        } else if (a == QLatin1String("-C")) {
            if (!value(o.ConfigFile))
                return false;
        } else if (a.startsWith(QLatin1String("-C"))) {
            o.ConfigFile = a.mid(2);
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (!value(o.Output))
                return false;
        } else if (a == QLatin1String("--last")) {
            QString n;
            if (!value(n))
                return false;
            bool ok = false;
            o.Last = n.toInt(&ok);
            if (!ok || o.Last < 1 || o.Last > kMaxDownloadRecords) {
                error = QStringLiteral("--last takes 1 to %1").arg(kMaxDownloadRecords);
                return false;
            }
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            error = QStringLiteral("unknown option %1").arg(a);
            return false;
        } else {
            o.Command << a;
        }
    }
    if (o.Command.isEmpty()) {
        error = QStringLiteral("no command given");
        return false;
    }
    return true;
}

// ---- run ----

TCtlRun::TCtlRun(TCtlOptions options)
    : FOptions(std::move(options))
    , FContext(FSettings)
{
    FTerminal = ::isatty(STDERR_FILENO) == 1;
}

TCtlRun::~TCtlRun()
{
    SetSysMessageSink({});
    FSession.reset();
    if (FDemoDevice)
        FDemoDevice->stop();
}

void TCtlRun::error(const QString& text)
{
    endProgress();
    err() << text << Qt::endl;
}

void TCtlRun::info(const QString& text)
{
    if (FOptions.Quiet || text.isEmpty())
        return;
    endProgress();
    err() << text << Qt::endl;
}

void TCtlRun::result(const QString& text)
{
    endProgress();
    out() << text << Qt::endl;
}

void TCtlRun::jsonResult(const QJsonObject& object)
{
    endProgress();
    out() << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << Qt::endl;
}

void TCtlRun::progress(const QString& what, int position, int maximum)
{
    if (FOptions.Quiet)
        return;
    if (what != FProgressWhat) {
        FProgressWhat = what;
        FLastProgressPos = -1;
    }
    if (maximum <= 0) {
        // Counted only: the end is not known in advance.
        if (FTerminal) {
            err() << '\r' << what << ' ' << position << Qt::flush;
            FProgressShown = true;
        } else if (position % 100 == 0) {
            err() << what << ' ' << position << Qt::endl;
        }
        return;
    }
    if (FTerminal) {
        constexpr int kWidth = 30;
        const int filled = maximum > 0 ? std::min(kWidth, position * kWidth / maximum) : 0;
        err() << '\r' << what << " [" << QString(filled, QLatin1Char('#')) << QString(kWidth - filled, QLatin1Char(' '))
              << "] " << position << '/' << maximum << Qt::flush;
        FProgressShown = true;
        return;
    }
    // Plain lines for logs: every tenth of the way, and the end.
    const int step = std::max(1, maximum / 10);
    if (position == FLastProgressPos || (position % step != 0 && position != maximum))
        return;
    FLastProgressPos = position;
    err() << what << ' ' << position << '/' << maximum << Qt::endl;
}

void TCtlRun::endProgress()
{
    if (FProgressShown) {
        err() << Qt::endl;
        FProgressShown = false;
    }
}

TCtlRun::TWait TCtlRun::waitFor(const std::function<bool()>& done, int timeoutMs, bool interruptible)
{
    QElapsedTimer clock;
    clock.start();
    // Wakes the loop to look at the interruption and the clock when nothing else happens.
    QTimer wake;
    wake.start(10);
    while (!done()) {
        if (interruptible && CtlInterrupted())
            return TWait::Interrupted;
        if (timeoutMs >= 0 && clock.elapsed() > timeoutMs)
            return TWait::Timeout;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return TWait::Done;
}

int TCtlRun::prepare()
{
    BuildProgramSettings(FSettings);
    FSettingsFile = ChooseSettingsFile(FOptions.ConfigFile, QDir::currentPath() + QLatin1Char('/'));
    if (!FOptions.ConfigFile.isEmpty() && !QFileInfo::exists(FOptions.ConfigFile)) {
        error(QStringLiteral("sarvikctl: %1: no such settings file").arg(FOptions.ConfigFile));
        return ceUsage;
    }
    try {
        FSettings.ReadFromFile(FSettingsFile);
    } catch (const std::exception& e) {
        error(Tr("Einstellungsdatei \"%1\" fehlerhaft: %2").arg(FSettingsFile, QString::fromUtf8(e.what())));
    }
    SetProgramLanguage(FSettings.GetInt(QStringLiteral("General/ProgLang")));
    // The system messages of the windows: alarms are errors here, the rest is information.
    SetSysMessageSink([this](const QString& text, const QColor& colour, bool silent) {
        if (!silent || colour == QColor(Qt::red))
            error(text);
        else
            info(text);
    });

    QStringList roots = FOptions.DeviceRoots;
    if (FOptions.Demo) {
        FDemoRoot = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/sarvik-demo-XXXXXX"));
        TVirtualSarvikOptions demo;
        demo.root = FDemoRoot->path();
        FDemoDevice = std::make_unique<TVirtualSarvik>(demo);
        QString why;
        if (!FDemoRoot->isValid() || !FDemoDevice->start(&why)) {
            error(QStringLiteral("sarvikctl: the demo device could not start: %1").arg(why));
            return ceDevice;
        }
        roots << FDemoRoot->path();
        // The demo is the device meant, even with a real one plugged in.
        if (FOptions.Serial.isEmpty())
            FOptions.Serial = demo.serial;
    }
    FSession = std::make_unique<TDeviceSession>(FContext);
    FSession->Discovery().SetDeviceRoots(roots);
    FSession->ApplySettings(true);
    return ceDone;
}

int TCtlRun::connectDevice()
{
    const int vid = FSession->Connection().UsbVid();
    const int pid = FSession->Connection().UsbPid();
    TUSBDev chosen;
    const TWait found = waitFor(
        [&] {
            for (const TUSBDev& d : FSession->Discovery().FindDevices(vid, pid)) {
                if (FOptions.Serial.isEmpty() || d.serialNo == FOptions.Serial) {
                    chosen = d;
                    return true;
                }
            }
            return false;
        },
        kFindTimeoutMs);
    if (found == TWait::Interrupted)
        return ceInterrupted;
    if (found == TWait::Timeout) {
        error(FOptions.Serial.isEmpty() ? Tr("Kein Sarvik2V2 gefunden")
                                        : FmtDisplay().Format(Tr("Sarvik2V2 %s nicht gefunden"), {FOptions.Serial}));
        return ceNoDevice;
    }
    info(QStringLiteral("%1 (%2)").arg(chosen.serialNo, chosen.comPort));
    FSession->StartWorker();
    FSession->StartLink();
    FSession->Connection().ConnectTo(chosen);
    const TWait online = waitFor([this] { return FContext.Online; }, kOnlineTimeoutMs);
    if (online == TWait::Interrupted)
        return ceInterrupted;
    if (online == TWait::Timeout) {
        error(Tr("Funktion nur online möglich"));
        return ceDevice;
    }
    return waitDeviceInfo();
}

int TCtlRun::waitDeviceInfo()
{
    // Serial number, status and the slow queries (run time, battery, climate) once each.
    QSet<QString> seen;
    const auto previous = FSession->OnStatusAnswer;
    FSession->OnStatusAnswer = [&seen](const TOrder& order) {
        if (order.Status == kOrderDone)
            seen.insert(QString::fromLatin1(order.RXData.left(3)));
    };
    const TWait w = waitFor(
        [&] {
            return FContext.Device.SerialNo.size() > 2 && seen.contains(QStringLiteral("TIS")) &&
                   seen.contains(QStringLiteral("TIO")) && seen.contains(QStringLiteral("TIB")) &&
                   seen.contains(QStringLiteral("TIE"));
        },
        kInfoTimeoutMs);
    FSession->OnStatusAnswer = previous;
    if (w == TWait::Interrupted)
        return ceInterrupted;
    if (!FContext.Online) {
        error(Tr("Funktion nur online möglich"));
        return ceDevice;
    }
    return ceDone;
}

int TCtlRun::Execute()
{
    if (const int rc = prepare(); rc != ceDone)
        return rc;
    const QStringList& c = FOptions.Command;
    const QString name = c.first();
    auto operands = [&](int n) {
        if (c.size() - 1 == n)
            return true;
        error(QStringLiteral("sarvikctl: %1 takes %2 operand(s)\n\n").arg(name).arg(n) + CtlUsage());
        return false;
    };
    auto number = [&](const QString& text, int& value) {
        bool ok = false;
        value = text.toInt(&ok);
        if (!ok)
            error(QStringLiteral("sarvikctl: %1 is not a number").arg(text));
        return ok;
    };
    auto needOutput = [&] {
        if (!FOptions.Output.isEmpty())
            return true;
        error(QStringLiteral("sarvikctl: %1 needs -o FILE").arg(name));
        return false;
    };

    if (name == QLatin1String("list"))
        return operands(0) ? cmdList() : ceUsage;
    if (name == QLatin1String("status"))
        return operands(0) ? cmdStatus() : ceUsage;
    if (name == QLatin1String("presets")) {
        if (c.size() == 1)
            return cmdPresets();
        if (c.size() == 3 && c.at(1) == QLatin1String("export"))
            return cmdPresetsExport(c.at(2));
        if (c.size() == 3 && c.at(1) == QLatin1String("import"))
            return cmdPresetsImport(c.at(2));
        error(QStringLiteral("sarvikctl: presets [export FILE.svk | import FILE.svk]"));
        return ceUsage;
    }
    if (name == QLatin1String("start")) {
        int n = 0;
        if (!operands(1) || !number(c.at(1), n))
            return ceUsage;
        if (n < 1 || n > kPresetCount) {
            error(QStringLiteral("sarvikctl: presets are numbered 1 to %1").arg(kPresetCount));
            return ceUsage;
        }
        return cmdStart(n);
    }
    if (name == QLatin1String("stop"))
        return operands(0) ? cmdStop() : ceUsage;
    if (name == QLatin1String("records"))
        return operands(0) && needOutput() ? cmdRecords() : ceUsage;
    if (name == QLatin1String("log")) {
        int n = 0;
        if (!operands(1) || !number(c.at(1), n) || !needOutput())
            return ceUsage;
        return cmdLog(n);
    }
    if (name == QLatin1String("send"))
        return operands(1) ? cmdSend(c.at(1)) : ceUsage;
    if (name == QLatin1String("readback"))
        return operands(1) && needOutput() ? cmdReadback(c.at(1)) : ceUsage;
    if (name == QLatin1String("flash"))
        return operands(1) ? cmdFlash(c.at(1)) : ceUsage;
    error(QStringLiteral("sarvikctl: unknown command %1\n\n").arg(name) + CtlUsage());
    return ceUsage;
}

// ---- list, status ----

int TCtlRun::cmdList()
{
    const int vid = FSession->Connection().UsbVid();
    const int pid = FSession->Connection().UsbPid();
    QList<TUSBDev> devices;
    waitFor(
        [&] {
            devices = FSession->Discovery().FindDevices(vid, pid);
            return !devices.isEmpty();
        },
        FOptions.Demo ? kFindTimeoutMs : 0);
    if (devices.isEmpty()) {
        error(Tr("Kein Sarvik2V2 gefunden"));
        return ceNoDevice;
    }
    for (const TUSBDev& d : devices) {
        const QString ids = QString::asprintf("%04x:%04x", d.vid, d.pid);
        if (FOptions.Json)
            jsonResult({{QStringLiteral("serial"), d.serialNo}, {QStringLiteral("port"), d.comPort},
                        {QStringLiteral("vid"), d.vid}, {QStringLiteral("pid"), d.pid}});
        else
            result(QStringLiteral("%1\t%2\t%3").arg(d.serialNo, d.comPort, ids));
    }
    return ceDone;
}

int TCtlRun::cmdStatus()
{
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    auto show = [this] {
        TDeviceStatus& status = FSession->Status();
        const TStatusValues& v = status.Values();
        const TDeviceState& d = FContext.Device;
        const QStringList alarms = DeviceErrorTexts(d);
        const QString state = status.StateDisplay().Text;
        if (FOptions.Json) {
            jsonResult({
                {QStringLiteral("serial"), d.SerialNo},
                {QStringLiteral("firmware"), d.FirmwareText},
                {QStringLiteral("hardware"), d.HardwareVersion},
                {QStringLiteral("online"), FContext.Online},
                {QStringLiteral("state"), d.DeviceState},
                {QStringLiteral("state_text"), state},
                {QStringLiteral("sampling"), d.Sampling},
                {QStringLiteral("battery_percent"), d.BatteryPercent},
                {QStringLiteral("battery_voltage"), d.BatteryVoltage},
                {QStringLiteral("battery"), v.BatteryText.trimmed()},
                {QStringLiteral("temperature"), v.Temperature.trimmed()},
                {QStringLiteral("humidity"), v.Humidity.trimmed()},
                {QStringLiteral("pressure"), v.Pressure.trimmed()},
                {QStringLiteral("run_time"), v.TotalRunTime.trimmed()},
                {QStringLiteral("total_volume"), v.TotalVolume.trimmed()},
                {QStringLiteral("alarms"), QJsonArray::fromStringList(alarms)},
            });
            return;
        }
        if (FOptions.Watch) {
            result(QStringLiteral("%1  %2  %3  %4 %5  %6 %7  %8%9")
                       .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), d.SerialNo, state,
                            v.BatteryText.trimmed(), v.Temperature.trimmed(), v.TemperatureUnit, v.Humidity.trimmed(),
                            v.HumidityUnit,
                            alarms.isEmpty() ? QString() : QStringLiteral("  ALARM: ") + alarms.join(QStringLiteral(", "))));
            return;
        }
        const auto line = [this](const char* caption, const QString& value) {
            result(QStringLiteral("%1 %2").arg(Tr(caption) + QLatin1Char(':'), -18).arg(value.trimmed()));
        };
        line(TrNoop("Serien-Nr."), d.SerialNo);
        line(TrNoop("Firmware"), v.FirmwareText);
        line(TrNoop("Hardware"), d.HardwareVersion);
        line(TrNoop("Gerätestatus"), state);
        line(TrNoop("Akku"), v.BatteryText);
        line(TrNoop("Temperatur"), (v.Temperature + QLatin1Char(' ') + v.TemperatureUnit).trimmed());
        line(TrNoop("Feuchte"), (v.Humidity + QLatin1Char(' ') + v.HumidityUnit).trimmed());
        line(TrNoop("Luftdruck"), v.Pressure.trimmed().isEmpty() ? QString() : v.Pressure.trimmed() + QStringLiteral(" mbar"));
        line(TrNoop("Laufzeit"), v.TotalRunTime);
        line(TrNoop("Gesamtvolumen"), v.TotalVolume);
        line(TrNoop("Alarme"), alarms.isEmpty() ? Tr("keine") : alarms.join(QStringLiteral(", ")));
    };
    if (!FOptions.Watch) {
        show();
        return ceDone;
    }
    while (true) {
        show();
        QElapsedTimer second;
        second.start();
        const TWait w = waitFor([&] { return second.elapsed() >= 1000; }, -1);
        if (w == TWait::Interrupted)
            return ceInterrupted;
        if (!FContext.Online) {
            // Shown as the program does: offline, then back when the device answers again.
            show();
            const TWait back = waitFor([this] { return FContext.Online; }, -1);
            if (back == TWait::Interrupted)
                return ceInterrupted;
        }
    }
}

// ---- presets, start, stop ----

bool TCtlRun::loadPresets(TBedienLogic& logic, TCtlClient& client)
{
    int answers = 0;
    client.OnAnswer = [&](int status, int tag, const QString& data) {
        if (data.startsWith(QLatin1String("TSP")) || status != kOrderDone)
            ++answers;
        logic.RXData(status, tag, data);
    };
    logic.btnAktPresetsClick();
    const TWait w = waitFor([&] { return answers >= kPresetCount || !FContext.Online; }, kAnswerTimeoutMs * 2);
    client.OnAnswer = [&logic](int status, int tag, const QString& data) { logic.RXData(status, tag, data); };
    return w == TWait::Done && FContext.Online;
}

namespace {

QJsonObject presetJson(const TPreSet& p)
{
    QJsonArray channels;
    for (const TSampleSet& s : p.aSet) {
        channels.append(QJsonObject{
            {QStringLiteral("active"), s.bActive},
            {QStringLiteral("flow"), static_cast<double>(RoundHalfEven(s.fFlow * 100.0)) / 100.0},
            {QStringLiteral("flow_unit"), FlowUnitText(s.iVolType)},
            {QStringLiteral("volume"), static_cast<double>(RoundHalfEven(s.fVolume * 10.0)) / 10.0},
            {QStringLiteral("volume_unit"), VolumeUnitText(s.iVolType)},
            {QStringLiteral("time_s"), static_cast<qint64>(s.iTime)},
            {QStringLiteral("delay_s"), static_cast<qint64>(s.iDelay)},
            {QStringLiteral("interval_mode"), s.bIntervalMode},
            {QStringLiteral("interval_min"), static_cast<qint64>(s.iSetTime)},
            {QStringLiteral("flow_monitor"), s.bFlowMonitor},
        });
    }
    return {{QStringLiteral("number"), static_cast<qint64>(p.ilfdNr)},
            {QStringLiteral("name"), p.strBez},
            {QStringLiteral("log_interval_s"), static_cast<qint64>(p.iLoginterv)},
            {QStringLiteral("channels"), channels}};
}

}  // namespace

int TCtlRun::connectAndLoadPresets(TBedienLogic& logic)
{
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    TCtlClient client(kPresetClient);
    FSession->AddClient(&client);
    const bool loaded = loadPresets(logic, client);
    FSession->RemoveClient(&client);
    if (CtlInterrupted())
        return ceInterrupted;
    if (!loaded) {
        error(Tr("Funktion nur online möglich"));
        return ceDevice;
    }
    return ceDone;
}

int TCtlRun::cmdPresets()
{
    TBedienLogic logic(FContext);
    if (const int rc = connectAndLoadPresets(logic); rc != ceDone)
        return rc;
    const TFormatSettings& fmt = FmtDisplay();
    for (const TPreSet& p : logic.Presets()) {
        if (p.ilfdNr < 1)
            continue;
        if (FOptions.Json) {
            jsonResult(presetJson(p));
            continue;
        }
        QStringList parts;
        for (int ch = 0; ch < 2; ++ch) {
            const TSampleSet& s = p.aSet[static_cast<size_t>(ch)];
            if (!s.bActive) {
                parts << QStringLiteral("K%1 %2").arg(ch + 1).arg(Tr("inaktiv"));
                continue;
            }
            parts << QStringLiteral("K%1 %2 %3, %4 %5, %6").arg(ch + 1)
                         .arg(fmt.FormatFloat(s.fFlow, 2), FlowUnitText(s.iVolType), fmt.FormatFloat(s.fVolume, 1),
                              VolumeUnitText(s.iVolType), FormatDuration(static_cast<int>(EffectiveSampleTime(p, ch))));
        }
        result(QStringLiteral("%1  %2  %3").arg(p.ilfdNr, 2).arg(p.strBez, -20).arg(parts.join(QStringLiteral("  "))));
    }
    return ceDone;
}

int TCtlRun::runOperation(const std::function<void(TBedienLogic&)>& action, bool needPresets)
{
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    TBedienLogic logic(FContext);
    TCtlClient client(kPresetClient);
    client.OnAnswer = [&logic](int status, int tag, const QString& data) { logic.RXData(status, tag, data); };
    FSession->AddClient(&client);
    int rc = ceDone;
    if (needPresets && !loadPresets(logic, client)) {
        rc = CtlInterrupted() ? ceInterrupted : ceDevice;
        if (rc == ceDevice)
            error(Tr("Funktion nur online möglich"));
    }
    if (rc == ceDone) {
        QObject scope;
        QString text;
        bool alarm = false;
        bool told = false;
        QObject::connect(&logic, &TBedienLogic::Status, &scope, [&](const QString& t, bool a) {
            text = t;
            alarm = a;
            told = true;
        });
        action(logic);
        // Not interruptible: the order is out, its answer decides.
        const TWait w = waitFor([&] { return told || !FContext.Online; }, kAnswerTimeoutMs, false);
        if (w == TWait::Timeout || !told) {
            error(Tr("Funktion nur online möglich"));
            rc = ceDevice;
        } else if (alarm) {
            error(text);
            rc = ceDevice;
        } else if (FOptions.Json) {
            jsonResult({{QStringLiteral("result"), text}});
        } else {
            info(text);
        }
    }
    FSession->RemoveClient(&client);
    return rc;
}

int TCtlRun::cmdStart(int preset)
{
    return runOperation(
        [preset](TBedienLogic& logic) {
            logic.cbPresetSelect(static_cast<int>(logic.EntryPresets().indexOf(preset)));
            logic.actStartExecute();
        },
        true);
}

int TCtlRun::cmdStop()
{
    return runOperation([](TBedienLogic& logic) { logic.actStopExecute(); }, false);
}

// ---- records, log ----

namespace {

enum class TOutputKind { Csv, Workbook, Unknown };

TOutputKind FileKindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return TOutputKind::Csv;
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
        return TOutputKind::Workbook;
    return TOutputKind::Unknown;
}

// Header lines as the card writes them; the loader skips lines starting with these words.
const char kRecordHeader[] =
    "record status;sample number;date;time;logging;alarm;climate state;temperature;humidity;air pressure;"
    "ch1 status;ch1 error;ch1 start date;ch1 start time;ch1 flags;ch1 set flow;ch1 set volume;ch1 set time;"
    "ch1 flow monitor;ch1 volume;ch1 sampling time;"
    "ch2 status;ch2 error;ch2 start date;ch2 start time;ch2 flags;ch2 set flow;ch2 set volume;ch2 set time;"
    "ch2 flow monitor;ch2 volume;ch2 sampling time";
const char kLogHeader[] = "date;time;flow 1;flow 2;flow monitor 1;flow monitor 2;climate state;temperature;humidity;air pressure";

bool writeLines(const QString& path, const QString& header, const QStringList& lines, QString& why)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    QByteArray text = header.toLatin1() + kLineEnd;
    for (const QString& line : lines)
        text += line.toLatin1() + kLineEnd;
    file.write(text);
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

}  // namespace

int TCtlRun::downloadRecords(TProbedatenLogic& logic, TCtlClient& client, int newest, QStringList& rawRecords)
{
    QObject scope;  // the connections below end with this function
    bool alarm = false;
    QString last;
    QObject::connect(&logic, &TProbedatenLogic::Status, &scope, [&](const QString& text, bool a) {
        if (text.isEmpty())
            return;
        last = text;
        alarm = a;
    });
    QObject::connect(&logic, &TProbedatenLogic::ViewChanged, &scope, [&] {
        const TProbeControls& c = logic.Controls();
        if (c.ProgressVisible && !c.ProgressMarquee)
            progress(Tr("Probenahmedaten"), c.ProgressPos, c.ProgressMax);
    });
    int options = 0;
    client.OnAnswer = [&](int status, int tag, const QString& data) {
        // The card's record line is the answer's fields from the record status on, as sent.
        if (status == kOrderDone && logic.Downloading() && data.startsWith(QLatin1String("TDR")) &&
            field(data, 2) == QLatin1String("0"))
            rawRecords << data.section(QLatin1Char(';'), 2);
        if (tag > 0)
            ++options;
        logic.RXData(status, tag, data);
    };
    if (newest < 0) {
        logic.btnLadeSarvikClick();
    } else if (FContext.Device.DeviceState == kDeviceStateSampling) {
        error(Tr("Laden während der Probenahme nicht möglich"));
        return ceDevice;
    } else {
        logic.StartRecordDownload(newest);
    }
    bool aborted = false;
    const TWait w = waitFor(
        [&] {
            if (CtlInterrupted() && !aborted) {
                // The next answer ends the download as "Benutzerabbruch".
                logic.btnAbbruchClick();
                aborted = true;
            }
            return !logic.Busy();
        },
        -1, false);
    (void)w;
    endProgress();
    if (aborted) {
        error(last);
        return ceInterrupted;
    }
    if (alarm) {
        error(last);
        return ceDevice;
    }
    info(last);
    // The device facts of the workbook header come after the records.
    if (!logic.Records().empty() && FContext.Online)
        waitFor([&] { return options >= static_cast<int>(logic.Options().size()) || !FContext.Online; },
                kAnswerTimeoutMs);
    if (CtlInterrupted())
        return ceInterrupted;
    return ceDone;
}

int TCtlRun::exportWorkbook(TProbedatenLogic& logic, const std::function<void()>& run)
{
    QObject scope;
    bool alarm = false;
    QString last;
    QObject::connect(&logic, &TProbedatenLogic::Status, &scope, [&](const QString& text, bool a) {
        if (text.isEmpty())
            return;
        last = text;
        alarm = a;
    });
    TSpreadsheetExport& e = logic.Export();
    const QString path = QFileInfo(FOptions.Output).absoluteFilePath();
    e.SaveDialog = [path](const QString&, const QString&, const QString&, const QString&) { return path; };
    e.Question = [](const QString&) { return 0; };
    e.OpenDocument = nullptr;
    e.Box = [this](const QString& text) { error(text); };
    run();
    waitFor([&] { return !logic.Busy(); }, -1, false);
    if (alarm || !QFileInfo::exists(path)) {
        error(last);
        return ceDevice;
    }
    info(last);
    return ceDone;
}

int TCtlRun::cmdRecords()
{
    const TOutputKind kind = FileKindOf(FOptions.Output);
    if (kind == TOutputKind::Unknown) {
        error(QStringLiteral("sarvikctl: %1: the file must end in .csv, .xlsx or .xlsm").arg(FOptions.Output));
        return ceUsage;
    }
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    TProbedatenLogic logic(FContext);
    TCtlClient client(ciProbedaten);
    client.OnLine = [&logic](int online) { logic.SetOnOffLine(online); };
    FSession->AddClient(&client);
    logic.FormShow();
    logic.SetOnOffLine(1);
    logic.SetRecordLimit(FOptions.Last);
    QStringList raw;
    int rc = downloadRecords(logic, client, -1, raw);
    if (rc == ceDone && logic.Records().empty()) {
        FSession->RemoveClient(&client);
        return ceDone;
    }
    if (rc == ceDone) {
        if (kind == TOutputKind::Csv) {
            QString why;
            if (!writeLines(FOptions.Output, QString::fromLatin1(kRecordHeader), raw, why)) {
                error(QStringLiteral("%1: %2").arg(FOptions.Output, why));
                rc = ceDevice;
            }
        } else {
            rc = exportWorkbook(logic, [&logic] {
                logic.SelectAll();
                logic.ExportSamples();
            });
        }
    }
    if (rc == ceDone && FOptions.Json) {
        QJsonArray numbers;
        for (const T_SAMPLEDATA& r : logic.Records())
            numbers.append(r.uiNummer);
        jsonResult({{QStringLiteral("file"), FOptions.Output},
                    {QStringLiteral("records"), static_cast<int>(logic.Records().size())},
                    {QStringLiteral("numbers"), numbers}});
    }
    FSession->RemoveClient(&client);
    return rc;
}

int TCtlRun::cmdLog(int number)
{
    const TOutputKind kind = FileKindOf(FOptions.Output);
    if (kind == TOutputKind::Unknown || number < 0) {
        error(QStringLiteral("sarvikctl: %1: the file must end in .csv, .xlsx or .xlsm").arg(FOptions.Output));
        return ceUsage;
    }
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    TProbedatenLogic logic(FContext);
    TCtlClient client(ciProbedaten);
    client.OnLine = [&logic](int online) { logic.SetOnOffLine(online); };
    FSession->AddClient(&client);
    logic.FormShow();
    logic.SetOnOffLine(1);
    // Only the run asked for: a download of one record, starting at its number.
    logic.SetRecordLimit(1);
    QStringList raw;
    int rc = downloadRecords(logic, client, number, raw);
    if (rc != ceDone) {
        FSession->RemoveClient(&client);
        return rc;
    }
    logic.SelectRow(0);
    if (logic.CurrentRecord() < 0) {
        error(Tr("Keine Log-Daten vorhanden"));
        FSession->RemoveClient(&client);
        return ceDevice;
    }

    QObject scope;
    bool alarm = false;
    QString last;
    QObject::connect(&logic, &TProbedatenLogic::Status, &scope, [&](const QString& text, bool a) {
        if (text.isEmpty())
            return;
        last = text;
        alarm = a;
    });
    QStringList entries;
    client.OnAnswer = [&](int status, int tag, const QString& data) {
        if (status == kOrderDone && logic.LogDownloading() && data.startsWith(QLatin1String("TDN")) &&
            field(data, 3) != QLatin1String("0")) {
            entries << data.section(QLatin1Char(';'), 3);
            progress(Tr("Log"), static_cast<int>(entries.size()), 0);
        }
        logic.RXData(status, tag, data);
    };
    bool exportAsked = false;
    int exportIndex = -1;
    logic.SetQuestion([](const QString&) { return false; });  // a partial log is not exported
    // Taken up after the download, from here, not from inside the logic's queued call.
    logic.SetLogExport([&](int index) {
        exportAsked = true;
        exportIndex = index;
    });
    logic.btnProbeExcelClick();
    bool aborted = false;
    waitFor(
        [&] {
            if (CtlInterrupted() && !aborted) {
                logic.btnAbbruchClick();
                aborted = true;
            }
            return !logic.Busy() && (exportAsked || alarm || aborted || !logic.LogDownloading());
        },
        -1, false);
    // The export is queued behind the download's end.
    waitFor([&] { return exportAsked || alarm; }, 500, false);
    endProgress();
    if (aborted) {
        error(last);
        rc = ceInterrupted;
    } else if (alarm || !exportAsked) {
        error(last);
        rc = ceDevice;
    } else if (kind == TOutputKind::Csv) {
        QString why;
        info(last);
        if (!writeLines(FOptions.Output, QString::fromLatin1(kLogHeader), entries, why)) {
            error(QStringLiteral("%1: %2").arg(FOptions.Output, why));
            rc = ceDevice;
        }
    } else {
        info(last);
        rc = exportWorkbook(logic, [&logic, exportIndex] { logic.ExportLog(exportIndex); });
    }
    if (rc == ceDone && FOptions.Json)
        jsonResult({{QStringLiteral("file"), FOptions.Output}, {QStringLiteral("record"), number},
                    {QStringLiteral("entries"), static_cast<int>(entries.size())}});
    FSession->RemoveClient(&client);
    return rc;
}

// ---- preset files ----

bool TCtlRun::confirm(const QString& question)
{
    if (FOptions.Yes)
        return true;
    if (::isatty(STDIN_FILENO) != 1) {
        error(QStringLiteral("sarvikctl: %1 needs --yes without a terminal").arg(FOptions.Command.first()));
        return false;
    }
    QString text = question;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    err() << text << " [" << Tr("Ja") << '/' << Tr("Nein") << "] " << Qt::flush;
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    return !answer.isEmpty() && (answer.startsWith(Tr("Ja").left(1).toLower()) || answer.startsWith(QLatin1Char('y')) ||
                                 answer.startsWith(QLatin1Char('j')));
}

int TCtlRun::cmdPresetsExport(const QString& file)
{
    TBedienLogic logic(FContext);
    if (const int rc = connectAndLoadPresets(logic); rc != ceDone)
        return rc;
    // The file's decimal separator follows the system, as the device settings window writes it.
    const QString why = ExportPresetFile(file, logic.Presets(), QLocale::system());
    if (!why.isEmpty()) {
        error(why);
        return ceDevice;
    }
    if (FOptions.Json)
        jsonResult({{QStringLiteral("file"), file}, {QStringLiteral("presets"), static_cast<int>(logic.Presets().size())}});
    else
        info(file);
    return ceDone;
}

int TCtlRun::cmdPresetsImport(const QString& file)
{
    TSettingsIni ini;
    QString why;
    if (!LoadPresetFile(file, ini, why)) {
        error(why.isEmpty() ? file : why);
        return ceUsage;
    }
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    if (!confirm(Tr("Die aktuellen Voreinstellungen werden beim Import überschrieben.\r\n\r\nFortfahren?")))
        return ceUsage;
    TBedienLogic logic(FContext);
    TCtlClient reader(kPresetClient);
    FSession->AddClient(&reader);
    const bool loaded = loadPresets(logic, reader);
    FSession->RemoveClient(&reader);
    if (CtlInterrupted())
        return ceInterrupted;
    if (!loaded) {
        error(Tr("Funktion nur online möglich"));
        return ceDevice;
    }
    const TPresetImport imported = ImportPresets(ini, logic.Presets(), MaxFlow(FContext.Device));
    for (const QString& rejection : imported.Rejections)
        ShowSysMessage(rejection, true);
    // The writes go out as the device settings window's orders; each is answered with the preset.
    TCtlClient writer(kPresetClientId);
    int answers = 0;
    int failed = 0;
    writer.OnAnswer = [&](int status, int, const QString&) {
        ++answers;
        if (status != kOrderDone)
            ++failed;
    };
    FSession->AddClient(&writer);
    int sent = 0;
    for (const TPreSet& p : imported.Accepted)
        sent += BuildPresetCommand(p, FContext.Online) ? 1 : 0;
    // Not interruptible: the writes are queued already.
    waitFor([&] { return answers >= sent || !FContext.Online; }, kAnswerTimeoutMs * 2, false);
    FSession->RemoveClient(&writer);
    if (answers < sent || failed > 0 || sent < imported.Accepted.size()) {
        error(Tr("Funktion nur online möglich"));
        return ceDevice;
    }
    if (FOptions.Json)
        jsonResult({{QStringLiteral("file"), file}, {QStringLiteral("written"), sent},
                    {QStringLiteral("rejected"), static_cast<int>(imported.Rejections.size())}});
    else
        info(file);
    return imported.Rejections.isEmpty() ? ceDone : ceDevice;
}

// ---- text configuration ----

int TCtlRun::runTransfer(const QString& file, bool readBack)
{
    TTcLogic logic(FContext);
    bool alarm = false;
    QString last;
    QObject::connect(&logic, &TTcLogic::Status, [&](const QString& text, bool a) {
        if (text.isEmpty())
            return;
        last = text;
        alarm = alarm || a;
        if (a)
            error(text);
    });
    logic.SetDialogs({.openFile = {}, .saveFile = {}, .errorBox = [this](const QString& text) { error(text); }});
    // The same file checks as the window: a file that does not load is refused before anything is sent.
    if (!logic.LoadFile(file, readBack) || alarm)
        return ceUsage;
    if (const int rc = connectDevice(); rc != ceDone)
        return rc;
    TCtlClient client(ciTc);
    client.OnLine = [&logic](int online) { logic.SetOnOffLine(online); };
    client.OnTimer = [&logic](int) { logic.TimerEvent(); };
    client.OnAnswer = [&logic](int status, int tag, const QString& data) { logic.RXData(status, tag, data); };
    FSession->AddClient(&client);
    logic.SetOnOffLine(1);
    QObject::connect(&logic, &TTcLogic::ViewChanged, [&] {
        if (logic.Running())
            progress(readBack ? Tr("Auslesen") : Tr("Übertragen"), logic.ProgressValue(), logic.ProgressMax());
    });
    logic.StartTransfer(readBack ? TTcMode::ReadBack : TTcMode::Send);
    bool cancelled = false;
    waitFor(
        [&] {
            if (CtlInterrupted() && !cancelled) {
                logic.btnAbbrechenClick();
                cancelled = true;
            }
            return !logic.Busy();
        },
        -1, false);
    endProgress();
    FSession->RemoveClient(&client);
    if (cancelled)
        return ceInterrupted;
    if (alarm || logic.Aborted())
        return ceDevice;
    if (readBack) {
        if (!logic.SaveFile(FOptions.Output) || alarm)
            return ceDevice;
    }
    if (FOptions.Json)
        jsonResult({{QStringLiteral("file"), readBack ? FOptions.Output : file},
                    {QStringLiteral("lines"), static_cast<int>(logic.Lines().size())}});
    return ceDone;
}

int TCtlRun::cmdSend(const QString& file)
{
    return runTransfer(file, false);
}

int TCtlRun::cmdReadback(const QString& file)
{
    return runTransfer(file, true);
}

// ---- firmware ----

int TCtlRun::cmdFlash(const QString& file)
{
    if (!QFileInfo(file).isFile()) {
        error(FmtDisplay().Format(Tr("Datei %s konnte nicht gelesen werden"), {file}));
        return ceUsage;
    }
    const int bootVid = FSettings.GetInt(QStringLiteral("Connection/Bootloader/USB_VID"));
    const int bootPid = FSettings.GetInt(QStringLiteral("Connection/Bootloader/USB_PID"));
    if (const int rc = connectDevice(); rc != ceDone) {
        // A device stranded in its bootloader (an update that did not end) is what the
        // procedure recovers: it goes straight to the bootloader then.
        if (rc != ceNoDevice || FSession->Discovery().FindDevices(bootVid, bootPid).isEmpty())
            return rc;
        FSession->StartWorker();
        FSession->StartLink();
    }
    if (!confirm(FmtDisplay().Format(Tr("Firmware aus %s auf Sarvik2V2 %s übertragen?"),
                                     {file, FContext.Device.SerialNo.isEmpty() ? QStringLiteral("[Sarvik2V2]")
                                                                              : FContext.Device.SerialNo})))
        return ceUsage;
    TfRS232& serial = FSession->Serial();
    TDeviceDiscovery& discovery = FSession->Discovery();
    TUpdateEnv e;
    e.isOnline = [this] { return FContext.Online; };
    e.sendOrder = [](int clientId, const QString& command, int tag) { SendOrder(clientId, command, tag); };
    e.disconnect = [this] { FSession->Connection().Disconnect(); };
    e.startConnecting = [this] { FSession->Connection().StartConnecting(); };
    e.setOffline = [this] { FSession->SetOnOffline(false); };
    e.isDevicePresent = [&discovery](int vid, int pid, const QString& serialNo) {
        return discovery.IsDevicePresent(vid, pid, serialNo);
    };
    e.getPortName = [&discovery](int vid, int pid, const QString& serialNo) {
        return discovery.GetPortName(vid, pid, serialNo);
    };
    e.openPort = [&serial](const QString& port) {
        if (serial.RS232Open(port))
            return TPortOpenResult::Opened;
        return serial.RS232LastOpenError() == QSerialPort::PermissionError ? TPortOpenResult::PermissionDenied
                                                                            : TPortOpenResult::Failed;
    };
    e.closePort = [&serial] { serial.RS232Open(QString()); };
    e.drainPort = [&serial] { serial.RS232Drain(500); };
    e.purge = [&serial] { serial.RS232Purge(); };
    e.send = [&serial](const QByteArray& bytes) { return serial.RS232Send(bytes); };
    e.expectBytes = [&serial](int count) { serial.RS232ExpectBytes(count); };
    e.getData = [&serial](QByteArray& data) { return serial.RS232GetData(data); };
    e.resetReceive = [&serial] { serial.RS232ResetReceive(); };
    bool failed = false;
    e.log = [this, &failed](const QString& text, TLogColour colour) {
        if (colour == TLogColour::Red) {
            failed = true;
            error(text);
        } else {
            info(text);
        }
    };
    TUpdateMachine machine(std::move(e));
    machine.SetBootloaderIds(bootVid, bootPid);
    machine.SetFileName(file);
    TCtlClient client(ciUpdate);
    client.OnAnswer = [&machine](int status, int tag, const QString& data) { machine.RXData(status, tag, data); };
    FSession->AddClient(&client);
    QElapsedTimer clock;
    clock.start();
    // The procedure keeps its own pace: every millisecond from the bootloader on.
    QTimer step;
    step.setTimerType(Qt::PreciseTimer);
    QObject::connect(&step, &QTimer::timeout, [&] {
        machine.tick(clock.elapsed());
        const int interval = machine.View().FastTimer ? 1 : 10;
        if (step.interval() != interval)
            step.setInterval(interval);
        if (machine.View().ProgressVisible)
            progress(Tr("Firmware"), machine.View().Progress, 100);
    });
    serial.SetBlockCompleteHandler([&] {
        QMetaObject::invokeMethod(&step, [&] { machine.tick(clock.elapsed()); }, Qt::QueuedConnection);
    });
    if (!machine.Start()) {
        FSession->RemoveClient(&client);
        serial.SetBlockCompleteHandler({});
        return ceDevice;
    }
    step.start(10);
    bool cancelled = false;
    waitFor(
        [&] {
            if (CtlInterrupted() && !cancelled) {
                machine.Cancel();
                cancelled = true;
            }
            return !machine.Running();
        },
        -1, false);
    step.stop();
    serial.SetBlockCompleteHandler({});
    endProgress();
    FSession->RemoveClient(&client);
    if (cancelled)
        return ceInterrupted;
    if (!machine.Succeeded() || failed)
        return ceDevice;
    if (FOptions.Json)
        jsonResult({{QStringLiteral("file"), file}, {QStringLiteral("blocks"), machine.Block()}});
    return ceDone;
}
