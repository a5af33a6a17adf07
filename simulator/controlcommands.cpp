#include "controlcommands.h"

#include "recordstore.h"
#include "virtualsarvik.h"

#include <QStringList>

namespace {

constexpr int kMaxGarbageBytes = 65536;
constexpr int kMaxDelayMs = 600000;

QString volumeUnit(int volType)
{
    if (volType & 1)
        return QStringLiteral("SL");
    if (volType & 2)
        return QStringLiteral("L");
    return QStringLiteral("NL");
}

QString duration(double seconds)
{
    const qint64 s = static_cast<qint64>(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

bool number(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    value = v;
    return true;
}

QString result(bool ok, const QString& okText, const QString& error)
{
    return ok ? QStringLiteral("ok ") + okText : QStringLiteral("error ") + error;
}

}  // namespace

QString ControlHelpText()
{
    return QStringLiteral(
        "ok commands: alarm <code> [<error word 1> [<error word 2> [<error word 3>]]] | clear | tim <text> | "
        "drop <n> | corrupt <n> | delay <ms> | split <n> | garbage <n> | "
        "faults <drop %> <corrupt %> <split %> [seed] | unplug | plug | poweron | "
        "start <preset> | stop | flow <channel> <NL/min|off> | params <default|second> | "
        "sarcode <n|none> | bootdelay <ms|never> | "
        "bootfault <none|nohandshake|zero K|slow K MS|badsum|vanish K> | flashdump FILE | state | help | "
        RECORDS_CONTROL_HELP);
}

QString DescribeState(TVirtualSarvik& device)
{
    const TSimStatus s = device.status();
    QString text = QStringLiteral("state=%1 %2").arg(s.deviceState).arg(DeviceStateText(s.deviceState));
    text += s.onBus ? QStringLiteral(" bus=on port=%1 tty=%2").arg(s.portPath, s.ttyName)
                    : QStringLiteral(" bus=off");
    if (!s.plugged)
        text += QStringLiteral(" unplugged");
    text += QStringLiteral(" preset=%1 elapsed=%2").arg(s.preset).arg(duration(s.runElapsedS));
    for (int c = 0; c < 2; ++c) {
        const TSimChannelStatus& ch = s.channels[c];
        text += QStringLiteral(" ch%1=%2 %3 flow=%4 volume=%5 %6")
                    .arg(c + 1)
                    .arg(ch.state)
                    .arg(ChannelStateText(ch.state))
                    .arg(ch.flow, 0, 'f', 2)
                    .arg(ch.volume, 0, 'f', 2)
                    .arg(volumeUnit(ch.volType));
    }
    text += s.bootloader ? QStringLiteral(" mode=bootloader") : QStringLiteral(" mode=application");
    text += QStringLiteral(" firmware=%1 blocks=%2 violations=%3").arg(s.firmware).arg(s.blocksReceived).arg(s.violations);
    text += QStringLiteral(" battery=%1% alarm=%2 errors=%3,%4,%5")
                .arg(s.batteryPercent, 0, 'f', 1)
                .arg(s.alarmCode)
                .arg(s.errorWords[0])
                .arg(s.errorWords[1])
                .arg(s.errorWords[2]);
    return text;
}

QString ExecuteControlCommand(TVirtualSarvik& device, const QString& line)
{
    const QString trimmed = line.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const QString name = (blank < 0 ? trimmed : trimmed.left(blank)).toLower();
    const QString rest = blank < 0 ? QString() : trimmed.mid(blank + 1).trimmed();
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString error;

    if (name.isEmpty())
        return QStringLiteral("error empty command (try help)");
    if (name == QLatin1String("help"))
        return ControlHelpText();
    if (name == QLatin1String("state"))
        return QStringLiteral("ok ") + DescribeState(device);
    if (name == QLatin1String("alarm")) {
        int v[4] = {0, 0, 0, 0};
        if (args.isEmpty() || args.size() > 4)
            return QStringLiteral("error usage: alarm <code> [<error word 1> [<error word 2> [<error word 3>]]]");
        for (int i = 0; i < args.size(); ++i) {
            if (!number(args.at(i), 0, 0x7FFFFFFF, v[i]))
                return QStringLiteral("error not a number: %1").arg(args.at(i));
        }
        device.setAlarm(v[0], v[1], v[2], v[3]);
        return QStringLiteral("ok alarm=%1 errors=%2,%3,%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
    }
    if (name == QLatin1String("clear")) {
        device.clearAlarm();
        return QStringLiteral("ok alarm cleared");
    }
    if (name == QLatin1String("tim")) {
        // The text as typed, inner blanks kept.
        return result(device.sendTim(rest, &error), QStringLiteral("sent TIM;") + rest, error);
    }
    if (name == QLatin1String("drop") || name == QLatin1String("corrupt") || name == QLatin1String("split")
        || name == QLatin1String("delay") || name == QLatin1String("garbage")) {
        const int high = name == QLatin1String("delay") ? kMaxDelayMs
                         : name == QLatin1String("garbage") ? kMaxGarbageBytes
                                                             : 1000000;
        int n = 0;
        if (args.size() != 1 || !number(args.at(0), 0, high, n))
            return QStringLiteral("error usage: %1 <0..%2>").arg(name).arg(high);
        if (name == QLatin1String("drop"))
            device.dropNext(n);
        else if (name == QLatin1String("corrupt"))
            device.corruptNext(n);
        else if (name == QLatin1String("split"))
            device.splitNext(n);
        else if (name == QLatin1String("delay"))
            device.setAnswerDelay(n);
        else if (!device.sendGarbage(n, &error))
            return QStringLiteral("error ") + error;
        return QStringLiteral("ok %1 %2").arg(name).arg(n);
    }
    if (name == QLatin1String("faults")) {
        TSimFaultRates rates;
        double* percent[] = {&rates.dropPercent, &rates.corruptPercent, &rates.splitPercent};
        bool ok = args.size() == 3 || args.size() == 4;
        for (int i = 0; ok && i < 3; ++i) {
            *percent[i] = args.at(i).toDouble(&ok);
            ok = ok && *percent[i] >= 0.0 && *percent[i] <= 100.0;
        }
        if (ok && args.size() == 4)
            rates.seed = args.at(3).toUInt(&ok);
        if (!ok)
            return QStringLiteral("error usage: faults <drop 0..100> <corrupt 0..100> <split 0..100> [seed]");
        device.setFaultRates(rates);
        return QStringLiteral("ok faults drop=%1% corrupt=%2% split=%3%")
            .arg(rates.dropPercent)
            .arg(rates.corruptPercent)
            .arg(rates.splitPercent);
    }
    if (name == QLatin1String("unplug"))
        return result(device.unplug(&error), QStringLiteral("unplugged"), error);
    if (name == QLatin1String("plug")) {
        if (!device.plug(&error))
            return QStringLiteral("error ") + error;
        const TSimStatus s = device.status();
        return s.onBus ? QStringLiteral("ok plugged port=%1").arg(s.portPath)
                       : QStringLiteral("ok plugged (device is switched off)");
    }
    if (name == QLatin1String("poweron")) {
        if (!device.powerOn(&error))
            return QStringLiteral("error ") + error;
        const TSimStatus s = device.status();
        return s.onBus ? QStringLiteral("ok switched on port=%1").arg(s.portPath)
                       : QStringLiteral("ok switched on (unplugged)");
    }
    if (name == QLatin1String("start")) {
        int preset = 0;
        if (args.size() != 1 || !number(args.at(0), 1, 10, preset))
            return QStringLiteral("error usage: start <1..10>");
        return result(device.startRun(preset, &error), QStringLiteral("started preset %1").arg(preset), error);
    }
    if (name == QLatin1String("stop"))
        return result(device.stopRun(&error), QStringLiteral("stopped"), error);
    if (name == QLatin1String("flow")) {
        int channel = 0;
        bool ok = args.size() == 2 && number(args.at(0), 1, 2, channel);
        double flow = -1.0;
        if (ok && args.at(1) != QLatin1String("off")) {
            flow = args.at(1).toDouble(&ok);
            ok = ok && flow >= 0.0;
        }
        if (!ok)
            return QStringLiteral("error usage: flow <1..2> <NL/min|off>");
        return result(device.setFlow(channel - 1, flow, &error),
                      flow < 0.0 ? QStringLiteral("flow %1 off").arg(channel)
                                 : QStringLiteral("flow %1 %2").arg(channel).arg(flow, 0, 'f', 3),
                      error);
    }
    bool handled = false;
    const QString records = ExecuteRecordsControlCommand(device, name, args, handled);
    if (handled)
        return records;
    if (name == QLatin1String("params")) {
        if (args.size() != 1)
            return QStringLiteral("error usage: params <default|second>");
        return result(device.applyParameterSet(args.at(0), &error), QStringLiteral("params ") + args.at(0), error);
    }
    if (name == QLatin1String("sarcode")) {
        int code = 0;
        if (args.size() == 1 && args.at(0) == QLatin1String("none"))
            code = -1;
        else if (args.size() != 1 || !number(args.at(0), 0, 255, code))
            return QStringLiteral("error usage: sarcode <0..255|none>");
        device.setRestartAnswer(code);
        return QStringLiteral("ok sarcode %1").arg(args.at(0));
    }
    if (name == QLatin1String("bootdelay")) {
        int ms = 0;
        if (args.size() == 1 && args.at(0) == QLatin1String("never"))
            ms = -1;
        else if (args.size() != 1 || !number(args.at(0), 0, kMaxDelayMs, ms))
            return QStringLiteral("error usage: bootdelay <0..%1|never>").arg(kMaxDelayMs);
        device.setBootDelay(ms);
        return QStringLiteral("ok bootdelay %1").arg(args.at(0));
    }
    if (name == QLatin1String("bootfault")) {
        TBootFaults f;
        const QString kind = args.value(0);
        int k = 0;
        int ms = 0;
        if (kind == QLatin1String("none") && args.size() == 1) {
        } else if (kind == QLatin1String("nohandshake") && args.size() == 1) {
            f.noHandshake = true;
        } else if (kind == QLatin1String("badsum") && args.size() == 1) {
            f.badChecksum = true;
        } else if (kind == QLatin1String("zero") && args.size() == 2 && number(args.at(1), 0, 8191, k)) {
            f.zeroAtBlock = k;
        } else if (kind == QLatin1String("vanish") && args.size() == 2 && number(args.at(1), 0, 8191, k)) {
            f.vanishAtBlock = k;
        } else if (kind == QLatin1String("slow") && args.size() == 3 && number(args.at(1), 0, 8191, k)
                   && number(args.at(2), 0, kMaxDelayMs, ms)) {
            f.slowAtBlock = k;
            f.slowMs = ms;
        } else {
            return QStringLiteral("error usage: bootfault <none|nohandshake|zero K|slow K MS|badsum|vanish K>");
        }
        device.setBootFaults(f);
        return QStringLiteral("ok bootfault ") + args.join(QLatin1Char(' '));
    }
    if (name == QLatin1String("flashdump")) {
        if (rest.isEmpty())
            return QStringLiteral("error usage: flashdump FILE");
        return result(device.dumpFlash(rest, &error), QStringLiteral("flash written to ") + rest, error);
    }
    return QStringLiteral("error unknown command %1 (try help)").arg(name);
}
