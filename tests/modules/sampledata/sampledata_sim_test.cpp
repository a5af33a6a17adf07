// The records family of the virtual device without its port: the seed, the record and log
// answers, delete, the records of runs, the card files.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"
#include "recordstore.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "qtprinters.h"

namespace {

class sampledata_Sim : public ::testing::Test {
protected:
    sampledata_Sim() : FModel(TSimIdentity{}, 7, QDateTime(QDate(2026, 3, 15), QTime(10, 0, 0))) { RegisterAllCommands(FTable); }

    QString ask(const QString& command) { return AnswerPayload(FTable, FModel, command); }
    QStringList fields(const QString& command) { return ask(command).split(QLatin1Char(';')); }

    TDeviceModel FModel;
    TCommandTable FTable;
};

TEST_F(sampledata_Sim, seed_newestAndRecords)
{
    EXPECT_EQ(ask("GDP"), QStringLiteral("TDP;249;"));
    const QStringList r = fields("GDR;249");
    // Answer word, result, fields 3 .. 34, the empty field after the last ";".
    ASSERT_EQ(r.size(), 35);
    EXPECT_EQ(r[1], QStringLiteral("0"));
    EXPECT_EQ(r[3], QStringLiteral("249"));
    EXPECT_EQ(ask("GDR;250"), QStringLiteral("TDR;2;"));
    EXPECT_EQ(ask("GDR;-1"), QStringLiteral("TDR;3;"));
    EXPECT_EQ(ask("GDR;x"), QStringLiteral("TDR;3;"));
    // The same seed on every start.
    TDeviceModel other(TSimIdentity{}, 99, QDateTime::currentDateTime());
    EXPECT_EQ(AnswerPayload(FTable, other, "GDR;123"), ask("GDR;123"));

    QSet<int> statuses, alarms, climate;
    bool lowPressure = false, loggingOff = false;
    for (int n = 0; n < 250; ++n) {
        const QStringList f = fields(QStringLiteral("GDR;%1").arg(n));
        ASSERT_EQ(f.size(), 35) << n;
        statuses << f[12].toInt() << f[23].toInt();
        if (f[12] == "3" || f[23] == "3")
            alarms << f[7].toInt();
        climate << f[8].toInt();
        lowPressure = lowPressure || f[11].toInt() <= 100;
        loggingOff = loggingOff || f[6] == "0";
    }
    for (int s : {2, 3, 4})
        EXPECT_TRUE(statuses.contains(s)) << s;
    for (int a = 0; a <= 6; ++a)
        EXPECT_TRUE(alarms.contains(a)) << a;
    EXPECT_TRUE(climate.contains(1) && climate.contains(2));
    EXPECT_TRUE(lowPressure);
    EXPECT_TRUE(loggingOff);
    EXPECT_EQ(SimRecords(FModel).records[kSimLongLogRecord].logCount(), 8640);
}

TEST_F(sampledata_Sim, forcedResults)
{
    TSimRecordStore& s = SimRecords(FModel);
    for (int result : {1, 2, 3, 4}) {
        s.forcedResult.insert(17, result);
        EXPECT_EQ(ask("GDR;17"), QStringLiteral("TDR;%1;").arg(result));
    }
    s.forcedResult.remove(17);
    EXPECT_TRUE(ask("GDR;17").startsWith(QLatin1String("TDR;0;1;17;")));
}

TEST_F(sampledata_Sim, log_oneEntryPerRequest_restartsAfterTheEndOrAnotherNumber)
{
    const TSimRecord& r = SimRecords(FModel).records[1];
    ASSERT_TRUE(r.logging);
    const int count = r.logCount();
    QStringList first;
    for (int i = 0; i < count; ++i) {
        const QStringList f = fields("GDN;1");
        ASSERT_EQ(f.size(), 14) << i;
        EXPECT_EQ(f[1], QStringLiteral("1"));
        EXPECT_EQ(f[2], QStringLiteral("1"));
        if (i == 0)
            first = f;
    }
    EXPECT_EQ(ask("GDN;1"), QStringLiteral("TDN;1;0;"));
    EXPECT_EQ(fields("GDN;1"), first);
    // Status polling in between does not move the position; another number restarts it.
    ask("GIS");
    EXPECT_NE(fields("GDN;1"), first);
    fields("GDN;2");
    EXPECT_EQ(fields("GDN;1"), first);
    // Without a log: the end at once.
    int noLog = 0;
    while (SimRecords(FModel).records[static_cast<size_t>(noLog)].logging)
        ++noLog;
    EXPECT_EQ(ask(QStringLiteral("GDN;%1").arg(noLog)), QStringLiteral("TDN;%1;0;").arg(noLog));
    EXPECT_EQ(ask("GDN;999"), QStringLiteral("TDN;999;0;"));
}

TEST_F(sampledata_Sim, deleteClearsTheStore_refusedWhileSampling)
{
    ASSERT_EQ(FModel.startRun(1), 0);
    EXPECT_EQ(ask("SDI;128"), QStringLiteral("TDI;0;"));
    FModel.stopRun();
    SimRecords(FModel).forceDeleteFailure = true;
    EXPECT_EQ(ask("SDI;128"), QStringLiteral("TDI;0;"));
    SimRecords(FModel).forceDeleteFailure = false;
    EXPECT_EQ(ask("SDI;1"), QStringLiteral("TDI;0;"));
    EXPECT_EQ(ask("SDI;128"), QStringLiteral("TDI;1;"));
    EXPECT_EQ(ask("GDP"), QStringLiteral("TDP;0;"));
    EXPECT_EQ(ask("GDR;0"), QStringLiteral("TDR;3;"));
}

TEST_F(sampledata_Sim, runs_appendRecordsWithTheirLog)
{
    ask("SDI;128");
    // Preset 1: both channels, 60 s log interval; stopped by the operator after ten minutes.
    ASSERT_EQ(FModel.startRun(1), 0);
    for (int s = 0; s < 600; ++s)
        FModel.advance(1000.0);
    ASSERT_TRUE(FModel.stopRun());
    EXPECT_EQ(ask("GDP"), QStringLiteral("TDP;0;"));
    const QStringList f = fields("GDR;0");
    ASSERT_EQ(f.size(), 35);
    EXPECT_EQ(f[3], QStringLiteral("0"));
    EXPECT_EQ(f[6], QStringLiteral("1"));                  // logging
    EXPECT_EQ(f[12], QStringLiteral("2"));                 // channel 1 stopped by the operator
    EXPECT_EQ(f[14], QStringLiteral("15.03.2026"));        // start date
    EXPECT_EQ(f[16].toInt(), ChannelFlags(FModel.FPresets[0].aSet[0]));
    EXPECT_NEAR(f[21].toInt() / 100.0, FModel.FRun.aChannel[0].fVolume, 0.01);
    EXPECT_NEAR(f[22].toInt(), 600, 2);
    EXPECT_EQ(SimRecords(FModel).records[0].logCount(), 10);

    // Alarm 3 with flow monitoring: disturbance, error status and the alarm kind.
    ASSERT_EQ(FModel.startRun(5), 0);
    for (int s = 0; s < 30; ++s)
        FModel.advance(1000.0);
    FModel.FAlarmCode = 3;
    for (int s = 0; s < 5 && FModel.deviceState() == kDevSampling; ++s)
        FModel.advance(1000.0);
    ASSERT_NE(FModel.deviceState(), kDevSampling);
    const QStringList g = fields("GDR;1");
    ASSERT_EQ(g.size(), 35);
    EXPECT_EQ(g[7], QStringLiteral("3"));
    EXPECT_EQ(g[12], QStringLiteral("3"));
}

TEST_F(sampledata_Sim, personalisationAndCalibration)
{
    EXPECT_EQ(ask("GIP;0"), QStringLiteral("TIP;0;Müller & Söhne Umweltlabor;"));
    EXPECT_EQ(ask("GIP;1"), QStringLiteral("TIP;1;Messstelle <Nord>;"));
    EXPECT_EQ(ask("GIP;4"), QStringLiteral("TIP;?;"));
    EXPECT_EQ(ask("GCL"), QStringLiteral("TCL;14.11.2025;1873;"));
}

TEST_F(sampledata_Sim, cardFiles_asTheCardHoldsThem)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(SimRecords(FModel).writeCard(dir.path(), &error)) << error;
    const QDir card(dir.path() + "/sampling_data");
    EXPECT_EQ(card.entryList({"*_HIST.CSV"}, QDir::Files).size(), 250);
    QFile first(card.filePath("0_HIST.CSV"));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray zero = first.readAll();
    EXPECT_TRUE(zero.startsWith("1;0;"));
    EXPECT_TRUE(zero.endsWith("\r\n"));
    QFile other(card.filePath("249_HIST.CSV"));
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_TRUE(other.readAll().startsWith("record"));
    // Exactly one logged run lacks its log file; the logs begin with their header.
    int missing = 0;
    for (const TSimRecord& r : SimRecords(FModel).records) {
        if (r.logging && !card.exists(QStringLiteral("%1_LOG.CSV").arg(r.number)))
            ++missing;
        if (!r.logging) {
            EXPECT_FALSE(card.exists(QStringLiteral("%1_LOG.CSV").arg(r.number)));
        }
    }
    EXPECT_EQ(missing, 1);
    QFile log(card.filePath("1_LOG.CSV"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    EXPECT_TRUE(lines[0].startsWith("date"));
    EXPECT_EQ(lines.size(), SimRecords(FModel).records[1].logCount() + 2);  // header, entries, after the last CR LF
}

}  // namespace
