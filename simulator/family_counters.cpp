// Service counters (GLS/SLS, GLO/SLO, GLP/SLP, GLV/SLV, GLI/SLI, GLC/SLC, GLR/SLR, GMM/SMM).
// Every set answers with its read layout.

#include "commandtable.h"
#include "counterstate.h"
#include "devicemodel.h"
#include "families.h"

#include <QRegularExpression>

namespace {

constexpr int kMaxPersoLength = 25;
constexpr int kFirstFeatureRow = 25;  // adjustment rows 25 and 26 exist from firmware 3.3.0

int classIndex(int loadClass)
{
    switch (loadClass) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    default: return -1;
    }
}

QStringList hoursAnswer(const TDeviceModel& m, int loadClass)
{
    const auto& h = m.FCounters.aHoursS;
    const qint64 s = loadClass == 7 ? h[0] + h[1] + h[2] : h[static_cast<size_t>(classIndex(loadClass))];
    return {QString::number(loadClass), CounterDuration(s)};
}

// Digits only, no sign: a counter value.
bool counterParam(const QStringList& p, int index, qint64& value)
{
    if (index >= p.size() || p.at(index).isEmpty())
        return false;
    for (QChar c : p.at(index)) {
        if (!c.isDigit())
            return false;
    }
    bool ok = false;
    value = p.at(index).toLongLong(&ok);
    return ok && value <= 0x7FFFFFFF;
}

bool parseDuration(const QString& text, qint64& seconds)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,7}):([0-5]\\d):([0-5]\\d)$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    seconds = m.captured(1).toLongLong() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
    return true;
}

int adjustRows(const TDeviceModel& m)
{
    return FirmwareNumber(m.FIdentity.strFirmware) >= 30300 ? 27 : kFirstFeatureRow;
}

QStringList entryAnswer(int row, const TSimCounterEntry& e)
{
    return {QString::number(row), QString::number(e.iCount), e.strDate};
}

// Channel parameter of GLV/GLI ("GLV;0;" ends with ";", so a last empty parameter is allowed).
bool channelParam(const QStringList& p, int& c)
{
    return (p.size() == 1 || (p.size() == 2 && p.at(1).isEmpty())) && IntParamIn(p, 0, 0, 1, c);
}

}  // namespace

QString CounterDuration(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void RegisterCounterCommands(TCommandTable& table)
{
    table.add(QStringLiteral("GLS"), [](TDeviceModel& m, const QStringList&) { return QStringList{m.FIdentity.strSerial}; });
    table.add(QStringLiteral("SLS"), [](TDeviceModel& m, const QStringList& p) {
        static const QRegularExpression serial(QStringLiteral("^[\\x21-\\x7e]{6,9}$"));
        if (p.size() != 1 || !serial.match(p.at(0)).hasMatch())
            return QStringList{};
        m.FIdentity.strSerial = p.at(0);
        m.noteActivity();
        return QStringList{m.FIdentity.strSerial};
    });
    table.add(QStringLiteral("GLO"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        if (p.size() != 1 || !IntParam(p, 0, c) || (classIndex(c) < 0 && c != 7))
            return QStringList{};
        return hoursAnswer(m, c);
    });
    table.add(QStringLiteral("SLO"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        qint64 s = 0;
        if (p.size() != 2 || !IntParam(p, 0, c) || classIndex(c) < 0 || !parseDuration(p.at(1), s))
            return QStringList{};
        m.FCounters.aHoursS[static_cast<size_t>(classIndex(c))] = s;
        m.noteActivity();
        return hoursAnswer(m, c);
    });
    table.add(QStringLiteral("GLP"), [](TDeviceModel& m, const QStringList& p) {
        int n = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 3, n))
            return QStringList{};
        return QStringList{QString::number(n), m.FCounters.aPerso[static_cast<size_t>(n)]};
    });
    table.add(QStringLiteral("SLP"), [](TDeviceModel& m, const QStringList& p) {
        int n = 0;
        if (p.size() != 2 || !IntParamIn(p, 0, 0, 3, n) || p.at(1).size() > kMaxPersoLength)
            return QStringList{};
        m.FCounters.aPerso[static_cast<size_t>(n)] = p.at(1);
        m.noteActivity();
        return QStringList{QString::number(n), p.at(1)};
    });
    for (const auto& [read, write, field] : {std::tuple{"GLV", "SLV", &TSimCounters::aVolume},
                                             std::tuple{"GLI", "SLI", &TSimCounters::aServo}}) {
        table.add(QString::fromLatin1(read), [field = field](TDeviceModel& m, const QStringList& p) {
            int c = 0;
            if (!channelParam(p, c))
                return QStringList{};
            return QStringList{QString::number(c), QString::number((m.FCounters.*field)[static_cast<size_t>(c)])};
        });
        table.add(QString::fromLatin1(write), [field = field](TDeviceModel& m, const QStringList& p) {
            int c = 0;
            qint64 v = 0;
            if (p.size() != 2 || !IntParamIn(p, 0, 0, 1, c) || !counterParam(p, 1, v))
                return QStringList{};
            (m.FCounters.*field)[static_cast<size_t>(c)] = v;
            m.noteActivity();
            return QStringList{QString::number(c), QString::number(v)};
        });
    }
    table.add(QStringLiteral("GLC"), [](TDeviceModel& m, const QStringList& p) {
        int row = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, adjustRows(m) - 1, row))
            return QStringList{};
        return entryAnswer(row, m.FCounters.aAdjust[static_cast<size_t>(row)]);
    });
    table.add(QStringLiteral("SLC"), [](TDeviceModel& m, const QStringList& p) {
        int row = 0;
        qint64 v = 0;
        if (p.size() != 2 || !IntParamIn(p, 0, 0, adjustRows(m) - 1, row) || !counterParam(p, 1, v))
            return QStringList{};
        TSimCounterEntry& e = m.FCounters.aAdjust[static_cast<size_t>(row)];
        e.iCount = static_cast<int>(v);
        e.strDate = m.deviceClock().date().toString(QStringLiteral("dd.MM.yyyy"));
        m.noteActivity();
        return entryAnswer(row, e);
    });
    table.add(QStringLiteral("GLR"), [](TDeviceModel& m, const QStringList& p) {
        int row = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 7, row))
            return QStringList{};
        return entryAnswer(row, m.FCounters.aEvent[static_cast<size_t>(row)]);
    });
    table.add(QStringLiteral("SLR"), [](TDeviceModel& m, const QStringList& p) {
        int row = 0;
        qint64 v = 0;
        if (p.size() != 2 || !IntParamIn(p, 0, 0, 7, row) || !counterParam(p, 1, v))
            return QStringList{};
        TSimCounterEntry& e = m.FCounters.aEvent[static_cast<size_t>(row)];
        e.iCount = static_cast<int>(v);
        e.strDate = m.deviceClock().date().toString(QStringLiteral("dd.MM.yyyy"));
        m.noteActivity();
        return entryAnswer(row, e);
    });
    table.add(QStringLiteral("GMM"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        return QStringList{QString::number(m.FCounters.iMonitorFlags)};
    });
    table.add(QStringLiteral("SMM"), [](TDeviceModel& m, const QStringList& p) {
        int flags = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 255, flags))
            return QStringList{};
        m.FCounters.iMonitorFlags = flags;
        m.noteActivity();
        return QStringList{QString::number(flags)};
    });
}
