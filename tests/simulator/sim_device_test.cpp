// The virtual device through its pseudo-terminal, as a bare serial client sees it: answer layouts
// and checksums, a run at high speed, the fault injections, registration, unplug and switch-off.

#include "controlcommands.h"
#include "rawclient.h"
#include "simwire.h"
#include "sysfsentry.h"
#include "virtualsarvik.h"
#include "wireformat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

namespace {

constexpr int kRunTimeoutMs = 30000;
constexpr int kRegistrationTimeoutMs = 5000;
constexpr double kFastSpeed = 20.0;

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

class sim_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRoot.isValid());
        startDevice(options());
    }

    TVirtualSarvikOptions options(const QString& serial = QStringLiteral("SV2000123")) const
    {
        TVirtualSarvikOptions o;
        o.root = FRoot.path();
        o.serial = serial;
        o.speed = kFastSpeed;
        o.seed = 11;
        o.switchOffMs = 300;
        o.logFile = FRoot.filePath(QStringLiteral("events.log"));
        return o;
    }

    void startDevice(const TVirtualSarvikOptions& o)
    {
        FDevice = std::make_unique<TVirtualSarvik>(o);
        QString error;
        ASSERT_TRUE(FDevice->start(&error)) << error.toStdString();
        ASSERT_TRUE(FClient.open(FDevice->portPath())) << FDevice->portPath().toStdString();
    }

    // Payload of the answer to command, with its checksum verified.
    QString ask(const QString& command)
    {
        const auto line = FClient.exchange(command);
        if (!line)
            return QStringLiteral("<no answer>");
        const auto payload = VerifiedPayload(*line);
        if (!payload)
            return QStringLiteral("<bad checksum> ") + QString::fromLatin1(*line);
        return QString::fromLatin1(*payload);
    }

    QString field(const QString& payload, int n) const { return payload.split(QLatin1Char(';')).value(n - 1); }

    QString ttyDir() const { return FRoot.filePath(QStringLiteral("class/tty/") + FDevice->ttyName()); }

    QTemporaryDir FRoot;
    std::unique_ptr<TVirtualSarvik> FDevice;
    TRawClient FClient;
};

}  // namespace

