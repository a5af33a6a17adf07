// sarvikctl as a script runs it: against virtual devices given by their device root, every
// command end to end, its results read back by the program's own readers, and its exit codes.

#include "firmwarefiles.h"
#include "probedatenlogic.h"
#include "recordstore.h"
#include "sampledata.h"
#include "settingsform.h"
#include "tclogic.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

constexpr int kRunTimeoutMs = 120000;
const QString kExamples = QStringLiteral(SARVIK_EXAMPLES_DIR);
const QString kXlsxTool = QStringLiteral(XLSX_TOOL);

struct TRunResult {
    int Code = -1;
    QString Out;
    QString Err;
};

class ctl_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Root = Dir.filePath(QStringLiteral("root"));
        Ini = Dir.filePath(QStringLiteral("SarvikControl.ini"));
        QFile f(Ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    void TearDown() override
    {
        for (auto& d : Devices)
            d->stop();
    }

    TVirtualSarvik& addDevice(const QString& serial = QStringLiteral("SV2000123"))
    {
        TVirtualSarvikOptions options;
        options.root = Root;
        options.serial = serial;
        options.seed = 5;
        Devices.push_back(std::make_unique<TVirtualSarvik>(options));
        QString error;
        EXPECT_TRUE(Devices.back()->start(&error)) << error.toStdString();
        return *Devices.back();
    }

    QStringList base() const
    {
        return {QStringLiteral("-C"), Ini, QStringLiteral("--device-root"), Root};
    }

    void startCtl(QProcess& p, const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(Dir.path());
        p.start(QStringLiteral(SARVIKCTL_EXE), base() + args);
        ASSERT_TRUE(p.waitForStarted());
    }

    TRunResult run(const QStringList& args)
    {
        QProcess p;
        startCtl(p, args);
        EXPECT_TRUE(p.waitForFinished(kRunTimeoutMs));
        TRunResult r;
        r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.Out = QString::fromUtf8(p.readAllStandardOutput());
        r.Err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    static QList<QJsonObject> jsonLines(const QString& text)
    {
        QList<QJsonObject> objects;
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError e{};
            const QJsonDocument d = QJsonDocument::fromJson(line.toUtf8(), &e);
            EXPECT_EQ(e.error, QJsonParseError::NoError) << line.toStdString();
            objects << d.object();
        }
        return objects;
    }

    static TSimRecord simRecord(TVirtualSarvik& device, int number)
    {
        TSimRecord r;
        device.withModel([&](TDeviceModel& m) { r = SimRecords(m).records.at(static_cast<size_t>(number)); });
        return r;
    }

    QString path(const QString& name) const { return Dir.filePath(name); }

    QTemporaryDir Dir;
    QString Root;
    QString Ini;
    std::vector<std::unique_ptr<TVirtualSarvik>> Devices;
};

TEST_F(ctl_Device, listNamesEveryDevice_andSerialChoosesOne)
{
    addDevice(QStringLiteral("SV2000123"));
    TVirtualSarvik& second = addDevice(QStringLiteral("SV2000456"));
    const TRunResult list = run({QStringLiteral("--json"), QStringLiteral("list")});
    ASSERT_EQ(list.Code, 0) << list.Err.toStdString();
    const QList<QJsonObject> devices = jsonLines(list.Out);
    ASSERT_EQ(devices.size(), 2);
    QStringList serials;
    for (const QJsonObject& d : devices) {
        serials << d.value(QStringLiteral("serial")).toString();
        EXPECT_EQ(d.value(QStringLiteral("vid")).toInt(), 0x0483);
        EXPECT_EQ(d.value(QStringLiteral("pid")).toInt(), 0xA2B8);
    }
    EXPECT_TRUE(serials.contains(QStringLiteral("SV2000456")));

    const TRunResult status = run({QStringLiteral("--serial"), QStringLiteral("SV2000456"), QStringLiteral("--json"),
                                   QStringLiteral("status")});
    ASSERT_EQ(status.Code, 0) << status.Err.toStdString();
    const QList<QJsonObject> s = jsonLines(status.Out);
    ASSERT_EQ(s.size(), 1);
    EXPECT_EQ(s[0].value(QStringLiteral("serial")).toString(), QStringLiteral("SV2000456"));
    EXPECT_EQ(s[0].value(QStringLiteral("firmware")).toString(), second.status().firmware);
    EXPECT_TRUE(s[0].value(QStringLiteral("online")).toBool());

    // Without --serial the first found is used and named on standard error.
    const TRunResult first = run({QStringLiteral("status")});
    ASSERT_EQ(first.Code, 0) << first.Err.toStdString();
    EXPECT_TRUE(first.Err.contains(serials.first())) << first.Err.toStdString();
    EXPECT_TRUE(first.Out.contains(serials.first())) << first.Out.toStdString();
}

