#include "sampledata.h"

#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"

#include <QFile>

namespace {

constexpr int kKelvinTenthsOffset = 2732;
constexpr int kChannelFieldCount = 11;
constexpr int kRecordFieldCount = 10 + 2 * kChannelFieldCount;  // fields 3 to 34
constexpr int kLogFieldCount = 11;                              // fields 3 to 13

int intAt(const QStringList& f, int i)
{
    if (i < 0 || i >= f.size())
        return 0;
    bool ok = false;
    const int v = f.at(i).trimmed().toInt(&ok);
    return ok ? v : 0;
}

float scaledAt(const QStringList& f, int i, int offset, float divisor)
{
    if (i < 0 || i >= f.size())
        return 0.0f;
    bool ok = false;
    const int v = f.at(i).trimmed().toInt(&ok);
    return ok ? static_cast<float>(v - offset) / divisor : 0.0f;
}

QDate dateAt(const QStringList& f, int i)
{
    QDate d;
    if (i >= 0 && i < f.size() && FmtDevice().ParseDate(f.at(i).trimmed(), d))
        return d;
    return {};
}

QTime timeAt(const QStringList& f, int i)
{
    QTime t;
    if (i >= 0 && i < f.size() && FmtDevice().ParseTime(f.at(i).trimmed(), t))
        return t;
    return {};
}

}  // namespace

std::vector<T_OPTIONS> BuildOptionRows()
{
    struct TRow {
        const char* order;
        const char* answer;
        const char* descript;
        int token;
        int row;
        TOptionType typ;
        QString unit;
    };
    const TRow rows[] = {
        {"GIP;0", "TIP", TrNoop("Personalisiert"), 3, 5, otString, {}},
        {"GIP;1", "TIP", "", 3, 6, otString, {}},
        {"GIP;2", "TIP", "", 3, 7, otString, {}},
        {"GIP;3", "TIP", "", 3, 8, otString, {}},
        {"GIN", "TIN", TrNoop("Serien-Nr."), 2, 9, otString, {}},
        {"GIO", "TIO", TrNoop("Laufzeit"), 2, 10, otString, QStringLiteral("hh:mm")},
        {"GIO", "TIO", TrNoop("Gesamtvolumen"), 5, 11, otString, VolumeUnitText(0)},
        {"GCL", "TCL", TrNoop("letzte Kalibrierung am"), 2, 12, otDate, Tr("Datum")},
        {"GCL", "TCL", TrNoop("letzte Kalibrierung bei"), 3, 13, otString, QStringLiteral("hh")},
    };
    std::vector<T_OPTIONS> list;
    for (const TRow& r : rows) {
        T_OPTIONS o;
        o.sOrder = QString::fromLatin1(r.order);
        o.sAnswer = QString::fromLatin1(r.answer);
        o.sDescript = *r.descript ? Tr(r.descript) : QString();
        o.sUnit = r.unit;
        o.iTyp = r.typ;
        o.iToken = r.token;
        o.iRow = r.row;
        list.push_back(o);
    }
    return list;
}

void DecodeRecordFields(const QStringList& f, T_SAMPLEDATA& r)
{
    // Indexes are field numbers minus 3.
    r.uiRecStatus = intAt(f, 0);
    r.uiNummer = intAt(f, 1);
    r.dtDate = dateAt(f, 2);
    r.tmTime = timeAt(f, 3);
    r.bLoggingActive = intAt(f, 4) > 0;
    r.uiAlarm = intAt(f, 5);
    r.iClimateState = intAt(f, 6);
    r.sTemperature = scaledAt(f, 7, kKelvinTenthsOffset, 10.0f);
    r.sHumidity = scaledAt(f, 8, 0, 10.0f);
    r.sAirPressure = scaledAt(f, 9, 0, 10.0f);
    for (int c = 0; c < 2; ++c) {
        T_DATA_CHANNEL& ch = r.aDC[static_cast<size_t>(c)];
        const int b = 10 + c * kChannelFieldCount;
        ch.iStatus = intAt(f, b);
        ch.iError = intAt(f, b + 1);
        ch.dtStartDate = dateAt(f, b + 2);
        ch.tmStartTime = timeAt(f, b + 3);
        ch.iSetFlags = intAt(f, b + 4);
        ch.fSetFlow = scaledAt(f, b + 5, 0, 100.0f);
        ch.fSetVolume = scaledAt(f, b + 6, 0, 10.0f);
        ch.iSetTime = intAt(f, b + 7);
        ch.iFlowFlag = intAt(f, b + 8);
        ch.fVolume = scaledAt(f, b + 9, 0, 100.0f);
        ch.tSampleTime = intAt(f, b + 10);
    }
    static_assert(10 + 2 * kChannelFieldCount == kRecordFieldCount);
}