TEST_F(sim_Device, everyAnswer_hasItsLayoutAndAValidChecksum)
{
    const QString dec = QStringLiteral("-?\\d+\\.\\d+");
    const QString date = QStringLiteral("\\d{2}\\.\\d{2}\\.\\d{4}");
    struct Case {
        QString command;
        QString pattern;  // the payload, answer word included
    };
    const Case cases[] = {
        {QStringLiteral("GIN"), QStringLiteral("TIN;SV2000123;")},
        {QStringLiteral("GID"), QStringLiteral("TID;1;3\\.6\\.0;2\\.1;0;3;0;")},
        {QStringLiteral("GIS"), QStringLiteral("TIS;4;0;0;0;0;1;1;")},
        {QStringLiteral("GIO"), QStringLiteral("TIO;\\d{4}:\\d{2};\\d+;\\d+;\\d+;")},
        {QStringLiteral("GIB"), QStringLiteral("TIB;%1;\\d+;[0-5];\\d{1,3};0;%1;%2;").arg(dec, date)},
        {QStringLiteral("GIE"), QStringLiteral("TIE;0;%1;\u00b0C;%1;%rF;1;%1;").arg(dec)},
        {QStringLiteral("SAB"), QStringLiteral("TAB;0;")},
        {QStringLiteral("GMQ"), QStringLiteral("TMQ;0\\.00;0\\.00;0;0\\.00;0\\.00;0;")},
        {QStringLiteral("GSP;1"), QStringLiteral("TSP;1;Innenraum;60;17;150;1200;0;0;17;100;600;0;0;")},
        {QStringLiteral("GSP;5"), QStringLiteral("TSP;5;[^;]+;\\d+;29;\\d+;\\d+;\\d+;\\d+;29;\\d+;\\d+;\\d+;\\d+;")},
        {QStringLiteral("SSP;2;Test;30;18;120;600;5;0;0;0;0;0;0"),
         QStringLiteral("TSP;2;Test;30;18;120;600;5;0;0;0;0;0;0;")},
        {QStringLiteral("GSB"), QStringLiteral("TSB;7;")},
        {QStringLiteral("SSB;3"), QStringLiteral("TSB;3;")},
        {QStringLiteral("GSD"), QStringLiteral("TSD;%1;").arg(date)},
        {QStringLiteral("SSD;24.12.2025"), QStringLiteral("TSD;24\\.12\\.2025;")},
        {QStringLiteral("GST"), QStringLiteral("TST;\\d{2}:\\d{2}:\\d{2};")},
        {QStringLiteral("SST;08:15:00"), QStringLiteral("TST;08:15:\\d{2};")},
        {QStringLiteral("GSE"), QStringLiteral("TSE;20\\.0;")},
        {QStringLiteral("SSE;25.0"), QStringLiteral("TSE;25\\.0;")},
        {QStringLiteral("GSF"), QStringLiteral("TSF;1013\\.0;")},
        {QStringLiteral("SSF;950.5"), QStringLiteral("TSF;950\\.5;")},
        {QStringLiteral("GSL"), QStringLiteral("TSL;1;")},
        {QStringLiteral("SSL;0"), QStringLiteral("TSL;0;")},
        {QStringLiteral("GSO"), QStringLiteral("TSO;0;")},
        {QStringLiteral("SSO;2"), QStringLiteral("TSO;2;")},
        {QStringLiteral("GSM"), QStringLiteral("TSM;10;")},
        {QStringLiteral("SSM;8"), QStringLiteral("TSM;8;")},
        {QStringLiteral("GSJ"), QStringLiteral("TSJ;10;")},
        {QStringLiteral("SSJ;3"), QStringLiteral("TSJ;3;")},
        {QStringLiteral("GSV"), QStringLiteral("TSV;5;7;")},
        {QStringLiteral("SSV;99;4"), QStringLiteral("TSV;5;4;")},
        {QStringLiteral("GSS"), QStringLiteral("TSS;1;1;")},
        {QStringLiteral("SSS;0;99"), QStringLiteral("TSS;0;1;")},
        {QStringLiteral("GSR"), QStringLiteral("TSR;5;")},
        {QStringLiteral("SSR;15"), QStringLiteral("TSR;15;")},
        {QStringLiteral("GSW"), QStringLiteral("TSW;1;")},
        {QStringLiteral("SSW;0"), QStringLiteral("TSW;0;")},
        {QStringLiteral("GSX"), QStringLiteral("TSX;0;")},
        {QStringLiteral("SSX;1"), QStringLiteral("TSX;1;")},
        {QStringLiteral("GSY"), QStringLiteral("TSY;1;")},
        {QStringLiteral("SSY;0"), QStringLiteral("TSY;0;")},
        {QStringLiteral("GSZ"), QStringLiteral("TSZ;1;")},
        {QStringLiteral("SSZ;0"), QStringLiteral("TSZ;0;")},
        {QStringLiteral("GIL;0"), QStringLiteral("TIL;0;English;")},
        {QStringLiteral("GIL;1"), QStringLiteral("TIL;1;Deutsch;")},
        {QStringLiteral("GIL;2"), QStringLiteral("TIL;2;Fran\u00e7ais;")},
        {QStringLiteral("GQQ;1"), QStringLiteral("TQQ;\\?;")},  // unknown command
        {QStringLiteral("SAS;0"), QStringLiteral("TAS;1;")},
        {QStringLiteral("SAH"), QStringLiteral("TAH;1;")},
        {QStringLiteral("SAO;1;2"), QStringLiteral("TAO;1;")},
    };
    for (const Case& c : cases) {
        const auto line = FClient.exchange(c.command);
        ASSERT_TRUE(line.has_value()) << c.command.toStdString();
        const auto payload = VerifiedPayload(*line);
        ASSERT_TRUE(payload.has_value()) << line->constData();
        // Latin-1 view of the bytes: a single 0xB0 byte must stand for the degree sign.
        const QString text = QString::fromLatin1(*payload);
        const QRegularExpression re(QLatin1Char('^') + c.pattern + QLatin1Char('$'));
        EXPECT_TRUE(re.match(text).hasMatch()) << c.command.toStdString() << " -> " << text.toStdString();
    }
}

