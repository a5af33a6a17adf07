// The program's main window against the virtual device in the same process: going online,
// the polling it keeps up, alarms and device messages in the system messages, losing and
// regaining the device, and the communication protocol file.

#include "mainwindow.h"
#include "settingsform.h"
#include "simlog.h"
#include "statusarea.h"
#include "sysmeld.h"
#include "virtualsarvik.h"
#include "wireformat.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// Going offline needs two unanswered 3 s windows; coming back, a few offline polls.
constexpr int kOnlineTimeoutMs = 15000;
constexpr int kOfflineTimeoutMs = 20000;
constexpr int kCadenceWindowMs = 13000;

class app_InProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.filePath(QStringLiteral("root"));
        ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
        simLog = dir.filePath(QStringLiteral("sim.log"));
        logDir = dir.filePath(QStringLiteral("logs"));
        ASSERT_TRUE(QDir().mkpath(logDir));
    }

    void TearDown() override
    {
        if (form)
            form->CloseWithoutQuestion();
        form.reset();
        settings.reset();
        if (device)
            device->stop();
    }

    void startDevice()
    {
        TVirtualSarvikOptions options;
        options.root = root;
        options.logFile = simLog;
        device = std::make_unique<TVirtualSarvik>(options);
        QString error;
        ASSERT_TRUE(device->start(&error)) << error;
    }

    // iniText is written as the settings file the program is started with.
    void startProgram(const QByteArray& iniText = {})
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(iniText);
        f.close();
        settings = std::make_unique<TFSettingsForm>();
        form = std::make_unique<TForm1>(*settings,
                                        QStringList{QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root},
                                        dir.path() + QLatin1Char('/'));
        form->Dialogs().warn = [](QWidget*, const QString& t) { ADD_FAILURE() << "warning: " << t; };
        form->Dialogs().error = [](QWidget*, const QString& t) { ADD_FAILURE() << "error: " << t; };
        form->show();
    }

    void startOnline()
    {
        startDevice();
        startProgram();
        ASSERT_TRUE(waitFor([&] { return online(); }, kOnlineTimeoutMs));
    }

    bool online() const { return form->Context().Online && text("txtSerNo") == u"SV2000123"; }

    QString text(const char* objectName) const
    {
        auto* label = form->findChild<QLabel*>(QLatin1String(objectName));
        return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(objectName));
    }
    QWidget* widget(const char* objectName) const { return form->findChild<QWidget*>(QLatin1String(objectName)); }

    QTemporaryDir dir;
    QString root;
    QString ini;
    QString simLog;
    QString logDir;
    std::unique_ptr<TVirtualSarvik> device;
    std::unique_ptr<TFSettingsForm> settings;
    std::unique_ptr<TForm1> form;
};

struct TSysLine {
    QString text;
    QColor colour;  // of the message after the time stamp
};

// The system messages as the window shows them, stamp removed.
std::vector<TSysLine> sysLines()
{
    std::vector<TSysLine> lines;
    TfSysMeld* w = SysMeldWindow();
    if (!w)
        return lines;
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d\\.\\d\\d\\. \\d\\d:\\d\\d:\\d\\d:\\d{3} "));
    for (QTextBlock b = w->mem1->document()->begin(); b.isValid(); b = b.next()) {
        const QString all = b.text();
        const auto m = stamp.match(all);
        if (!m.hasMatch())
            continue;
        QColor colour;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (frag.position() + frag.length() > b.position() + m.capturedLength()) {
                colour = frag.charFormat().foreground().color();
                break;
            }
        }
        lines.push_back({all.mid(m.capturedLength()), colour});
    }
    return lines;
}

QString allText()
{
    TfSysMeld* w = SysMeldWindow();
    return w ? w->mem1->toPlainText() : QString();
}

int countLines(const QString& text)
{
    int n = 0;
    for (const TSysLine& l : sysLines())
        n += l.text == text ? 1 : 0;
    return n;
}

// The colour of the first line with this text; invalid when there is none.
QColor colourOf(const QString& text)
{
    for (const TSysLine& l : sysLines()) {
        if (l.text == text)
            return l.colour;
    }
    return {};
}

