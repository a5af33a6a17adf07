#include "recordstore.h"

#include "devicemodel.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr int kKelvinTenths = 2732;
constexpr int kLongLogCount = 8640;
constexpr int kLongLogIntervalS = 10;
constexpr double kLogRestartS = 2.0;
constexpr int kVolTypeBits = 3;
constexpr int kFlagMonitor = 4;
constexpr int kFlagInterval = 8;
constexpr int kFlagActive = 16;

QString dateText(const QDate& d)
{
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

QString timeText(const QTime& t)
{
    return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QString();
}

int tenths(double v)
{
    return static_cast<int>(std::lround(v * 10.0));
}

// A plausible older run, the same for the same number on every start.
TSimRecord seedRecord(int k)
{
    std::mt19937 rnd(static_cast<unsigned>(90001 + k));
    auto between = [&rnd](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rnd); };
    TSimRecord r;
    r.number = k;
    // UTC: a seed of dates needs no time-zone look-ups (and is the same everywhere).
    const QDateTime base(QDate(2025, 6, 2), QTime(7, 30, 0), Qt::UTC);
    const QDateTime start = base.addSecs(static_cast<qint64>(k) * 7 * 3600 + between(0, 1800));
    static constexpr int kStatus1[] = {1, 1, 2, 3, 1, 1, 2, 1};
    static constexpr int kStatus2[] = {4, 1, 4, 2, 3, 4, 1, 4};
    r.channel[0].status = kStatus1[k % 8];
    r.channel[1].status = kStatus2[k % 8];
    if (k == kSimLongLogRecord)
        r.channel[0].status = 1;
    const bool anyError = r.channel[0].status == 3 || r.channel[1].status == 3;
    r.alarm = anyError ? (k / 8) % 7 : 0;
    r.climateState = k % 10 == 4 ? 1 : (k % 10 == 7 ? 2 : 0);
    r.temperature = kKelvinTenths + between(150, 280);
    r.humidity = between(300, 700);
    r.pressure = k % 12 == 5 ? between(0, 10) : between(9500, 10300);
    r.logging = k % 5 != 3 || k == kSimLongLogRecord;
    r.logIntervalS = k == kSimLongLogRecord ? kLongLogIntervalS : 60;
    qint64 longest = 0;
    for (int c = 0; c < 2; ++c) {
        TSimRecordChannel& ch = r.channel[static_cast<size_t>(c)];
        const int volType = (k + c) % 3;
        const bool monitor = (k + c) % 4 == 1;
        const bool interval = k % 6 == 2 && k != kSimLongLogRecord;
        ch.flags = volType + (monitor ? kFlagMonitor : 0) + (interval ? kFlagInterval : 0)
                   + (ch.status != 4 ? kFlagActive : 0);
        ch.setFlow = between(50, 200);
        ch.setVolume = between(10, 240) * 10;
        ch.setTime = interval ? between(60, 240) : 0;
        if (ch.status == 3 && k % 16 == 3)
            ch.error = 1;
        else if (ch.status == 3 && k % 24 == 11)
            ch.error = 4;
        ch.flowBits = monitor ? (k % 9 == 0 ? 2 : (k % 13 == 0 ? 6 : 1)) : 0;
        if (ch.status == 4)
            continue;
        ch.startDate = start.date();
        ch.startTime = start.time();
        const double share = ch.status == 1 ? 1.0 : between(10, 90) / 100.0;
        ch.volume = static_cast<int>(std::lround(ch.setVolume * 10 * share));
        ch.sampleTime = ch.setFlow > 0 ? static_cast<int>(std::lround(ch.volume / double(ch.setFlow) * 60.0)) : 0;
        if (interval)
            ch.sampleTime = std::min(ch.sampleTime, ch.setTime * 60);
        longest = std::max<qint64>(longest, ch.sampleTime);
    }
    if (k == kSimLongLogRecord) {
        // A day of sampling: 8,640 entries at 10 s.
        TSimRecordChannel& ch = r.channel[0];
        ch.setFlow = 100;
        ch.setVolume = 14400;
        ch.volume = 144000;
        ch.sampleTime = kLongLogCount * kLongLogIntervalS;
        longest = ch.sampleTime;
    }
    r.when = start.addSecs(longest);
    if (r.logging)
        r.generatedLogCount = k == kSimLongLogRecord ? kLongLogCount : 5 + k % 40;
    return r;
}

}  // namespace

TSimLogEntry TSimRecord::logEntry(int index) const
{
    if (generatedLogCount <= 0)
        return log.at(static_cast<size_t>(index));
    TSimLogEntry e;
    const TSimRecordChannel& first = channel[0].status != 4 ? channel[0] : channel[1];
    e.when = QDateTime(first.startDate, first.startTime, Qt::UTC).addSecs(static_cast<qint64>(index + 1) * logIntervalS);
    for (size_t c = 0; c < 2; ++c) {
        const TSimRecordChannel& ch = channel[c];
        if (ch.status == 4)
            continue;
        const int wobble = (index * 7919 + number * 31 + static_cast<int>(c) * 17) % 201 - 100;
        e.flow[c] = std::max(0, ch.setFlow * 100 + wobble);
        e.flowCode[c] = (ch.flags & kFlagMonitor) && index % 97 == 50 ? 1 : 0;
    }
    e.climateState = climateState;
    e.temperature = temperature + (index % 11) - 5;
    e.humidity = humidity + (index % 7) - 3;
    e.pressure = pressure;
    return e;
}