TEST_F(sim_Device, runAtHighSpeed_startsWaitsPumpsAndEnds)
{
    EXPECT_EQ(ask(QStringLiteral("SAS;10")), QStringLiteral("TAS;0;"));
    QString status = ask(QStringLiteral("GIS"));
    EXPECT_EQ(field(status, 2), QStringLiteral("8"));
    bool sawCh2Waiting = field(status, 8) == QStringLiteral("2");
    bool sawCh2Active = false;
    bool sawFlow = false;
    ASSERT_TRUE(waitFor(
        [&] {
            status = ask(QStringLiteral("GIS"));
            sawCh2Waiting = sawCh2Waiting || field(status, 8) == QStringLiteral("2");
            sawCh2Active = sawCh2Active || field(status, 8) == QStringLiteral("3");
            if (field(status, 7) == QStringLiteral("3")) {
                const QString mq = ask(QStringLiteral("GMQ"));
                sawFlow = sawFlow || qAbs(field(mq, 2).toDouble() - 1.0) < 0.05;
            }
            return field(status, 2) == QStringLiteral("4");
        },
        kRunTimeoutMs));
    EXPECT_TRUE(sawCh2Waiting);
    EXPECT_TRUE(sawCh2Active);
    EXPECT_TRUE(sawFlow);
    EXPECT_EQ(status, QStringLiteral("TIS;4;0;0;0;0;6;6;"));
    EXPECT_EQ(ask(QStringLiteral("GMQ")), QStringLiteral("TMQ;0.00;1.00;1;0.00;0.50;1;"));
}

