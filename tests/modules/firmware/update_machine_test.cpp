// The update procedure on a fake clock against a fake program and a fake bootloader that
// answers by the byte protocol and keeps its own checksum.

#include "firmwarefiles.h"
#include "i18n.h"
#include "updatemachine.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include "qtprinters.h"

namespace {

struct TLogLine {
    QString text;
    TLogColour colour;
    bool operator==(const TLogLine&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TLogLine& l)
{
    const char* c = l.colour == TLogColour::Red ? "red" : l.colour == TLogColour::Green ? "green" : "blue";
    return os << c << ": " << l.text.toStdString();
}

TLogLine red(const char* t) { return {QString::fromUtf8(t), TLogColour::Red}; }
TLogLine green(const char* t) { return {QString::fromUtf8(t), TLogColour::Green}; }
TLogLine blue(const char* t) { return {QString::fromUtf8(t), TLogColour::Blue}; }

const QString kBootPort = QStringLiteral("/dev/ttyACM7");

// Program and bootloader as the machine sees them.
class TFakeRig {
public:
    TFakeRig()
        : Machine(makeEnv())
    {
    }

    TUpdateEnv makeEnv()
    {
        TUpdateEnv e;
        e.isOnline = [this] { return Online; };
        e.sendOrder = [this](int client, const QString& cmd, int tag) {
            Events << QStringLiteral("order %1 %2 %3").arg(client).arg(cmd).arg(tag);
        };
        e.disconnect = [this] {
            Events << QStringLiteral("disconnect");
            Halted = true;
            PortOpen = false;
        };
        e.startConnecting = [this] {
            Events << QStringLiteral("startConnecting");
            Halted = false;
        };
        e.setOffline = [this] { Events << QStringLiteral("setOffline"); };
        e.showUpdateState = [this] { Events << QStringLiteral("showUpdateState"); };
        e.lockLinkActions = [this](bool locked) { Events << QStringLiteral("lock %1").arg(locked); };
        e.statusSetPort = [this](const QString& p) { Events << QStringLiteral("port ") + p; };
        e.statusSetOnline = [this](bool on) { Events << QStringLiteral("link %1").arg(on); };
        e.isDevicePresent = [this](int vid, int pid, const QString& serial) {
            return BootPresent && vid == 0x0483 && pid == 0xA2BA && serial == QLatin1String("00000000001A");
        };
        e.getPortName = [this](int, int, const QString&) { return BootPresent && PortNameKnown ? kBootPort : QString(); };
        e.openPort = [this](const QString& port) {
            ++OpenAttempts;
            TPortOpenResult r = TPortOpenResult::Opened;
            if (!OpenResults.empty()) {
                r = OpenResults.front();
                OpenResults.erase(OpenResults.begin());
            }
            if (r == TPortOpenResult::Opened) {
                PortOpen = true;
                Events << QStringLiteral("open ") + port;
            }
            return r;
        };
        e.closePort = [this] {
            PortOpen = false;
            Events << QStringLiteral("close");
        };
        e.drainPort = [this] { Events << QStringLiteral("drain"); };
        e.purge = [this] { Events << QStringLiteral("purge"); };
        e.send = [this](const QByteArray& bytes) { return onSend(bytes); };
        e.expectBytes = [this](int n) {
            Expected = n;
            Answer.reset();
            answerIfDue();
        };
        e.getData = [this](QByteArray& data) {
            if (!Answer)
                return false;
            data = *Answer;
            Answer.reset();
            return true;
        };
        e.resetReceive = [this] { Events << QStringLiteral("resetReceive"); };
        e.log = [this](const QString& text, TLogColour c) { Log.push_back({text, c}); };
        e.blockSent = [this](int block, qint64) { Blocks.push_back(block); };
        e.viewChanged = [this] {
            const TUpdateView& v = Machine.View();
            if (v.ProgressVisible && (!ProgressShown || Progress.back() != v.Progress))
                Progress.push_back(v.Progress);
            else if (!v.ProgressVisible && ProgressShown)
                Progress.push_back(-1);
            ProgressShown = v.ProgressVisible;
        };
        return e;
    }