TEST_F(ctl_Device, statusShowsAlarmsAsTheProgramNamesThem)
{
    TVirtualSarvik& device = addDevice();
    device.setAlarm(2);
    const TRunResult r = run({QStringLiteral("--json"), QStringLiteral("status")});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    const QList<QJsonObject> s = jsonLines(r.Out);
    ASSERT_EQ(s.size(), 1);
    const QJsonArray alarms = s[0].value(QStringLiteral("alarms")).toArray();
    ASSERT_FALSE(alarms.isEmpty());
    EXPECT_FALSE(s[0].value(QStringLiteral("temperature")).toString().isEmpty());
}

TEST_F(ctl_Device, statusWatch_aLineEachSecondUntilInterrupted)
{
    TVirtualSarvik& device = addDevice();
    QProcess p;
    startCtl(p, {QStringLiteral("status"), QStringLiteral("--watch")});
    QString out;
    ASSERT_TRUE(waitFor([&] {
        out += QString::fromUtf8(p.readAllStandardOutput());
        return out.count(QLatin1Char('\n')) >= 2;
    }, 30000));
    // An alarm raised meanwhile shows in the following lines.
    device.setAlarm(2);
    ASSERT_TRUE(waitFor([&] {
        out += QString::fromUtf8(p.readAllStandardOutput());
        return out.contains(QStringLiteral("ALARM: "));
    }, 30000)) << out.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(kRunTimeoutMs));
    EXPECT_EQ(p.exitCode(), 4);
    // Each line: time, serial number, state, battery, climate.
    EXPECT_TRUE(out.section(QLatin1Char('\n'), 0, 0).contains(QStringLiteral("  SV2000123  Bereit  "))) << out.toStdString();
}

TEST_F(ctl_Device, presetsStartAndStop)
{
    TVirtualSarvik& device = addDevice();
    const TRunResult presets = run({QStringLiteral("--json"), QStringLiteral("presets")});
    ASSERT_EQ(presets.Code, 0) << presets.Err.toStdString();
    const QList<QJsonObject> list = jsonLines(presets.Out);
    ASSERT_EQ(list.size(), 10);
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(list[n - 1].value(QStringLiteral("number")).toInt(), n);
        // storedPreset gives the GSP answer's fields: number, then the name.
        EXPECT_EQ(list[n - 1].value(QStringLiteral("name")).toString(), device.storedPreset(n).value(1)) << n;
    }

    const TRunResult start = run({QStringLiteral("start"), QStringLiteral("2")});
    ASSERT_EQ(start.Code, 0) << start.Err.toStdString();
    EXPECT_TRUE(start.Err.contains(QStringLiteral("Probenahme gestartet"))) << start.Err.toStdString();
    EXPECT_EQ(device.status().preset, 2);
    EXPECT_EQ(device.status().deviceState, 8);

    // A second start is refused with the window's own text.
    const TRunResult again = run({QStringLiteral("start"), QStringLiteral("3")});
    EXPECT_EQ(again.Code, 1);
    EXPECT_TRUE(again.Err.contains(QStringLiteral("Kein zweiter Start möglich"))) << again.Err.toStdString();

    const TRunResult stop = run({QStringLiteral("stop")});
    ASSERT_EQ(stop.Code, 0) << stop.Err.toStdString();
    EXPECT_TRUE(stop.Err.contains(QStringLiteral("Probenahme gestoppt"))) << stop.Err.toStdString();
    EXPECT_TRUE(waitFor([&] { return device.status().deviceState != 8; }));
}

TEST_F(ctl_Device, recordsToCsv_readBackByTheCardLoader)
{
    TVirtualSarvik& device = addDevice();
    const QString csv = path(QStringLiteral("r.csv"));
    const TRunResult r = run({QStringLiteral("records"), QStringLiteral("--last"), QStringLiteral("5"),
                              QStringLiteral("-o"), csv});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Es wurden 5 Sätze eingelesen"))) << r.Err.toStdString();

    // The card's record lines, parsed as the program parses a card file's line.
    QStringList lines;
    ASSERT_TRUE(ReadCardFileLines(csv, lines));
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines.first().startsWith(QLatin1String("record")));
    TFSettingsForm settings;
    TAppContext context(settings);
    TProbedatenLogic loader(context);
    for (const QString& line : lines.mid(1))
        ASSERT_TRUE(loader.ParseSampleRecord(QStringLiteral("TDR;0;") + line));
    ASSERT_EQ(loader.Records().size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const T_SAMPLEDATA& got = loader.Records()[static_cast<size_t>(i)];
        const TSimRecord want = simRecord(device, kSimSeedRecords - 1 - i);
        EXPECT_EQ(got.uiNummer, want.number);
        EXPECT_EQ(got.dtDate, want.when.date());
        EXPECT_EQ(got.bLoggingActive, want.logging);
        for (size_t ch = 0; ch < 2; ++ch) {
            EXPECT_EQ(got.aDC[ch].iStatus, want.channel[ch].status);
            EXPECT_FLOAT_EQ(got.aDC[ch].fVolume, static_cast<float>(want.channel[ch].volume) / 100.0f);
            EXPECT_EQ(got.aDC[ch].tSampleTime, want.channel[ch].sampleTime);
        }
    }
}

