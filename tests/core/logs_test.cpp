#include "linklog.h"
#include "logfiles.h"
#include "protocolfile.h"
#include "programsettings.h"
#include "settingsform.h"
#include "sysmeld.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kJan31{QDate(2024, 1, 31), QTime(17, 45, 2, 123)};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> readLines(const QString& path)
{
    QList<QByteArray> lines = readAll(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class core_logs_Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        BuildProgramSettings(settings);
        settings.SetStr(QStringLiteral("Paths/Log"), dir.path());
    }

    QString inDir(const QString& name) const { return QDir(dir.path()).filePath(name); }

    QTemporaryDir dir;
    TFSettingsForm settings;
};

TEST_F(core_logs_Files, linesGoToTheirFileInTheirFormatAndAppend)
{
    struct Case {
        const char* what;
        std::function<void(const QString& text)> write;
        QString file;
        QByteArray prefix;
    };
    const Case cases[] = {
        {"daily", [&](const QString& t) { WriteDailyLog(settings, QStringLiteral("TEST"), t, kJan31); },
         QStringLiteral("TEST20240131.log"), "31.01.2024 17:45:02,123  ;"},
        {"named", [&](const QString& t) { WriteLogLine(settings, QStringLiteral("run.csv"), t, kJan31); },
         QStringLiteral("run.csv"), "31.01.2024;17:45:02,123;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.write(QStringLiteral("erste"));
        c.write(QStringLiteral("zweite Zeile äö"));
        const QList<QByteArray> lines = readLines(inDir(c.file));
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], c.prefix + "erste");
        EXPECT_EQ(lines[1], c.prefix + QStringLiteral("zweite Zeile äö").toUtf8());
    }
}

TEST_F(core_logs_Files, dailyLogStartsANewFileOnTheNextDay)
{
    WriteDailyLog(settings, QStringLiteral("TEST"), QStringLiteral("a"), kJan31);
    WriteDailyLog(settings, QStringLiteral("TEST"), QStringLiteral("b"), kJan31.addDays(1));
    EXPECT_EQ(readLines(inDir(QStringLiteral("TEST20240131.log"))).size(), 1);
    EXPECT_EQ(readLines(inDir(QStringLiteral("TEST20240201.log"))).size(), 1);
}

TEST_F(core_logs_Files, emptyLogDirectoryBecomesCurrentDirectory)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    settings.SetStr(QStringLiteral("Paths/Log"), QString());

    WriteDailyLog(settings, QStringLiteral("TEST"), QStringLiteral("x"), kJan31);

    EXPECT_EQ(settings.GetStr(QStringLiteral("Paths/Log")), QStringLiteral("."));
    EXPECT_TRUE(QFile::exists(inDir(QStringLiteral("TEST20240131.log"))));
    QDir::setCurrent(previous);
}

TEST_F(core_logs_Files, unopenableLogFileDropsTheLine)
{
    QFile file;
    EXPECT_FALSE(OpenLogFile(settings, file, QStringLiteral("missing/sub.log")));
    WriteLogLine(settings, QStringLiteral("missing/sub.log"), QStringLiteral("x"), kJan31);
    EXPECT_FALSE(QFile::exists(inDir(QStringLiteral("missing/sub.log"))));
}

class core_logs_Protocol : public core_logs_Files {
protected:
    void SetUp() override
    {
        core_logs_Files::SetUp();
        SetStatusMessageHook([this](const QString& text, bool alarm) { status.append({text, alarm}); });
        ConnectProtocolToLink(settings, QStringLiteral("1.2.3"), [this] { return clock; });
        TLinkLog::instance().setEnabled(true);
    }
    void TearDown() override
    {
        ProtocolClose();
        TLinkLog::instance().setEnabled(false);
        TLinkLog::instance().setHook({});
        SetStatusMessageHook({});
    }

    QString protocolPath() const { return inDir(QStringLiteral("SarvikControl_20240131174502.txt")); }

    QDateTime clock = kJan31;
    QList<std::pair<QString, bool>> status;
};

TEST_F(core_logs_Protocol, firstEventWritesHeaderThenTheLineAndCloseWritesTheEnd)
{
    TLinkLog::instance().write(QStringLiteral("PC"), QByteArrayLiteral("GIN;00281\r\n"));
    clock = clock.addSecs(1);
    ProtocolClose();

    const QList<QByteArray> lines = readLines(protocolPath());
    const QList<QByteArray> expected{
        "SarvikControl - Protokolldatei Datenverkehr Sarvik2V2 (Version 1.2.3)",
        " ",
        "Protokollstart am 31.01.2024 um 17:45:02 Uhr",
        " ",
        "Sender \tZeit   \tDaten",
        QByteArray(74, '-'),
        "PC\t17:45:02:123\tGIN;00281<CR><LF>",
        "Protokollende am 31.01.2024 um 17:45:03 Uhr",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(Protocol()->IsOpen());

    // The opening clears the message panel, then names the file there (never as an alarm).
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status[0].first, QString());
    EXPECT_EQ(status[1].first, QStringLiteral("Protokolldatei \"%1\" geöffnet").arg(protocolPath()));
    EXPECT_FALSE(status[1].second);
}

TEST_F(core_logs_Protocol, tagsAreUtf8AndDeviceBytesStayAsReceived)
{
    // "ä" and "°" in Windows-1252, a CR in the middle of a fragment.
    const QByteArray data("T\xe4st 20\xb0\rX");
    ASSERT_TRUE(ProtocolWrite(QStringLiteral("Gerät Rest:"), data));

    const QList<QByteArray> lines = readLines(protocolPath());
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[6], QByteArray("Ger\xc3\xa4t Rest:\t17:45:02:123\tT\xe4st 20\xb0<CR>X"));
}