    bool onSend(const QByteArray& bytes)
    {
        if (!PortOpen)
            return false;
        if (FailFinish && bytes == QByteArray::fromHex("0452"))
            return false;
        Wire += bytes;
        Pending += bytes;
        parse();
        return true;
    }

    // The fake bootloader: takes whole commands off the pending bytes.
    void parse()
    {
        for (;;) {
            if (Pending.startsWith(QByteArray::fromHex("55AA0B"))) {
                Pending.remove(0, 3);
                Due = HandshakeAnswer ? std::optional<QByteArray>(QByteArray(62, '\x11')) : std::nullopt;
                Sum = 1;
                continue;
            }
            if (Pending.startsWith(QByteArray::fromHex("5802")) && !Started) {
                Started = true;
                Pending.remove(0, 2);
                continue;
            }
            if (Pending.startsWith(QByteArray::fromHex("FFFF03"))) {
                Pending.remove(0, 3);
                Ends++;
                if (!SilentEnd)
                    Due = QByteArray(1, char(EndAnswer ? *EndAnswer : Sum));
                continue;
            }
            if (Pending.startsWith(QByteArray::fromHex("0452"))) {
                Pending.remove(0, 2);
                Finished = true;
                continue;
            }
            if (Started && Pending.size() >= 258) {
                const QByteArray block = Pending.left(258);
                Pending.remove(0, 258);
                const int number = (uchar(block[0])) | (uchar(block[1]) << 8);
                Received.push_back(number);
                for (char c : block)
                    Sum = uint8_t(Sum + uchar(c));
                const int count = int(Received.size());
                if (SilentAt && *SilentAt == count)
                    Due.reset();
                else
                    Due = QByteArray(1, char(ZeroAt && *ZeroAt == count ? 0 : 0x5A));
                continue;
            }
            break;
        }
        answerIfDue();
    }

    void answerIfDue()
    {
        if (Due && Expected > 0 && Due->size() == Expected) {
            Answer = Due;
            Due.reset();
            Expected = 0;
        }
    }

    // Ticks every millisecond until the machine is idle again (or maxMs passed).
    void runToIdle(qint64 maxMs = 60000)
    {
        const qint64 end = Now + maxMs;
        do {
            Machine.tick(++Now);
        } while (Machine.State() != TUpdateMachine::usIdle && Now < end);
    }
    void tickUntil(TUpdateMachine::TState state, qint64 maxMs = 60000)
    {
        const qint64 end = Now + maxMs;
        while (Machine.State() != state && Now < end)
            Machine.tick(++Now);
    }

    bool logged(const TLogLine& line) const { return std::find(Log.begin(), Log.end(), line) != Log.end(); }
    int indexOf(const QString& event) const { return int(Events.indexOf(event)); }

    bool Online = true;
    bool Halted = false;
    bool BootPresent = true;
    bool PortNameKnown = true;
    bool PortOpen = true;  // the application port at first
    bool HandshakeAnswer = true;
    bool FailFinish = false;
    bool SilentEnd = false;
    std::optional<int> ZeroAt;    // the n-th block (1-based) answered 00
    std::optional<int> SilentAt;  // the n-th block gets no answer
    std::optional<uint8_t> EndAnswer;
    std::vector<TPortOpenResult> OpenResults;
    int OpenAttempts = 0;

    QStringList Events;
    QByteArray Wire;
    QByteArray Pending;
    bool Started = false;
    bool Finished = false;
    int Ends = 0;
    uint8_t Sum = 0;
    int Expected = 0;
    std::optional<QByteArray> Due;
    std::optional<QByteArray> Answer;
    std::vector<int> Received;
    std::vector<int> Blocks;
    std::vector<int> Progress;  // shown values; -1 when the bar was hidden
    bool ProgressShown = false;
    std::vector<TLogLine> Log;
    qint64 Now = 1000;
    TUpdateMachine Machine;
};

class firmware_Machine : public ::testing::Test {
protected:
    void SetUp() override { SetProgramLanguage(kLangGerman); }