TEST_F(ctl_Device, recordsToXlsx_readBackByTheIndependentReader)
{
    addDevice();
    const QString xlsx = path(QStringLiteral("r.xlsx"));
    const TRunResult r = run({QStringLiteral("--json"), QStringLiteral("records"), QStringLiteral("--last"),
                              QStringLiteral("3"), QStringLiteral("-o"), xlsx});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    const QList<QJsonObject> result = jsonLines(r.Out);
    ASSERT_EQ(result.size(), 1);
    EXPECT_EQ(result[0].value(QStringLiteral("records")).toInt(), 3);

    QProcess tool;
    tool.start(QStringLiteral("/usr/bin/python3"), {kXlsxTool, QStringLiteral("dump"), xlsx});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QJsonObject dump = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    EXPECT_TRUE(dump.value(QStringLiteral("problems")).toArray().isEmpty());
    // Sample rows from row 21, the newest first; the device facts above them.
    const QJsonObject cells = dump.value(QStringLiteral("sheets")).toArray().at(0).toObject().value(QStringLiteral("cells")).toObject();
    auto value = [&](const char* ref) { return cells.value(QLatin1String(ref)).toArray().at(1).toVariant(); };
    EXPECT_EQ(value("A21").toInt(), 249);
    EXPECT_EQ(value("A22").toInt(), 248);
    EXPECT_EQ(value("A23").toInt(), 247);
    EXPECT_FALSE(cells.contains(QStringLiteral("A24")));
    EXPECT_EQ(value("B9").toString(), QStringLiteral("SV2000123"));
}

TEST_F(ctl_Device, logToCsvAndWorkbook)
{
    TVirtualSarvik& device = addDevice();
    int number = -1;
    for (int n = kSimSeedRecords - 1; n >= 0 && number < 0; --n) {
        const TSimRecord rec = simRecord(device, n);
        if (rec.logging && rec.logCount() > 0 && rec.logCount() < 300)
            number = n;
    }
    ASSERT_GE(number, 0);
    const TSimRecord want = simRecord(device, number);
    const QString csv = path(QStringLiteral("log.csv"));
    const TRunResult r = run({QStringLiteral("log"), QString::number(number), QStringLiteral("-o"), csv});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    QStringList lines;
    ASSERT_TRUE(ReadCardFileLines(csv, lines));
    ASSERT_EQ(lines.size(), want.logCount() + 1);
    EXPECT_TRUE(lines.first().startsWith(QLatin1String("date")));
    T_SAMPLELOG first;
    DecodeLogFields((QStringLiteral("1;") + lines.at(1)).split(QLatin1Char(';')), first);
    EXPECT_EQ(first.dtDate, want.logEntry(0).when.date());
    EXPECT_FLOAT_EQ(first.sFlow[0], static_cast<float>(want.logEntry(0).flow[0]) / 10000.0f);

    const QString xlsx = path(QStringLiteral("log.xlsx"));
    const TRunResult w = run({QStringLiteral("log"), QString::number(number), QStringLiteral("-o"), xlsx});
    ASSERT_EQ(w.Code, 0) << w.Err.toStdString();
    EXPECT_TRUE(QFileInfo(xlsx).size() > 0);

    // A run without a log is refused with the window's text.
    int without = -1;
    for (int n = kSimSeedRecords - 1; n >= 0 && without < 0; --n) {
        if (!simRecord(device, n).logging)
            without = n;
    }
    ASSERT_GE(without, 0);
    const TRunResult none = run({QStringLiteral("log"), QString::number(without), QStringLiteral("-o"), csv});
    EXPECT_EQ(none.Code, 1);
    EXPECT_TRUE(none.Err.contains(QStringLiteral("Keine Log-Daten vorhanden"))) << none.Err.toStdString();
}