TEST_F(app_InProcess, firstDeviceInfoTakesTheProgramOnline_andTheStatusAreaShowsTheDevice)
{
    startOnline();
    // The slow queries follow going online; wait until their values have arrived.
    ASSERT_TRUE(waitFor([&] { return !text("txtPressure").isEmpty() && text("txtPressure") != u"???"
                                     && !text("txtAkku").isEmpty() && !text("txtRunTime").isEmpty(); }));
    EXPECT_EQ(text("txtFirmware"), QStringLiteral("3.6.0"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SV2000123 - SarvikControl"));
    ASSERT_TRUE(waitFor([&] { return text("pnlStatus") != u"???"; })) << "the first status answer";
    EXPECT_EQ(text("pnlStatus"), QStringLiteral("Bereit"));
    EXPECT_TRUE(widget("pnlStatus")->isVisible());
    EXPECT_FALSE(widget("pnlError")->isVisible());
    EXPECT_FALSE(widget("ledAlarm")->isVisible());

    // A fresh device: no run time and no volume yet, the battery full, a German display.
    EXPECT_EQ(text("txtRunTime"), QStringLiteral("0000:00"));
    EXPECT_EQ(text("txtVolume"), QStringLiteral("    0"));
    const QRegularExpression decimal1(QStringLiteral("^-?\\d+,\\d$"));
    EXPECT_TRUE(decimal1.match(text("txtTemp")).hasMatch()) << text("txtTemp");
    EXPECT_EQ(text("txtTempUnit"), QStringLiteral("\u00b0C")) << "the device's Windows-1252 degree sign";
    EXPECT_TRUE(decimal1.match(text("txtHumidity")).hasMatch()) << text("txtHumidity");
    EXPECT_EQ(text("txtHumidityUnit"), QStringLiteral("%rF"));
    EXPECT_TRUE(decimal1.match(text("txtPressure")).hasMatch()) << text("txtPressure");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+,\\d\\d V$")).match(text("txtAkku")).hasMatch())
        << text("txtAkku");
    EXPECT_EQ(text("lblAkku"), QStringLiteral("Akku:"));
    auto* gauge = form->findChild<TBatteryGauge*>(QStringLiteral("gaugeAkku"));
    ASSERT_NE(gauge, nullptr);
    EXPECT_GT(gauge->Position(), 90);
    EXPECT_EQ(gauge->Colour(), QColor(0, 255, 0));

    // Offline the program only knocks with GID; the first answer to it is enough.
    int tidBeforeGin = 0;
    bool ginSeen = false;
    for (const TSimLogEvent& e : ReadSimLog(simLog)) {
        if (e.received && e.word() == u"GIN") {
            ginSeen = true;
            break;
        }
        if (e.received) {
            EXPECT_EQ(e.word(), QStringLiteral("GID")) << e.text;
        } else if (e.word() == u"TID") {
            ++tidBeforeGin;
        }
    }
    EXPECT_TRUE(ginSeen);
    EXPECT_EQ(tidBeforeGin, 1);
}

TEST_F(app_InProcess, onlinePolling_keepsItsCadence)
{
    startDevice();
    startProgram();
    // Going online asks for the serial number once: that frame starts the window.
    qint64 startMs = -1;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const TSimLogEvent& e : ReadSimLog(simLog)) {
                if (e.received && e.word() == u"GIN") {
                    startMs = e.ms;
                    return true;
                }
            }
            return false;
        },
        kOnlineTimeoutMs));
    const qint64 endMs = startMs + kCadenceWindowMs;
    std::map<QString, int> frames;
    ASSERT_TRUE(waitFor(
        [&] {
            const std::vector<TSimLogEvent> events = ReadSimLog(simLog);
            if (events.empty() || events.back().ms < endMs)
                return false;
            frames.clear();
            for (const TSimLogEvent& e : events) {
                if (e.received && e.ms >= startMs && e.ms < endMs)
                    ++frames[e.word()];
            }
            return true;
        },
        kCadenceWindowMs + kOnlineTimeoutMs));
    EXPECT_TRUE(form->Context().Online);
    const struct {
        const char* word;
        int least;
        int most;
    } expected[] = {{"GIS", 12, 14}, {"GID", 12, 14}, {"GIO", 2, 3}, {"GIB", 2, 3}, {"GIE", 2, 3}, {"GIN", 1, 1}};
    int known = 0;
    for (const auto& x : expected) {
        const int n = frames[QLatin1String(x.word)];
        known += n;
        EXPECT_GE(n, x.least) << x.word;
        EXPECT_LE(n, x.most) << x.word;
    }
    int all = 0;
    for (const auto& [word, n] : frames)
        all += n;
    EXPECT_EQ(all, known) << "no other frames and no repetitions";
}