QStringList TSimRecordStore::recordFields(const TSimRecord& r)
{
    QStringList f{QString::number(r.recStatus),
                  QString::number(r.number),
                  dateText(r.when.date()),
                  timeText(r.when.time()),
                  QString::number(r.logging ? 1 : 0),
                  QString::number(r.alarm),
                  QString::number(r.climateState),
                  QString::number(r.temperature),
                  QString::number(r.humidity),
                  QString::number(r.pressure)};
    for (const TSimRecordChannel& ch : r.channel) {
        f << QString::number(ch.status) << QString::number(ch.error) << dateText(ch.startDate)
          << timeText(ch.startTime) << QString::number(ch.flags) << QString::number(ch.setFlow)
          << QString::number(ch.setVolume) << QString::number(ch.setTime) << QString::number(ch.flowBits)
          << QString::number(ch.volume) << QString::number(ch.sampleTime);
    }
    return f;
}

QStringList TSimRecordStore::logFields(const TSimLogEntry& e)
{
    return {dateText(e.when.date()),       timeText(e.when.time()),      QString::number(e.flow[0]),
            QString::number(e.flow[1]),    QString::number(e.flowCode[0]), QString::number(e.flowCode[1]),
            QString::number(e.climateState), QString::number(e.temperature), QString::number(e.humidity),
            QString::number(e.pressure)};
}

QStringList TSimRecordStore::answerRecord(const QStringList& params) const
{
    bool ok = false;
    const int n = params.value(0).toInt(&ok);
    const int newest = static_cast<int>(records.size()) - 1;
    int result = 0;
    if (ok && forcedResult.contains(n))
        result = forcedResult.value(n);
    else if (!ok || n < 0 || records.empty())
        result = 3;
    else if (n > newest)
        result = 2;
    if (result != 0)
        return {QString::number(result)};
    return QStringList{QStringLiteral("0")} + recordFields(records[static_cast<size_t>(n)]);
}

QStringList TSimRecordStore::answerLog(const QStringList& params)
{
    bool ok = false;
    const int n = params.value(0).toInt(&ok);
    const auto now = TSteady::now();
    const double sinceLast = std::chrono::duration<double>(now - FLastLogRequest).count();
    FLastLogRequest = now;
    if (!ok || n != FLogNumber || sinceLast > kLogRestartS)
        FLogPos = 0;
    FLogNumber = ok ? n : -1;
    const QString number = QString::number(n);
    if (!ok || n < 0 || n >= static_cast<int>(records.size())) {
        FLogPos = 0;
        return {number, QStringLiteral("0")};
    }
    const TSimRecord& r = records[static_cast<size_t>(n)];
    if (!r.logging || FLogPos >= r.logCount()) {
        FLogPos = 0;
        return {number, QStringLiteral("0")};
    }
    return QStringList{number, QStringLiteral("1")} + logFields(r.logEntry(FLogPos++));
}

QStringList TSimRecordStore::answerDelete(const QStringList& params, bool sampling)
{
    if (params.value(0) != QLatin1String("128") || sampling || forceDeleteFailure)
        return {QStringLiteral("0")};
    records.clear();
    FLogNumber = -1;
    FLogPos = 0;
    return {QStringLiteral("1")};
}

bool TSimRecordStore::writeCard(const QString& dir, QString* error) const
{
    const QString folder = dir + QStringLiteral("/sampling_data");
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    // As the card holds them: the oldest record was written before its firmware added headers,
    // and the log file of the newest logged run is missing.
    int newestLogged = -1;
    for (const TSimRecord& r : records) {
        if (r.logging)
            newestLogged = r.number;
    }
    const QByteArray crlf("\r\n");
    for (const TSimRecord& r : records) {
        QByteArray hist;
        if (r.number != 0) {
            hist += "record status;number;date;time;logging;alarm;climate state;temperature;humidity;pressure";
            for (int c = 1; c <= 2; ++c) {
                const QByteArray k = " " + QByteArray::number(c);
                hist += ";status" + k + ";error" + k + ";start date" + k + ";start time" + k + ";flags" + k
                        + ";set flow" + k + ";set volume" + k + ";set time" + k + ";flow monitor" + k + ";volume"
                        + k + ";sampling time" + k;
            }
            hist += crlf;
        }
        hist += recordFields(r).join(QLatin1Char(';')).toLatin1() + crlf;
        const QString base = folder + QLatin1Char('/') + QString::number(r.number);
        QFile histFile(base + QStringLiteral("_HIST.CSV"));
        if (!histFile.open(QIODevice::WriteOnly) || histFile.write(hist) != hist.size()) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(histFile.fileName());
            return false;
        }
        if (!r.logging || r.number == newestLogged)
            continue;
        QByteArray log = "date;time;flow 1;flow 2;flow monitor 1;flow monitor 2;climate state;temperature;"
                         "humidity;pressure"
                         + crlf;
        for (int i = 0; i < r.logCount(); ++i)
            log += logFields(r.logEntry(i)).join(QLatin1Char(';')).toLatin1() + crlf;
        QFile logFile(base + QStringLiteral("_LOG.CSV"));
        if (!logFile.open(QIODevice::WriteOnly) || logFile.write(log) != log.size()) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(logFile.fileName());
            return false;
        }
    }
    return true;
}