TEST_F(core_logs_Protocol, unwritableDirectoryLosesEventsUntilItCanBeCreated)
{
    const QString sub = inDir(QStringLiteral("later"));
    ASSERT_TRUE(QDir().mkpath(sub));
    settings.SetStr(QStringLiteral("Paths/Log"), sub);
    ASSERT_TRUE(QDir(sub).removeRecursively());

    EXPECT_FALSE(ProtocolWrite(QStringLiteral("DEBUG"), "Timeout"));
    EXPECT_FALSE(Protocol()->IsOpen());

    ASSERT_TRUE(QDir().mkpath(sub));
    EXPECT_TRUE(ProtocolWrite(QStringLiteral("DEBUG"), "Timeout"));
    const QList<QByteArray> lines =
        readLines(QDir(sub).filePath(QStringLiteral("SarvikControl_20240131174502.txt")));
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[6], "DEBUG\t17:45:02:123\tTimeout");
}

TEST_F(core_logs_Protocol, loggingSwitchedOffWritesNothingAndOnAgainContinuesTheSameFile)
{
    ASSERT_TRUE(ProtocolWrite(QStringLiteral("PC"), "GIS;00236\r\n"));
    TLinkLog::instance().setEnabled(false);
    TLinkLog::instance().write(QStringLiteral("DEVICE"), "TIS;1");
    TLinkLog::instance().setEnabled(true);
    clock = clock.addSecs(5);  // a new name would show if it reopened
    TLinkLog::instance().write(QStringLiteral("DEVICE"), "TIS;2");

    const QList<QByteArray> lines = readLines(protocolPath());
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[7], "DEVICE\t17:45:07:123\tTIS;2");
}

// A log folder that vanishes or fills up while the program runs: lines are lost, the program
// goes on, and the user is told once until writing works again.
TEST_F(core_logs_Protocol, logFolderGoneOrFull_toldOncePerOutage)
{
    const QString sub = inDir(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(sub));
    settings.SetStr(QStringLiteral("Paths/Log"), sub);
    const auto write = [&] { WriteLogLine(settings, QStringLiteral("run.csv"), QStringLiteral("x"), kJan31); };
    const auto alarms = [&] {
        int n = 0;
        for (const auto& [text, alarm] : status)
            n += alarm && text.startsWith(QStringLiteral("Datei ")) ? 1 : 0;
        return n;
    };
    write();
    ASSERT_EQ(readLines(QDir(sub).filePath(QStringLiteral("run.csv"))).size(), 1);
    ASSERT_EQ(alarms(), 0);

    ASSERT_TRUE(QDir(sub).removeRecursively());
    write();
    write();
    WriteDailyLog(settings, QStringLiteral("TEST"), QStringLiteral("y"), kJan31);
    ASSERT_EQ(alarms(), 1);
    EXPECT_TRUE(status.last().first.contains(QDir(sub).filePath(QStringLiteral("run.csv")))) << status.last().first.toStdString();

    ASSERT_TRUE(QDir().mkpath(sub));
    write();
    EXPECT_EQ(readLines(QDir(sub).filePath(QStringLiteral("run.csv"))).size(), 1);
    EXPECT_EQ(alarms(), 1);

    // A full disk: the day's file is the device that is always full.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), QDir(sub).filePath(QStringLiteral("FULL20240131.log"))));
    for (int i = 0; i < 3; ++i)
        WriteDailyLog(settings, QStringLiteral("FULL"), QStringLiteral("z"), kJan31);
    EXPECT_EQ(alarms(), 2);
}

TEST_F(core_logs_Protocol, protocolFolderGoneOrFull_toldOnce_newFileWhenBack)
{
    const QString sub = inDir(QStringLiteral("protocol"));
    ASSERT_TRUE(QDir().mkpath(sub));
    settings.SetStr(QStringLiteral("Paths/Log"), sub);
    const auto alarms = [&] {
        int n = 0;
        for (const auto& [text, alarm] : status)
            n += alarm ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(ProtocolWrite(QStringLiteral("PC"), "GIS;00236\r\n"));

    // The folder goes while the file is open.
    ASSERT_TRUE(QDir(sub).removeRecursively());
    EXPECT_FALSE(ProtocolWrite(QStringLiteral("DEVICE"), "TIS;1"));
    EXPECT_FALSE(Protocol()->IsOpen());
    EXPECT_FALSE(ProtocolWrite(QStringLiteral("DEVICE"), "TIS;2"));
    EXPECT_EQ(alarms(), 1);

    ASSERT_TRUE(QDir().mkpath(sub));
    clock = clock.addSecs(10);
    EXPECT_TRUE(ProtocolWrite(QStringLiteral("DEVICE"), "TIS;3"));
    const QList<QByteArray> lines = readLines(QDir(sub).filePath(QStringLiteral("SarvikControl_20240131174512.txt")));
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[6], "DEVICE\t17:45:12:123\tTIS;3");

    // A full disk under the next file: closed, told once, tried again with every line.
    ProtocolClose();
    clock = clock.addSecs(10);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), QDir(sub).filePath(QStringLiteral("SarvikControl_20240131174522.txt"))));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(ProtocolWrite(QStringLiteral("DEVICE"), "TIS;4"));
    EXPECT_EQ(alarms(), 2);
    EXPECT_FALSE(Protocol()->IsOpen());
}

}  // namespace
