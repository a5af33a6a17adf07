#pragma once
// Sample records and process logs of the virtual device: a lazily made seed of older runs, a
// record appended whenever a run ends, the read position of the log requests, and the files
// as the device copies them to its memory card. Reached through the model, on the device thread.

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <chrono>
#include <vector>

class TDeviceModel;
class TVirtualSarvik;

// Wire scaling throughout: flows x 100, set volume x 10, volume x 100, temperature in tenths
// of a kelvin (offset 2732), humidity and pressure in tenths.
struct TSimRecordChannel {
    int status = 4;  // 1 success, 2 operator stop, 3 error, 4 inactive
    int error = 0;   // 1 flow sensor, 4 temperature sensor
    QDate startDate;
    QTime startTime;
    int flags = 0;
    int setFlow = 0;
    int setVolume = 0;
    int setTime = 0;  // minutes
    int flowBits = 0;  // 1 within tolerance, 2 below minimum, 4 above maximum
    int volume = 0;
    int sampleTime = 0;  // seconds
};

struct TSimLogEntry {
    QDateTime when;
    std::array<int, 2> flow{};  // l/min x 10000
    std::array<int, 2> flowCode{};  // 0 within tolerance, 1 below minimum, 2 above maximum
    int climateState = 0;
    int temperature = 0;
    int humidity = 0;
    int pressure = 0;
};

struct TSimRecord {
    int number = 0;
    int recStatus = 1;
    QDateTime when;
    int alarm = 0;
    int climateState = 0;
    int temperature = 2732;
    int humidity = 0;
    int pressure = 0;
    std::array<TSimRecordChannel, 2> channel;
    bool logging = false;
    // Seeded records make their log on demand; a recorded run keeps its entries.
    int generatedLogCount = 0;
    int logIntervalS = 60;
    std::vector<TSimLogEntry> log;

    int logCount() const { return generatedLogCount > 0 ? generatedLogCount : static_cast<int>(log.size()); }
    TSimLogEntry logEntry(int index) const;
};

// Number of the seeded record whose log is a full day at 10 s.
constexpr int kSimLongLogRecord = 200;
constexpr int kSimSeedRecords = 250;

class TSimRecordStore {
public:
    // Numbered 0 .. size - 1, oldest first.
    std::vector<TSimRecord> records;
    // Result codes forced for chosen numbers (1 checksum, 2 wrong number, 3 no data, 4 read error).
    QHash<int, int> forcedResult;
    bool forceDeleteFailure = false;

    // The fields 3 .. 34 of "TDR" for a record.
    static QStringList recordFields(const TSimRecord& r);
    // The fields 4 .. 13 of "TDN" for a log entry.
    static QStringList logFields(const TSimLogEntry& e);

    // Answers of the family.
    QStringList answerRecord(const QStringList& params) const;
    QStringList answerLog(const QStringList& params);
    QStringList answerDelete(const QStringList& params, bool sampling);

    // Writes DIR/sampling_data/<n>_HIST.CSV and <n>_LOG.CSV; false with a reason on failure.
    bool writeCard(const QString& dir, QString* error) const;

    // The run that is going on: its record is built while it runs and appended at its end.
    bool recording = false;
    TSimRecord pending;
    double logDueS = 0.0;

private:
    using TSteady = std::chrono::steady_clock;
    int FLogNumber = -1;
    int FLogPos = 0;
    TSteady::time_point FLastLogRequest{};
};

// The model's store, seeded on first use.
TSimRecordStore& SimRecords(TDeviceModel& model);
// Called by the model: a run began, advanced by dtS seconds, ended.
void SimRecordsRunStarted(TDeviceModel& model);
void SimRecordsRunTick(TDeviceModel& model, double dtS);
void SimRecordsRunEnded(TDeviceModel& model);

// The family's control commands; handled is false for a name it does not know.
#define RECORDS_CONTROL_HELP "records | recordresult <number> <0..4> | deletefail on|off | card <dir>"
QString ExecuteRecordsControlCommand(TVirtualSarvik& device, const QString& name, const QStringList& args,
                                     bool& handled);