    QString imageFile(const QByteArray& image, const QString& name = QStringLiteral("fw.hex"))
    {
        const QString path = FDir.filePath(name);
        EXPECT_TRUE(WriteFile(path, HexTextOfImage(image)));
        return path;
    }

    // Starts a run of image and answers the restart with answer (empty: no answer).
    void startOnline(const QByteArray& image, const QString& answer = QStringLiteral("TAR;0;"))
    {
        Rig.Machine.SetFileName(imageFile(image));
        ASSERT_TRUE(Rig.Machine.Start());
        Rig.Machine.tick(++Rig.Now);
        ASSERT_EQ(Rig.Machine.State(), TUpdateMachine::usWaitRestart);
        if (!answer.isEmpty())
            Rig.Machine.RXData(10, 1, answer);
    }

    QTemporaryDir FDir;
    TFakeRig Rig;
};

// ---- state 10: the file ------------------------------------------------------------------

struct TFileCase {
    const char* name;
    enum { NoName, Missing, BadChars, Tiny, NoData } kind;
    std::vector<TLogLine> log;
};

class firmware_MachineFile : public firmware_Machine, public ::testing::WithParamInterface<TFileCase> {};

TEST_P(firmware_MachineFile, refusedInStateTenWithoutTouchingTheDevice)
{
    const TFileCase& c = GetParam();
    switch (c.kind) {
    case TFileCase::NoName:
        break;
    case TFileCase::Missing:
        Rig.Machine.SetFileName(FDir.filePath(QStringLiteral("gone.hex")));
        break;
    case TFileCase::BadChars:
        ASSERT_TRUE(WriteFile(FDir.filePath(QStringLiteral("b.hex")), ":10000000ZZ\n"));
        Rig.Machine.SetFileName(FDir.filePath(QStringLiteral("b.hex")));
        break;
    case TFileCase::Tiny:
        Rig.Machine.SetFileName(imageFile(PatternImage(256)));
        break;
    case TFileCase::NoData:
        ASSERT_TRUE(WriteFile(FDir.filePath(QStringLiteral("e.hex")), ":00000001FF\n"));
        Rig.Machine.SetFileName(FDir.filePath(QStringLiteral("e.hex")));
        break;
    }
    ASSERT_TRUE(Rig.Machine.Start());
    Rig.Machine.tick(++Rig.Now);
    EXPECT_EQ(Rig.Machine.State(), TUpdateMachine::usIdle);
    EXPECT_EQ(Rig.Log, c.log);
    // Nothing reached the device or the link; the buttons never went off.
    EXPECT_TRUE(Rig.Events.isEmpty()) << Rig.Events.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(Rig.Machine.View().StartEnabled);
    EXPECT_TRUE(Rig.Machine.View().CloseEnabled);
    EXPECT_TRUE(Rig.Machine.Start());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, firmware_MachineFile,
    ::testing::Values(
        TFileCase{"noName", TFileCase::NoName, {red("Es ist keine Aktualisierungsdatei ausgewählt")}},
        TFileCase{"missing", TFileCase::Missing, {red("Firmwaredatei nicht vorhanden")}},
        TFileCase{"badChars", TFileCase::BadChars,
                  {green("Prüfe Firmwaredatei"), red("HEX-Datei enthält ungültige Zeichen"),
                   red("Firmwaredatei fehlerhaft")}},
        TFileCase{"oneBlockOnly", TFileCase::Tiny,
                  {green("Prüfe Firmwaredatei"), red("Firmwaredatei enthält zu wenig Daten"),
                   red("Firmwaredatei fehlerhaft")}},
        TFileCase{"noData", TFileCase::NoData,
                  {green("Prüfe Firmwaredatei"), red("Firmwaredatei enthält zu wenig Daten"),
                   red("Firmwaredatei fehlerhaft")}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- a whole run ---------------------------------------------------------------------------

TEST_F(firmware_Machine, threeBlockImage_wireBytesOrderProgressAndReturnToTheLink)
{
    const QByteArray image = PatternImage(600);  // last block 2
    startOnline(image);
    EXPECT_FALSE(Rig.Machine.View().StartEnabled);
    EXPECT_FALSE(Rig.Machine.View().CloseEnabled);
    Rig.runToIdle();

    QByteArray expected = QByteArray::fromHex("55AA0B5802");
    auto block = [&](int n) {
        QByteArray b;
        b.append(char(n & 0xFF)).append(char(n >> 8));
        b.append(image.mid(n * 256, 256).leftJustified(256, char(0xFF)));
        return b;
    };
    expected += QByteArray::fromHex("0000") + QByteArray(256, char(0xFF));
    expected += block(1) + block(2) + block(0) + QByteArray::fromHex("FFFF03") + QByteArray::fromHex("0452");
    EXPECT_EQ(Rig.Wire.toHex(), expected.toHex());
    EXPECT_EQ(Rig.Blocks, (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(Rig.Progress, (std::vector<int>{0, 50, 100, 0, -1}));
    EXPECT_TRUE(Rig.Machine.Succeeded());
    EXPECT_EQ(Rig.Machine.Checksum(), Rig.Sum);

    ASSERT_EQ(Rig.Log.size(), 6u);
    EXPECT_EQ(Rig.Log[0], green("Prüfe Firmwaredatei"));
    EXPECT_EQ(Rig.Log[1], blue("Firmwareaktualisierung gestartet"));
    EXPECT_EQ(Rig.Log[2], blue("Kommunikation zu Sarvik2V2 beendet"));
    EXPECT_EQ(Rig.Log[3], green("Initialisiere Sarvik2V2 für Aktualisierung"));
    EXPECT_EQ(Rig.Log[4], green("Aktualisierung gestartet, Dateigröße: 600"));
    EXPECT_TRUE(Rig.Log[5].text.startsWith(QStringLiteral("Firmwareaktualisierung nach ")));
    EXPECT_TRUE(Rig.Log[5].text.endsWith(QStringLiteral(" Sekunden beendet")));
    EXPECT_EQ(Rig.Log[5].colour, TLogColour::Green);
}

TEST_F(firmware_Machine, runOrder_restartHaltThenBootloaderThenDrainCloseBeforeReconnect)
{
    startOnline(PatternImage(600));
    Rig.runToIdle();
    const QStringList& e = Rig.Events;
    EXPECT_EQ(e.first(), QStringLiteral("lock 1"));
    EXPECT_LT(e.indexOf(QStringLiteral("order 4 SAR; 1")), e.indexOf(QStringLiteral("disconnect")));
    EXPECT_LT(e.indexOf(QStringLiteral("disconnect")), e.indexOf(QStringLiteral("open ") + kBootPort));
    EXPECT_LT(e.indexOf(QStringLiteral("port ") + kBootPort), e.indexOf(QStringLiteral("open ") + kBootPort));
    EXPECT_LT(e.indexOf(QStringLiteral("open ") + kBootPort), e.indexOf(QStringLiteral("purge")));
    EXPECT_EQ(e.count(QStringLiteral("link 1")), 1);
    // State 1000: offline, line mode, output drained and port closed before the link resumes.
    const int tail = int(e.lastIndexOf(QStringLiteral("setOffline")));
    ASSERT_GE(tail, 0);
    EXPECT_EQ(e.mid(tail), (QStringList{QStringLiteral("setOffline"), QStringLiteral("resetReceive"),
                                        QStringLiteral("drain"), QStringLiteral("close"), QStringLiteral("lock 0"),
                                        QStringLiteral("startConnecting")}));
    EXPECT_FALSE(Rig.Halted);
    EXPECT_FALSE(Rig.Machine.View().FastTimer);
    EXPECT_TRUE(Rig.Machine.View().StartEnabled);
}

TEST_F(firmware_Machine, offlineStart_disconnectsAndLooksForTheBootloaderWithoutRestartCommand)
{
    Rig.Online = false;
    Rig.Machine.SetFileName(imageFile(PatternImage(600)));
    ASSERT_TRUE(Rig.Machine.Start());
    Rig.Machine.tick(++Rig.Now);
    EXPECT_EQ(Rig.Machine.State(), TUpdateMachine::usClosePort);
    EXPECT_TRUE(Rig.Events.contains(QStringLiteral("disconnect")));
    Rig.runToIdle();
    EXPECT_TRUE(Rig.Machine.Succeeded());
    for (const QString& ev : Rig.Events)
        EXPECT_FALSE(ev.startsWith(QStringLiteral("order"))) << ev.toStdString();
    EXPECT_FALSE(Rig.logged(blue("Kommunikation zu Sarvik2V2 beendet")));
}

TEST_F(firmware_Machine, wireDetails_blockNumbersLowByteFirst_allFfChecksumTwo_progressHalvesToEven)
{
    {
        // 512 bytes of FF: 1 + (01 00) + (00 00) and 2 x 256 x FF, which add nothing mod 256.
        startOnline(QByteArray(512, char(0xFF)));
        Rig.runToIdle();
        EXPECT_EQ(Rig.Machine.Checksum(), 0x02);
        EXPECT_TRUE(Rig.Wire.endsWith(QByteArray::fromHex("FFFF030452")));
        EXPECT_TRUE(Rig.Machine.Succeeded());
    }
    {
        TFakeRig rig;
        rig.Machine.SetFileName(imageFile(PatternImage(8 * 256 + 1), QStringLiteral("nine.hex")));
        rig.Online = false;
        ASSERT_TRUE(rig.Machine.Start());
        rig.runToIdle();
        // Progress after blocks 1..8 of last block 8, then 0 for the final block 0.
        EXPECT_EQ(rig.Progress, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100, 0, -1}));
    }
    {
        TFakeRig rig;
        rig.Online = false;
        rig.Machine.SetFileName(imageFile(PatternImage(kImageBytes), QStringLiteral("full.hex")));
        ASSERT_TRUE(rig.Machine.Start());
        rig.runToIdle(600000);
        EXPECT_TRUE(rig.Machine.Succeeded());
        ASSERT_EQ(rig.Received.size(), 8193u);
        EXPECT_EQ(rig.Received[8191], 8191);
        // Block 8191 goes out as FF 1F.
        const qsizetype at = 5 + 258 * 8191;
        EXPECT_EQ(rig.Wire.mid(at, 2).toHex(), QByteArray("ff1f"));
        EXPECT_EQ(rig.Wire.mid(at + 2, 256), PatternImage(kImageBytes).mid(8191 * 256, 256));
    }
}

// ---- deadlines on the fake clock -----------------------------------------------------------

struct TDeadlineCase {
    const char* name;
    TUpdateMachine::TState waitState;  // the state that waits
    qint64 limitMs;                    // how long it waits
    bool reachesBootloader;            // the stranded-device hint follows
};

class firmware_MachineDeadline : public firmware_Machine, public ::testing::WithParamInterface<TDeadlineCase> {};

TEST_P(firmware_MachineDeadline, waitsItsFullTimeThenTimesOut)
{
    const TDeadlineCase& c = GetParam();
    using S = TUpdateMachine;
    switch (c.waitState) {
    case S::usFindBootloader: Rig.BootPresent = false; break;
    case S::usOpenBootloader: Rig.PortNameKnown = false; break;
    case S::usWaitHandshake: Rig.HandshakeAnswer = false; break;
    case S::usBlocks: Rig.SilentAt = 2; break;
    case S::usWaitChecksum: Rig.SilentEnd = true; break;
    default: FAIL();
    }
    startOnline(PatternImage(900));
    Rig.tickUntil(c.waitState);
    ASSERT_EQ(Rig.Machine.State(), c.waitState);
    // The block wait restarts with every block; step to the silent one.
    while (c.waitState == S::usBlocks && Rig.Received.size() < 2)
        Rig.Machine.tick(++Rig.Now);
    const qint64 entered = Rig.Now;
    while (Rig.Machine.State() == c.waitState && Rig.Now < entered + c.limitMs + 100)
        Rig.Machine.tick(++Rig.Now);
    EXPECT_EQ(Rig.Machine.State(), S::usFinish);
    // It left on the first tick past the deadline, not before.
    EXPECT_GE(Rig.Now - entered, c.limitMs);
    EXPECT_LE(Rig.Now - entered, c.limitMs + 2);
    EXPECT_TRUE(Rig.logged(red("Zeitüberschreitung beim Empfang - Abbruch")));
    Rig.runToIdle();
    EXPECT_EQ(Rig.logged(red("Das Gerät befindet sich noch im Bootloader. Die Aktualisierung kann einfach erneut "
                             "gestartet werden.")),
              c.reachesBootloader);
    EXPECT_FALSE(Rig.Machine.Succeeded());
    EXPECT_EQ(Rig.Events.last(), QStringLiteral("startConnecting"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, firmware_MachineDeadline,
    ::testing::Values(TDeadlineCase{"bootloaderNeverAppears", TUpdateMachine::usFindBootloader, 15000, false},
                      TDeadlineCase{"noPortName", TUpdateMachine::usOpenBootloader, 5000, true},
                      TDeadlineCase{"noHandshakeAnswer", TUpdateMachine::usWaitHandshake, 5000, true},
                      TDeadlineCase{"blockAnswerMissing", TUpdateMachine::usBlocks, 2000, true},
                      TDeadlineCase{"endAnswerMissing", TUpdateMachine::usWaitChecksum, 2000, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct TRestartCase {
    const char* name;
    const char* answer;  // restart answer (empty: none)
    int status;
    qint64 answerAtMs;   // after the order went out
    bool waitsFullSecond;
};

class firmware_MachineRestart : public firmware_Machine, public ::testing::WithParamInterface<TRestartCase> {};

TEST_P(firmware_MachineRestart, restartAnswerDecidesHowLongTheLinkStays)
{
    const TRestartCase& c = GetParam();
    startOnline(PatternImage(600), QString());
    const qint64 sent = Rig.Now;
    while (Rig.Now < sent + c.answerAtMs)
        Rig.Machine.tick(++Rig.Now);
    if (*c.answer)
        Rig.Machine.RXData(c.status, 1, QString::fromLatin1(c.answer));
    while (Rig.Machine.State() == TUpdateMachine::usWaitRestart && Rig.Now < sent + 5000)
        Rig.Machine.tick(++Rig.Now);
    if (c.waitsFullSecond) {
        EXPECT_EQ(Rig.Now - sent, 1001);
        EXPECT_EQ(Rig.Machine.State(), TUpdateMachine::usClosePort);
    } else {
        EXPECT_EQ(Rig.Now - sent, c.answerAtMs + 1);
        EXPECT_EQ(Rig.Machine.State(), TUpdateMachine::usRestartPause);
        const qint64 paused = Rig.Now;
        Rig.tickUntil(TUpdateMachine::usClosePort);
        EXPECT_EQ(Rig.Now - paused, 201);
    }
    EXPECT_EQ(Rig.Events.count(QStringLiteral("disconnect")), 1);
    Rig.runToIdle();
    EXPECT_TRUE(Rig.Machine.Succeeded());
}

INSTANTIATE_TEST_SUITE_P(Cases, firmware_MachineRestart,
                         ::testing::Values(TRestartCase{"success", "TAR;0;", 10, 300, false},
                                           TRestartCase{"refused", "TAR;1;", 10, 300, true},
                                           TRestartCase{"noNumber", "TAR;x;", 10, 300, true},
                                           TRestartCase{"noAnswer", "", 10, 0, true},
                                           TRestartCase{"otherAnswer", "TID;0;", 10, 300, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- errors, cancel and the mends --------------------------------------------------------

TEST_F(firmware_Machine, errorByteEndsWithoutEndBytes_andLeavesTheHint)
{
    startOnline(PatternImage(900));
    Rig.ZeroAt = 3;  // block 2
    Rig.runToIdle();
    EXPECT_TRUE(Rig.logged(red("Unbekannter Fehler aufgetreten")));
    EXPECT_EQ(Rig.Ends, 0);
    EXPECT_FALSE(Rig.Wire.contains(QByteArray::fromHex("FFFF03")));
    EXPECT_FALSE(Rig.Finished);
    EXPECT_EQ(Rig.Log.back(), red("Das Gerät befindet sich noch im Bootloader. Die Aktualisierung kann einfach "
                                  "erneut gestartet werden."));
}

TEST_F(firmware_Machine, wrongEndChecksum_loggedInHexWithoutFinishBytes)
{
    // All FF but the first byte: 1 + (01 00) + (00 00) + 3A - FF = 3D.
    QByteArray image(300, char(0xFF));
    image[0] = char(0x3A);
    startOnline(image);
    Rig.EndAnswer = 0x3C;
    Rig.runToIdle();
    EXPECT_EQ(Rig.Machine.Checksum(), 0x3D);
    EXPECT_TRUE(Rig.logged(red("Prüfsummenfehler: 3C != 3D")));
    EXPECT_FALSE(Rig.Finished);
    EXPECT_FALSE(Rig.Machine.Succeeded());
}

TEST_F(firmware_Machine, cancel_endsTheExchangeButIsReportedAsCancelledNotFinished)
{
    startOnline(PatternImage(10 * 256));
    Rig.Machine.Cancel();  // not in the transfer yet: ignored
    Rig.tickUntil(TUpdateMachine::usBlocks);
    EXPECT_FALSE(Rig.Machine.CancelRequested());
    EXPECT_TRUE(Rig.Machine.View().CancelVisible);
    Rig.Machine.tick(++Rig.Now);
    Rig.Machine.tick(++Rig.Now);
    Rig.Machine.Cancel();
    Rig.EndAnswer = 0x00;  // whatever the device says
    Rig.runToIdle();
    EXPECT_LT(Rig.Received.size(), 11u);
    EXPECT_TRUE(Rig.Wire.endsWith(QByteArray::fromHex("FFFF030452")));
    EXPECT_TRUE(Rig.Finished);
    ASSERT_GE(Rig.Log.size(), 2u);
    EXPECT_EQ(Rig.Log[Rig.Log.size() - 2], red("Firmwareaktualisierung abgebrochen"));
    EXPECT_EQ(Rig.Log.back().colour, TLogColour::Red);
    for (const TLogLine& l : Rig.Log)
        EXPECT_FALSE(l.text.contains(QStringLiteral("beendet")) && l.colour == TLogColour::Green);
    EXPECT_FALSE(Rig.Machine.Succeeded());
}

TEST_F(firmware_Machine, failedFinishBytesAreNoSuccess)
{
    startOnline(PatternImage(600));
    Rig.FailFinish = true;
    Rig.runToIdle();
    EXPECT_TRUE(Rig.logged(red("Keine gültige Kommunikation zu Sarvik2V2")));
    EXPECT_FALSE(Rig.Machine.Succeeded());
    for (const TLogLine& l : Rig.Log)
        EXPECT_FALSE(l.text.contains(QStringLiteral("Sekunden beendet"))) << l;
}

TEST_F(firmware_Machine, startOnlyFromIdle_andTarOnlyWhileWaitingForTheRestart)
{
    startOnline(PatternImage(900), QString());
    EXPECT_FALSE(Rig.Machine.Start());
    // A failed TAR while waiting ends the run.
    {
        TFakeRig rig;
        rig.Machine.SetFileName(imageFile(PatternImage(600), QStringLiteral("x.hex")));
        ASSERT_TRUE(rig.Machine.Start());
        rig.Machine.tick(++rig.Now);
        rig.Machine.RXData(14, 1, QStringLiteral("TAR;0;"));
        EXPECT_EQ(rig.Machine.State(), TUpdateMachine::usFinish);
        EXPECT_TRUE(rig.logged(red("Keine gültige Kommunikation zu Sarvik2V2")));
    }
    Rig.Machine.RXData(10, 1, QStringLiteral("TAR;0;"));
    Rig.tickUntil(TUpdateMachine::usBlocks);
    Rig.Machine.tick(++Rig.Now);
    const std::size_t logged = Rig.Log.size();
    // A late TAR, good or failed, changes nothing in the transfer.
    Rig.Machine.RXData(14, 1, QStringLiteral("TAR;0;"));
    Rig.Machine.RXData(10, 1, QStringLiteral("TAR;1;"));
    EXPECT_EQ(Rig.Machine.State(), TUpdateMachine::usBlocks);
    EXPECT_EQ(Rig.Log.size(), logged);
    EXPECT_FALSE(Rig.Machine.Start());
    EXPECT_FALSE(Rig.Machine.View().StartEnabled);
    Rig.runToIdle();
    EXPECT_TRUE(Rig.Machine.Succeeded());
    EXPECT_TRUE(Rig.Machine.Start());
}

TEST_F(firmware_Machine, secondRun_answerCodeFromTheFirstRunDoesNotCount)
{
    startOnline(PatternImage(600));
    Rig.runToIdle();
    ASSERT_EQ(Rig.Machine.AnswerCode(), 0);
    Rig.Started = false;
    ASSERT_TRUE(Rig.Machine.Start());
    Rig.Machine.tick(++Rig.Now);
    EXPECT_EQ(Rig.Machine.AnswerCode(), -1);
    const qint64 sent = Rig.Now;
    Rig.Machine.RXData(10, 1, QStringLiteral("TAR;x;"));
    Rig.tickUntil(TUpdateMachine::usClosePort);
    EXPECT_EQ(Rig.Now - sent, 1001);
}

TEST_F(firmware_Machine, bootloaderPortRetriedEveryTick_permissionHintOnce)
{
    Rig.OpenResults = {TPortOpenResult::PermissionDenied, TPortOpenResult::PermissionDenied,
                       TPortOpenResult::Failed, TPortOpenResult::Opened};
    startOnline(PatternImage(600));
    Rig.tickUntil(TUpdateMachine::usOpenBootloader);
    const qint64 from = Rig.Now;
    Rig.tickUntil(TUpdateMachine::usHandshake);
    EXPECT_EQ(Rig.OpenAttempts, 4);
    EXPECT_EQ(Rig.Now - from, 4);
    int hints = 0;
    for (const TLogLine& l : Rig.Log)
        hints += l.text.startsWith(QStringLiteral("Keine Zugriffsrechte für den Anschluss ") + kBootPort);
    EXPECT_EQ(hints, 1);
    Rig.runToIdle();
    EXPECT_TRUE(Rig.Machine.Succeeded());

    // Never opened: the step's deadline ends it.
    TFakeRig rig;
    rig.OpenResults.assign(10000, TPortOpenResult::Failed);
    rig.Machine.SetFileName(imageFile(PatternImage(600), QStringLiteral("y.hex")));
    rig.Online = false;
    ASSERT_TRUE(rig.Machine.Start());
    rig.runToIdle();
    EXPECT_TRUE(rig.logged(red("Zeitüberschreitung beim Empfang - Abbruch")));
    EXPECT_GT(rig.OpenAttempts, 4000);
}

TEST_F(firmware_Machine, emptyCountedReceptionIsNoAnswer)
{
    startOnline(PatternImage(600));
    Rig.tickUntil(TUpdateMachine::usBlocks);
    Rig.Answer = QByteArray();  // a completed but empty reception
    Rig.Due.reset();
    Rig.Machine.tick(++Rig.Now);
    EXPECT_EQ(Rig.Machine.State(), TUpdateMachine::usBlocks);
    EXPECT_EQ(Rig.Blocks.size(), 1u);
}

}  // namespace