TEST_F(app_InProcess, alarmIsReportedOnceWithThePanel_andClearingIsAcknowledged)
{
    startOnline();
    TfSysMeld* sysMeld = SysMeldWindow();
    ASSERT_NE(sysMeld, nullptr);
    EXPECT_FALSE(sysMeld->isVisible());

    device->setAlarm(2, 9);
    const QString alarm =
        QStringLiteral("ALARM: Luftstrom blockiert, Sensordaten fehlerhaft, 5-Volt-Versorgung gestört");
    ASSERT_TRUE(waitFor([&] { return countLines(alarm) > 0; }));
    EXPECT_TRUE(sysMeld->isVisible()) << "an alarm opens the system messages";
    EXPECT_EQ(colourOf(alarm), QColor(Qt::red));
    EXPECT_TRUE(widget("pnlError")->isVisible());
    EXPECT_EQ(text("pnlError").split(QLatin1Char('\n')),
              (QStringList{QStringLiteral("Luftstrom blockiert"), QStringLiteral("Sensordaten fehlerhaft"),
                           QStringLiteral("5-Volt-Versorgung gestört")}));
    EXPECT_TRUE(widget("ledAlarm")->isVisible());

    // More status answers with the same alarm must not repeat it.
    const std::size_t polled = ReadSimLog(simLog).size();
    ASSERT_TRUE(waitFor([&] {
        int gis = 0;
        const std::vector<TSimLogEvent> events = ReadSimLog(simLog);
        for (std::size_t i = polled; i < events.size(); ++i)
            gis += !events[i].received && events[i].word() == u"TIS" ? 1 : 0;
        return gis >= 2;
    }));
    device->clearAlarm();
    ASSERT_TRUE(waitFor([&] { return countLines(QStringLiteral("Alarm quittiert")) > 0; }));
    EXPECT_EQ(countLines(alarm), 1);
    EXPECT_EQ(countLines(QStringLiteral("Alarm quittiert")), 1);
    EXPECT_FALSE(widget("ledAlarm")->isVisible());
    EXPECT_TRUE(widget("pnlError")->isVisible()) << "the panel stays until the user double-clicks it";
}

TEST_F(app_InProcess, deviceMessageAppearsInBlueWithoutOpeningTheWindow)
{
    startOnline();
    // Windows-1252 on the wire, one byte each for the umlaut and the degree sign; a device
    // message shows every byte outside 32..126 as its code.
    QString error;
    ASSERT_TRUE(device->sendTim(QStringLiteral("Prüfung bei 21 °C"), &error)) << error;
    const QString expected = QStringLiteral("Gerät: Pr<252>fung bei 21 <176>C");
    ASSERT_TRUE(waitFor([&] { return countLines(expected) > 0; })) << allText();
    EXPECT_EQ(colourOf(expected), QColor(Qt::blue));
    EXPECT_FALSE(SysMeldWindow()->isVisible());
    EXPECT_TRUE(form->Context().Online) << "a device message is no answer and costs no order";
}