TEST_F(ctl_Device, presetsExportImportRoundTrip)
{
    TVirtualSarvik& device = addDevice();
    QStringList before;
    for (int n = 1; n <= 10; ++n)
        before << device.storedPreset(n).join(QLatin1Char(';'));
    const QString svk = path(QStringLiteral("p.svk"));
    const TRunResult exported = run({QStringLiteral("presets"), QStringLiteral("export"), svk});
    ASSERT_EQ(exported.Code, 0) << exported.Err.toStdString();

    // One name changed in the file: the import writes it and leaves the others as they were.
    QFile f(svk);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    f.close();
    const QString oldName = device.storedPreset(3).value(1);
    const qsizetype section = text.indexOf(QStringLiteral("[preset_03]"));
    ASSERT_GE(section, 0) << text.toStdString();
    const qsizetype at = text.indexOf(QStringLiteral("name=") + oldName, section);
    ASSERT_GE(at, 0);
    text.replace(at, 5 + oldName.size(), QStringLiteral("name=Kommandozeile"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
    f.close();

    const TRunResult imported = run({QStringLiteral("--yes"), QStringLiteral("presets"), QStringLiteral("import"), svk});
    ASSERT_EQ(imported.Code, 0) << imported.Err.toStdString();
    for (int n = 1; n <= 10; ++n) {
        QStringList fields = device.storedPreset(n);
        if (n == 3) {
            EXPECT_EQ(fields.value(1), QStringLiteral("Kommandozeile"));
            fields[1] = oldName;
        }
        EXPECT_EQ(fields.join(QLatin1Char(';')), before.at(n - 1)) << n;
    }

    // Without --yes and without a terminal nothing is written.
    const TRunResult asked = run({QStringLiteral("presets"), QStringLiteral("import"), svk});
    EXPECT_EQ(asked.Code, 2);
}

TEST_F(ctl_Device, readbackAndSendBetweenTwoDevices)
{
    TVirtualSarvik& source = addDevice(QStringLiteral("SV2000123"));
    addDevice(QStringLiteral("SV2000456"));
    QString error;
    ASSERT_TRUE(source.applyParameterSet(QStringLiteral("second"), &error)) << error.toStdString();
    const QString pkd = kExamples + QStringLiteral("/Sarvik2V2_Geraeteeinstellungen.pkd");
    const QString fromFirst = path(QStringLiteral("first.puc"));
    const TRunResult read = run({QStringLiteral("--serial"), QStringLiteral("SV2000123"), QStringLiteral("readback"),
                                 pkd, QStringLiteral("-o"), fromFirst});
    ASSERT_EQ(read.Code, 0) << read.Err.toStdString();

    const QString before = path(QStringLiteral("before.puc"));
    ASSERT_EQ(run({QStringLiteral("--serial"), QStringLiteral("SV2000456"), QStringLiteral("readback"), pkd,
                   QStringLiteral("-o"), before})
                  .Code,
              0);
    const TRunResult send = run({QStringLiteral("--serial"), QStringLiteral("SV2000456"), QStringLiteral("send"),
                                 fromFirst});
    ASSERT_EQ(send.Code, 0) << send.Err.toStdString();

    const QString fromSecond = path(QStringLiteral("second.puc"));
    const TRunResult back = run({QStringLiteral("--serial"), QStringLiteral("SV2000456"), QStringLiteral("readback"),
                                 pkd, QStringLiteral("-o"), fromSecond});
    ASSERT_EQ(back.Code, 0) << back.Err.toStdString();
    auto lines = [](const QString& file) {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return SplitTextLines(DecodeTextFile(f.readAll()));
    };
    const QStringList a = lines(fromFirst);
    ASSERT_GT(a.size(), 5);
    // Clock lines differ by the seconds between the two reads.
    auto withoutClock = [](QStringList l) {
        l.removeIf([](const QString& s) { return s.startsWith(QLatin1String("SSD")) || s.startsWith(QLatin1String("SST")); });
        return l;
    };
    // The two devices started apart, so the send is what made them equal.
    EXPECT_NE(withoutClock(lines(before)), withoutClock(a));
    EXPECT_EQ(withoutClock(lines(fromSecond)), withoutClock(a));
}

TEST_F(ctl_Device, flashWritesTheImage)
{
    TVirtualSarvik& device = addDevice();
    const QByteArray image = PatternImage(6 * 1024);
    const QString hex = path(QStringLiteral("fw.hex"));
    ASSERT_TRUE(WriteFile(hex, HexTextOfImage(image)));
    const TRunResult r = run({QStringLiteral("flash"), hex, QStringLiteral("--yes")});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    const QByteArray flashed = device.flashImage();
    ASSERT_GE(flashed.size(), image.size());
    EXPECT_EQ(flashed.left(image.size()), image);
}

TEST_F(ctl_Device, sigintMidFlash_followsTheCancelPath_andARerunRecoversTheDevice)
{
    TVirtualSarvikOptions options;
    options.root = Root;
    options.paceBaud = true;  // slow enough to be interrupted
    Devices.push_back(std::make_unique<TVirtualSarvik>(options));
    TVirtualSarvik& device = *Devices.back();
    QString error;
    ASSERT_TRUE(device.start(&error)) << error.toStdString();
    const QByteArray image = PatternImage(300 * 256, 3);
    const QString hex = path(QStringLiteral("fw.hex"));
    ASSERT_TRUE(WriteFile(hex, HexTextOfImage(image)));
    QProcess p;
    startCtl(p, {QStringLiteral("flash"), hex, QStringLiteral("--yes")});
    ASSERT_TRUE(waitFor([&] { return device.status().blocksReceived > 20; }, 60000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(kRunTimeoutMs));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 4) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Firmwareaktualisierung abgebrochen"))) << err.toStdString();
    ASSERT_TRUE(waitFor([&] { return device.status().onBus && device.status().bootloader; }, 10000));

    // Stranded in the bootloader: no device answers as the application, the update still runs.
    const TRunResult rerun = run({QStringLiteral("flash"), hex, QStringLiteral("--yes")});
    ASSERT_EQ(rerun.Code, 0) << rerun.Err.toStdString();
    EXPECT_EQ(device.flashImage().left(image.size()), image);
}

// The exit codes a script relies on.
TEST_F(ctl_Device, exitCodes_usageNoDeviceBadFile)
{
    struct TCase {
        const char* name;
        QStringList args;
        int code;
    };
    const QString missing = path(QStringLiteral("missing.puc"));
    const TCase noDevice[] = {
        {"unknown command", {QStringLiteral("fly")}, 2},
        {"records without -o", {QStringLiteral("records")}, 2},
        {"records to a text file", {QStringLiteral("records"), QStringLiteral("-o"), path(QStringLiteral("r.txt"))}, 2},
        {"start 11", {QStringLiteral("start"), QStringLiteral("11")}, 2},
        {"no device", {QStringLiteral("status")}, 3},
        {"list, no device", {QStringLiteral("list")}, 3},
        {"send a missing file", {QStringLiteral("send"), missing}, 2},
        {"flash a missing file", {QStringLiteral("flash"), path(QStringLiteral("x.hex")), QStringLiteral("--yes")}, 2},
    };
    for (const TCase& c : noDevice) {
        const TRunResult r = run(c.args);
        EXPECT_EQ(r.Code, c.code) << c.name << ": " << r.Err.toStdString();
    }
    addDevice();
    const TRunResult other = run({QStringLiteral("--serial"), QStringLiteral("SV9999999"), QStringLiteral("status")});
    EXPECT_EQ(other.Code, 3) << other.Err.toStdString();
    // A description line the window refuses is a bad file: nothing is sent.
    const QString bad = path(QStringLiteral("bad.pkd"));
    ASSERT_TRUE(WriteFile(bad, "GSB@SSB@x\r\n"));
    const TRunResult refused = run({QStringLiteral("readback"), bad, QStringLiteral("-o"), path(QStringLiteral("b.puc"))});
    EXPECT_EQ(refused.Code, 2) << refused.Err.toStdString();
}

TEST_F(ctl_Device, droppedLinkMidDownload_exitsWithDeviceError)
{
    TVirtualSarvik& device = addDevice();
    device.setAnswerDelay(40);
    QProcess p;
    startCtl(p, {QStringLiteral("records"), QStringLiteral("-o"), path(QStringLiteral("r.csv"))});
    ASSERT_TRUE(waitFor([&] { return device.status().framesAnswered > 30; }, 60000));
    QString error;
    ASSERT_TRUE(device.unplug(&error)) << error.toStdString();
    ASSERT_TRUE(p.waitForFinished(kRunTimeoutMs));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("offline nach"))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("r.csv"))));
}

TEST_F(ctl_Device, sigintMidDownload_endsAsUserAbort)
{
    TVirtualSarvik& device = addDevice();
    device.setAnswerDelay(40);
    QProcess p;
    startCtl(p, {QStringLiteral("records"), QStringLiteral("-o"), path(QStringLiteral("r.csv"))});
    ASSERT_TRUE(waitFor([&] { return device.status().framesAnswered > 30; }, 60000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(kRunTimeoutMs));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 4) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Benutzerabbruch nach"))) << err.toStdString();
}

}  // namespace