void DecodeLogFields(const QStringList& f, T_SAMPLELOG& e)
{
    // Indexes are field numbers minus 3.
    e.iStatus = intAt(f, 0);
    e.dtDate = dateAt(f, 1);
    e.tmTime = timeAt(f, 2);
    e.sFlow[0] = scaledAt(f, 3, 0, 10000.0f);
    e.sFlow[1] = scaledAt(f, 4, 0, 10000.0f);
    e.iFlowFlag[0] = intAt(f, 5);
    e.iFlowFlag[1] = intAt(f, 6);
    e.iClimateState = intAt(f, 7);
    e.sTemperature = scaledAt(f, 8, kKelvinTenthsOffset, 10.0f);
    e.sHumidity = scaledAt(f, 9, 0, 10.0f);
    e.sAirPressure = scaledAt(f, 10, 0, 10.0f);
    static_assert(kLogFieldCount == 11);
}

QString SampleStatusText(int iStatus, int iError, int uiAlarm)
{
    switch (iStatus) {
    case 1: return Tr("Erfolgreich");
    case 2: return Tr("Bedienerabbruch");
    case 4: return Tr("Inaktiv");
    case 3: break;
    default: return Tr("Unbekannt");
    }
    if (iError & 1)
        return Tr("Strömungssensor gestört");
    if (iError & 4)
        return Tr("Temperatursensor gestört");
    static const char* const alarms[] = {
        TrNoop("Unbekannter Fehler"),       TrNoop("Akku entladen"),           TrNoop("Luftstrom blockiert"),
        TrNoop("Motorstörung"),             TrNoop("Diff.drucksensor gestört"), TrNoop("Abs.drucksensor gestört"),
        TrNoop("Temperatursensor gestört"),
    };
    if (uiAlarm >= 0 && uiAlarm < static_cast<int>(std::size(alarms)))
        return Tr(alarms[uiAlarm]);
    return Tr("Unbekannt");
}

QColor SampleStatusColor(const T_DATA_CHANNEL& ch)
{
    if (ch.iStatus == 3)
        return kStatusError;
    if ((ch.iSetFlags & kFlagFlowMonitor) && ch.iFlowFlag != 1)
        return kStatusFlowWarn;
    if (ch.iStatus == 1)
        return kStatusSuccess;
    if (ch.iStatus == 2)
        return kStatusStopped;
    return kSilver;
}

QString FlowMonitorText(const T_DATA_CHANNEL& ch)
{
    if (!(ch.iSetFlags & kFlagFlowMonitor) || ch.iError != 0)
        return Tr("inaktiv");
    if (ch.iFlowFlag & 1)
        return Tr("innerhalb Toleranz");
    const bool low = ch.iFlowFlag & 2;
    const bool high = ch.iFlowFlag & 4;
    if (low && high)
        return Tr("Min & Max");
    if (low)
        return Tr("Kleiner Min!");
    if (high)
        return Tr("Größer Max!");
    return {};
}

QColor FlowMonitorColor(const T_DATA_CHANNEL& ch)
{
    if (!(ch.iSetFlags & kFlagFlowMonitor))
        return kSilver;
    return ch.iFlowFlag == 1 ? kStatusSuccess : kFlowMonitorBad;
}

QString LogFlowMonitorText(int code)
{
    switch (code) {
    case 0: return Tr("innerhalb Toleranz");
    case 1: return Tr("Kleiner Min!");
    case 2: return Tr("Größer Max!");
    default: return {};
    }
}

bool ReadCardFileLines(const QString& path, QStringList& lines)
{
    lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    for (const QByteArray& raw : bytes.split('\n')) {
        QByteArray line = raw;
        while (line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines << QString::fromLatin1(line);
    }
    return true;
}