TEST_F(app_InProcess, silentDeviceTakesTheProgramOffline_andBackOnlineAPendingAlarmIsReportedAgain)
{
    startOnline();
    const QString alarm = QStringLiteral("ALARM: Motorstörung");
    device->setAlarm(3);
    ASSERT_TRUE(waitFor([&] { return countLines(alarm) == 1; }));

    device->dropNext(1000000);
    ASSERT_TRUE(waitFor([&] { return !form->Context().Online; }, kOfflineTimeoutMs));
    for (const char* name : {"txtSerNo", "txtFirmware", "txtVolume", "txtTemp", "txtHumidity", "txtPressure",
                             "pnlStatus"})
        EXPECT_EQ(text(name), QStringLiteral("???")) << name;
    EXPECT_EQ(text("txtRunTime"), QString());
    EXPECT_EQ(text("txtAkku"), QString());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SarvikControl"));
    EXPECT_FALSE(widget("pnlError")->isVisible());
    EXPECT_FALSE(widget("ledAlarm")->isVisible());
    // The port stays open: the device is still there, it just does not answer.
    EXPECT_EQ(form->Connection().State(), TConnectionMachine::csConnected);

    device->dropNext(0);
    ASSERT_TRUE(waitFor([&] { return online(); }, kOnlineTimeoutMs));
    EXPECT_EQ(text("txtFirmware"), QStringLiteral("3.6.0"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SV2000123 - SarvikControl"));
    ASSERT_TRUE(waitFor([&] { return countLines(alarm) == 2; })) << allText();
    EXPECT_TRUE(widget("pnlError")->isVisible());
    EXPECT_EQ(text("pnlError"), QStringLiteral("Motorstörung"));
}

// The protocol's lines, split at the platform's line end and kept as bytes.
QList<QByteArray> protocolLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

TEST_F(app_InProcess, loggingWritesTheProtocolFileWithHeaderTrafficAndEnd)
{
    startDevice();
    startProgram("[settings/General]\nLogging=1\n[settings/Paths]\nLog=" + logDir.toUtf8() + "\n");
    ASSERT_TRUE(waitFor([&] { return online(); }, kOnlineTimeoutMs));
    // Wait for the climate answer, which carries a byte outside ASCII.
    ASSERT_TRUE(waitFor([&] { return text("txtTempUnit") == u"\u00b0C"; }));
    form->CloseWithoutQuestion();
    form.reset();

    const QStringList files = QDir(logDir).entryList({QStringLiteral("SarvikControl_*.txt")}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << files.join(QLatin1Char(' '));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^SarvikControl_\\d{14}\\.txt$")).match(files[0]).hasMatch());
    const QList<QByteArray> lines = protocolLines(QDir(logDir).filePath(files[0]));
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[0], QByteArray("SarvikControl - Protokolldatei Datenverkehr Sarvik2V2 (Version 0.1.0)"));
    EXPECT_EQ(lines[1], QByteArray(" "));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Protokollstart am \\d\\d\\.\\d\\d\\.\\d{4} um \\d\\d:\\d\\d:\\d\\d Uhr$"))
                    .match(QString::fromUtf8(lines[2])).hasMatch())
        << lines[2];
    EXPECT_EQ(lines[3], QByteArray(" "));
    EXPECT_EQ(lines[4], QByteArray("Sender \tZeit   \tDaten"));
    EXPECT_EQ(lines[5], QByteArray(74, '-'));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Protokollende am \\d\\d\\.\\d\\d\\.\\d{4} um \\d\\d:\\d\\d:\\d\\d Uhr$"))
                    .match(QString::fromUtf8(lines.last())).hasMatch())
        << lines.last();

    // Event lines: tag, tab, hh:nn:ss:zzz, tab, data. Frames go out whole, answers without
    // their line end, both checksummed.
    // A wake-up by the connection's queue clearing is logged under DEBUG; a healthy link has
    // no ERROR lines.
    const QRegularExpression event(QStringLiteral("^(PC|DEVICE|DEBUG)\\t\\d\\d:\\d\\d:\\d\\d:\\d{3}\\t(.*)$"));
    std::map<QByteArray, int> pcFrames;
    int deviceLines = 0;
    bool degreeByte = false;
    for (qsizetype i = 6; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const auto m = event.match(QString::fromLatin1(line));
        ASSERT_TRUE(m.hasMatch()) << line;
        const QByteArray data = m.captured(2).toLatin1();
        if (m.captured(1) == u"DEBUG") {
            EXPECT_TRUE(data == "Not enough data received" || data == "Timeout") << data;
        } else if (m.captured(1) == u"PC") {
            ASSERT_TRUE(data.endsWith("<CR><LF>")) << data;
            const QByteArray frame = data.chopped(8);
            EXPECT_EQ(frame, BuildFrame(FromWire(frame.left(3))).chopped(2)) << "checksum of " << data;
            ++pcFrames[frame];
        } else {
            EXPECT_FALSE(data.contains('<')) << "an answer line holds no CR or LF: " << data;
            TOrder order;
            EXPECT_TRUE(CheckAnswer(data, order, {})) << data;
            ++deviceLines;
            degreeByte = degreeByte || (data.startsWith("TIE;") && data.contains("\xb0" "C"));
        }
    }
    EXPECT_GE(pcFrames[QByteArray("GIN;00281")], 1) << "the frame of the serial number query";
    EXPECT_GE(pcFrames[QByteArray("GID;00271")], 1);
    EXPECT_GE(deviceLines, 5);
    EXPECT_TRUE(degreeByte) << "the device's byte 0xB0 is written as it came";
}

}  // namespace