TSimRecordStore& SimRecords(TDeviceModel& m)
{
    if (!m.FRecords) {
        m.FRecords = std::make_shared<TSimRecordStore>();
        for (int k = 0; k < kSimSeedRecords; ++k)
            m.FRecords->records.push_back(seedRecord(k));
    }
    return *m.FRecords;
}

namespace {

TSimLogEntry liveEntry(const TDeviceModel& m)
{
    TSimLogEntry e;
    e.when = m.deviceClock();
    for (size_t c = 0; c < 2; ++c) {
        const TSimChannelRun& ch = m.FRun.aChannel[c];
        const TSimChannelSet& set = m.FRun.Preset.aSet[c];
        e.flow[c] = static_cast<int>(std::lround(ch.fFlow * 10000.0));
        if (set.bFlowMonitor && ch.iState == kChActive && ch.fFlow < set.iFlow / 100.0 * 0.9)
            e.flowCode[c] = 1;
    }
    e.climateState = 0;
    e.temperature = kKelvinTenths + tenths(m.FTemperature);
    e.humidity = tenths(m.FHumidity);
    e.pressure = tenths(m.FPressure);
    return e;
}

}  // namespace

void SimRecordsRunStarted(TDeviceModel& m)
{
    TSimRecordStore& s = SimRecords(m);
    s.recording = true;
    s.pending = TSimRecord{};
    s.pending.logIntervalS = m.FRun.Preset.iLoginterv;
    s.pending.logging = m.FRun.Preset.iLoginterv > 0;
    s.logDueS = s.pending.logIntervalS;
    const QDateTime now = m.deviceClock();
    for (size_t c = 0; c < 2; ++c) {
        const TSimChannelSet& set = m.FRun.Preset.aSet[c];
        TSimRecordChannel& ch = s.pending.channel[c];
        ch.flags = ChannelFlags(set);
        ch.setFlow = set.iFlow;
        ch.setVolume = set.iVolume;
        ch.setTime = set.bIntervalMode ? set.iSetTime : 0;
        if (set.bActive) {
            const QDateTime start = now.addSecs(set.iDelay);
            ch.startDate = start.date();
            ch.startTime = start.time();
        }
    }
}

void SimRecordsRunTick(TDeviceModel& m, double dtS)
{
    TSimRecordStore& s = SimRecords(m);
    if (!s.recording || !s.pending.logging)
        return;
    s.logDueS -= dtS;
    while (s.logDueS <= 0.0) {
        s.pending.log.push_back(liveEntry(m));
        s.logDueS += s.pending.logIntervalS;
    }
}

void SimRecordsRunEnded(TDeviceModel& m)
{
    TSimRecordStore& s = SimRecords(m);
    if (!s.recording)
        return;
    s.recording = false;
    TSimRecord r = std::move(s.pending);
    r.number = static_cast<int>(s.records.size());
    r.when = m.deviceClock();
    const bool batteryEmpty = (m.FErrorWord1 & (1 << 14)) != 0;
    r.alarm = batteryEmpty ? 1 : (m.FAlarmCode >= 1 && m.FAlarmCode <= 6 ? m.FAlarmCode : 0);
    r.climateState = 0;
    r.temperature = kKelvinTenths + tenths(m.FTemperature);
    r.humidity = tenths(m.FHumidity);
    r.pressure = tenths(m.FPressure);
    for (size_t c = 0; c < 2; ++c) {
        const TSimChannelRun& run = m.FRun.aChannel[c];
        const TSimChannelSet& set = m.FRun.Preset.aSet[c];
        TSimRecordChannel& ch = r.channel[c];
        const int channelError = c == 0 ? m.FErrorWord2 : m.FErrorWord3;
        switch (run.iState) {
        case kChFinished: ch.status = 1; break;
        case kChAborted: ch.status = batteryEmpty ? 3 : 2; break;
        case kChDisturbed: ch.status = 3; break;
        default: ch.status = set.bActive ? 2 : 4; break;
        }
        ch.error = channelError & 5;
        if (set.bFlowMonitor)
            ch.flowBits = run.iState == kChDisturbed ? 2 : 1;
        ch.volume = static_cast<int>(std::lround(run.fVolume * 100.0));
        ch.sampleTime = static_cast<int>(std::lround(run.fElapsedS));
    }
    r.logging = r.logging && !r.log.empty();
    s.records.push_back(std::move(r));
}