TEST_F(sim_Device, stopDuringARun_abortsIt_andTheDisplayCanStartAndStopToo)
{
    ASSERT_TRUE(FDevice->startRun(2));
    EXPECT_EQ(field(ask(QStringLiteral("GIS")), 2), QStringLiteral("8"));
    EXPECT_EQ(ask(QStringLiteral("SAH")), QStringLiteral("TAH;0;"));
    EXPECT_EQ(ask(QStringLiteral("GIS")), QStringLiteral("TIS;4;0;0;0;0;8;8;"));
    QString error;
    EXPECT_FALSE(FDevice->stopRun(&error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_EQ(ask(QStringLiteral("SAS;1")), QStringLiteral("TAS;0;"));
    EXPECT_FALSE(FDevice->startRun(1, &error));
    EXPECT_TRUE(FDevice->stopRun());
}

TEST_F(sim_Device, alarmAndErrorWords_showInTheStatus)
{
    FDevice->setAlarm(2, 9, 1, 0);
    EXPECT_EQ(ask(QStringLiteral("GIS")), QStringLiteral("TIS;4;9;1;0;2;1;1;"));
    FDevice->clearAlarm();
    EXPECT_EQ(ask(QStringLiteral("GIS")), QStringLiteral("TIS;4;0;0;0;0;1;1;"));
}

TEST_F(sim_Device, badFrames_getNoAnswer_andTheLinkGoesOn)
{
    const QByteArray bad[] = {"GIN;00282\r\n", "GIN\r\n", ";00059\r\n", "gin;00377\r\n", QByteArray(5000, 'x') + "\r\n"};
    for (const QByteArray& b : bad) {
        ASSERT_TRUE(FClient.sendRaw(b));
        EXPECT_FALSE(FClient.readLine(kSilenceMs).has_value()) << b.left(20).constData();
        EXPECT_EQ(ask(QStringLiteral("GIN")), QStringLiteral("TIN;SV2000123;"));
    }
    // Two frames in one write, and one frame in pieces.
    ASSERT_TRUE(FClient.sendRaw(BuildFrame(QStringLiteral("GIN")) + BuildFrame(QStringLiteral("GSB"))));
    EXPECT_EQ(VerifiedPayload(FClient.readLine().value_or(QByteArray())).value_or("x"), QByteArray("TIN;SV2000123;"));
    EXPECT_EQ(VerifiedPayload(FClient.readLine().value_or(QByteArray())).value_or("x"), QByteArray("TSB;7;"));
    const QByteArray frame = BuildFrame(QStringLiteral("GSM"));
    ASSERT_TRUE(FClient.sendRaw(frame.left(3)));
    QThread::msleep(50);
    ASSERT_TRUE(FClient.sendRaw(frame.mid(3)));
    EXPECT_EQ(VerifiedPayload(FClient.readLine().value_or(QByteArray())).value_or("x"), QByteArray("TSM;10;"));
}

TEST_F(sim_Device, faultInjections_dropCorruptDelaySplitGarbageAndTim)
{
    // drop: lost on the way in, so a repeated start acts once.
    FDevice->dropNext(1);
    ASSERT_TRUE(FClient.send(QStringLiteral("SAS;1")));
    EXPECT_FALSE(FClient.readLine(kSilenceMs).has_value());
    EXPECT_EQ(ask(QStringLiteral("SAS;1")), QStringLiteral("TAS;0;"));
    EXPECT_TRUE(FDevice->stopRun());

    FDevice->corruptNext(2);
    for (int i = 0; i < 2; ++i) {
        const auto line = FClient.exchange(QStringLiteral("GIN"));
        ASSERT_TRUE(line.has_value());
        EXPECT_TRUE(line->startsWith("TIN;SV2000123;"));
        EXPECT_FALSE(VerifiedPayload(*line).has_value());
    }
    EXPECT_EQ(ask(QStringLiteral("GIN")), QStringLiteral("TIN;SV2000123;"));

    constexpr int kDelayMs = 600;
    FDevice->setAnswerDelay(kDelayMs);
    ASSERT_TRUE(FClient.send(QStringLiteral("GSB")));
    EXPECT_FALSE(FClient.readLine(kDelayMs / 3).has_value());
    EXPECT_EQ(VerifiedPayload(FClient.readLine().value_or(QByteArray())).value_or("x"), QByteArray("TSB;7;"));
    FDevice->setAnswerDelay(0);

    FDevice->splitNext(1);
    const auto split = FClient.exchange(QStringLiteral("GID"));
    ASSERT_TRUE(split.has_value());
    EXPECT_GT(FClient.lastLineReads(), 1);
    EXPECT_TRUE(VerifiedPayload(*split).has_value());
    const auto whole = FClient.exchange(QStringLiteral("GID"));
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(*whole, *split);

    // Garbage has no line end of its own: it spoils the next line, which then fails its check.
    ASSERT_TRUE(FDevice->sendGarbage(25));
    const auto spoilt = FClient.exchange(QStringLiteral("GIN"));
    ASSERT_TRUE(spoilt.has_value());
    EXPECT_EQ(spoilt->size(), 25 + QByteArray("TIN;SV2000123;00000").size());
    EXPECT_TRUE(spoilt->endsWith(AnswerLine("TIN;SV2000123;").chopped(2)));
    EXPECT_EQ(ask(QStringLiteral("GIN")), QStringLiteral("TIN;SV2000123;"));

    ASSERT_TRUE(FDevice->sendTim(QStringLiteral("Filter wechseln")));
    EXPECT_EQ(FClient.readLine().value_or(QByteArray()), QByteArray("TIM;Filter wechseln"));
}

// A burst of frames in one write; each line that comes back as 'v' (valid) or 'c' (bad checksum).
QString burstOutcome(TRawClient& client, const QString& command, int frames)
{
    QByteArray burst;
    for (int i = 0; i < frames; ++i)
        burst += BuildFrame(command);
    if (!client.sendRaw(burst))
        return QStringLiteral("<send failed>");
    QString outcome;
    while (const auto line = client.readLine(kSilenceMs * 2))
        outcome += VerifiedPayload(*line).has_value() ? QLatin1Char('v') : QLatin1Char('c');
    return outcome;
}

TEST_F(sim_Device, faultRates_dropCorruptAndSplitByChance_andTheSeedRepeatsThem)
{
    // Every kind alone at certainty, and off again.
    struct Case {
        const char* command;
        const char* expected;  // the answer's fate: none, bad, whole
        bool split;
    };
    const Case cases[] = {
        {"faults 100 0 0 3", "none", false},
        {"faults 0 100 0 3", "bad", false},
        {"faults 0 0 100 3", "whole", true},
        {"faults 0 0 0", "whole", false},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ExecuteControlCommand(*FDevice, QLatin1String(c.command)).startsWith(QStringLiteral("ok ")))
            << c.command;
        const TSimStatus before = FDevice->status();
        const bool silent = std::string_view(c.expected) == "none";
        const auto line = FClient.exchange(QStringLiteral("GID"), silent ? kSilenceMs : kAnswerTimeoutMs);
        const TSimStatus after = FDevice->status();
        const QString fate = !line ? QStringLiteral("none") : VerifiedPayload(*line) ? QStringLiteral("whole")
                                                                                     : QStringLiteral("bad");
        EXPECT_EQ(fate, QLatin1String(c.expected)) << c.command;
        EXPECT_EQ(after.framesDropped - before.framesDropped, fate == u"none" ? 1 : 0) << c.command;
        EXPECT_EQ(after.answersCorrupted - before.answersCorrupted, fate == u"bad" ? 1 : 0) << c.command;
        EXPECT_EQ(after.answersSplit - before.answersSplit, c.split ? 1 : 0) << c.command;
        if (c.split) {
            EXPECT_GT(FClient.lastLineReads(), 1) << "an answer in fragments";
        }
    }

    // At 20 % each over a burst, the counts follow the chances and match what came back; the
    // same seed gives the same faults again.
    constexpr int kFrames = 200;
    QString outcomes[2];
    qint64 split[2] = {};
    for (int run = 0; run < 2; ++run) {
        FDevice->setFaultRates({20.0, 20.0, 20.0, 42});
        const TSimStatus before = FDevice->status();
        outcomes[run] = burstOutcome(FClient, QStringLiteral("GSB"), kFrames);
        const TSimStatus after = FDevice->status();
        const qint64 dropped = after.framesDropped - before.framesDropped;
        const qint64 corrupted = after.answersCorrupted - before.answersCorrupted;
        split[run] = after.answersSplit - before.answersSplit;
        EXPECT_EQ(dropped, kFrames - outcomes[run].size());
        EXPECT_EQ(corrupted, outcomes[run].count(QLatin1Char('c')));
        for (const qint64 n : {dropped, corrupted, split[run]}) {
            EXPECT_GE(n, kFrames / 10);
            EXPECT_LE(n, kFrames * 3 / 10);
        }
    }
    EXPECT_EQ(outcomes[0].toStdString(), outcomes[1].toStdString());
    EXPECT_EQ(split[0], split[1]);

    // Refused without changing the rates: the link is clean afterwards.
    FDevice->setFaultRates({});
    for (const char* bad : {"faults", "faults 5 2", "faults 101 0 0", "faults -1 0 0", "faults x 0 0", "faults 1 2 3 s"})
        EXPECT_TRUE(ExecuteControlCommand(*FDevice, QLatin1String(bad)).startsWith(QStringLiteral("error "))) << bad;
    EXPECT_EQ(burstOutcome(FClient, QStringLiteral("GSB"), 20).toStdString(), std::string(20, 'v'));
}

TEST_F(sim_Device, registration_looksLikeAUsbSerialDevice)
{
    const QString tty = ttyDir();
    ASSERT_TRUE(QFileInfo(tty).isDir()) << tty.toStdString();
    const QFileInfo link(tty + QStringLiteral("/device"));
    ASSERT_TRUE(link.isSymLink());
    const QString iface = link.canonicalFilePath();
    EXPECT_TRUE(iface.endsWith(QStringLiteral(":1.0")));
    const QString usb = QFileInfo(iface).absolutePath();
    EXPECT_EQ(readText(usb + QStringLiteral("/idVendor")), QStringLiteral("0483\n"));
    EXPECT_EQ(readText(usb + QStringLiteral("/idProduct")), QStringLiteral("a2b8\n"));
    EXPECT_EQ(readText(usb + QStringLiteral("/serial")), QStringLiteral("SV2000123\n"));
    EXPECT_FALSE(readText(usb + QStringLiteral("/manufacturer")).trimmed().isEmpty());
    EXPECT_FALSE(readText(usb + QStringLiteral("/product")).trimmed().isEmpty());
    EXPECT_EQ(readText(tty + QStringLiteral("/port")).trimmed(), FDevice->portPath());
}

TEST_F(sim_Device, unplug_removesTheEntryAndClosesThePort_plugBringsANewOne)
{
    const QString tty = ttyDir();
    const QString usb = QFileInfo(QFileInfo(tty + QStringLiteral("/device")).canonicalFilePath()).absolutePath();
    const QString oldPath = FDevice->portPath();
    ASSERT_TRUE(FDevice->unplug());
    EXPECT_FALSE(QFileInfo::exists(tty));
    EXPECT_FALSE(QFileInfo::exists(usb));
    EXPECT_TRUE(FClient.waitHangUp());
    QString error;
    EXPECT_FALSE(FDevice->unplug(&error));
    EXPECT_FALSE(FDevice->sendTim(QStringLiteral("x"), &error));

    ASSERT_TRUE(FDevice->plug());
    const QString newPath = FDevice->portPath();
    EXPECT_NE(newPath, oldPath);
    EXPECT_EQ(readText(ttyDir() + QStringLiteral("/port")).trimmed(), newPath);
    ASSERT_TRUE(FClient.open(newPath));
    EXPECT_EQ(ask(QStringLiteral("GIN")), QStringLiteral("TIN;SV2000123;"));
}

TEST_F(sim_Device, twoDevices_shareOneRoot_withTheirOwnTtyAndSerial)
{
    TVirtualSarvik second(options(QStringLiteral("SV2000999")));
    QString error;
    ASSERT_TRUE(second.start(&error)) << error.toStdString();
    EXPECT_NE(second.ttyName(), FDevice->ttyName());
    TRawClient other;
    ASSERT_TRUE(other.open(second.portPath()));
    const auto line = other.exchange(QStringLiteral("GIN"));
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(VerifiedPayload(*line).value_or("x"), QByteArray("TIN;SV2000999;"));
    EXPECT_EQ(ask(QStringLiteral("GIN")), QStringLiteral("TIN;SV2000123;"));
    EXPECT_EQ(QDir(FRoot.filePath(QStringLiteral("class/tty"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    second.stop();
    EXPECT_EQ(QDir(FRoot.filePath(QStringLiteral("class/tty"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{FDevice->ttyName()});
    EXPECT_EQ(QDir(FRoot.filePath(QStringLiteral("devices"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

TEST_F(sim_Device, switchOff_showsItsState_leavesTheBus_andPowerOnReturns)
{
    ASSERT_EQ(ask(QStringLiteral("SAS;1")), QStringLiteral("TAS;0;"));
    EXPECT_EQ(ask(QStringLiteral("SAO;428;617")), QStringLiteral("TAO;0;"));
    EXPECT_EQ(ask(QStringLiteral("GIS")), QStringLiteral("TIS;64;0;0;0;0;8;8;"));
    const QString tty = ttyDir();
    EXPECT_TRUE(waitFor([&] { return !QFileInfo::exists(tty); }, kRegistrationTimeoutMs));
    EXPECT_TRUE(FClient.waitHangUp());
    QString error;
    EXPECT_FALSE(FDevice->startRun(1, &error));
    ASSERT_TRUE(FDevice->powerOn(&error)) << error.toStdString();
    ASSERT_TRUE(FClient.open(FDevice->portPath()));
    EXPECT_EQ(ask(QStringLiteral("GIS")), QStringLiteral("TIS;4;0;0;0;0;1;1;"));
    EXPECT_FALSE(FDevice->powerOn(&error));
}

TEST_F(sim_Device, eventLog_recordsFramesAndAnswersWithTheirTimes)
{
    ASSERT_EQ(ask(QStringLiteral("GIN")), QStringLiteral("TIN;SV2000123;"));
    ASSERT_EQ(ask(QStringLiteral("GIE")).left(4), QStringLiteral("TIE;"));
    const QString log = FRoot.filePath(QStringLiteral("events.log"));
    QStringList lines;
    ASSERT_TRUE(waitFor(
        [&] {
            lines = readText(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            return lines.size() >= 4;
        },
        kRegistrationTimeoutMs));
    const QRegularExpression re(QStringLiteral("^(\\d+) (RX|TX) (.*)$"));
    const QStringList expected[] = {
        {QStringLiteral("RX"), QString::fromLatin1(BuildFrame(QStringLiteral("GIN")).chopped(2))},
        {QStringLiteral("TX"), QString::fromLatin1(AnswerLine("TIN;SV2000123;").chopped(2))},
        {QStringLiteral("RX"), QString::fromLatin1(BuildFrame(QStringLiteral("GIE")).chopped(2))}};
    qint64 previous = -1;
    for (int i = 0; i < 4; ++i) {
        const auto m = re.match(lines.at(i));
        ASSERT_TRUE(m.hasMatch()) << lines.at(i).toStdString();
        EXPECT_GE(m.captured(1).toLongLong(), previous);
        previous = m.captured(1).toLongLong();
        if (i < 3) {
            EXPECT_EQ(m.captured(2), expected[i][0]);
            EXPECT_EQ(m.captured(3), expected[i][1]);
        }
    }
    // The degree sign arrives in the log as text, not as a raw byte.
    EXPECT_TRUE(lines.at(3).contains(QStringLiteral("\u00b0C")));
}

TEST(sim_DeviceOptions, unusableOptions_areRefusedBeforeAnythingIsCreated)
{
    QTemporaryDir root;
    const std::function<void(TVirtualSarvikOptions&)> changes[] = {
        [](TVirtualSarvikOptions& o) { o.firmware = QStringLiteral("3.x"); },
        [](TVirtualSarvikOptions& o) { o.serial = QStringLiteral("A;B"); },
        [](TVirtualSarvikOptions& o) { o.languages = 0; },
        [](TVirtualSarvikOptions& o) { o.languages = 9; },
        [](TVirtualSarvikOptions& o) { o.speed = 0.0; },
        [](TVirtualSarvikOptions& o) { o.variants = 64; },
    };
    for (const auto& change : changes) {
        TVirtualSarvikOptions o;
        o.root = root.path();
        change(o);
        TVirtualSarvik device(o);
        QString error;
        EXPECT_FALSE(device.start(&error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(root.filePath(QStringLiteral("class"))));
    }
}
