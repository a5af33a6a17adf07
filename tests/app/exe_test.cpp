// The sarvikcontrol executable as the user starts it: against a virtual device given by its
// device root, with its own demo device, and its informational switches; ended by SIGTERM.

#include "simlog.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kOnlineTimeoutMs = 15000;
constexpr int kExitTimeoutMs = 10000;

class app_Executable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
        tmp = dir.filePath(QStringLiteral("tmp"));
        logDir = dir.filePath(QStringLiteral("logs"));
        ASSERT_TRUE(QDir().mkpath(tmp));
        ASSERT_TRUE(QDir().mkpath(logDir));
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(kExitTimeoutMs);
        }
        if (device)
            device->stop();
    }

    TVirtualSarvikOptions deviceOptions() const
    {
        TVirtualSarvikOptions options;
        options.root = dir.filePath(QStringLiteral("root"));
        options.logFile = dir.filePath(QStringLiteral("sim.log"));
        return options;
    }
    void startDevice(const TVirtualSarvikOptions& options)
    {
        device = std::make_unique<TVirtualSarvik>(options);
        QString error;
        ASSERT_TRUE(device->start(&error)) << error;
    }

    void writeIni(const QByteArray& text)
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    void start(const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), tmp);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(SARVIKCONTROL_EXE), args);
        ASSERT_TRUE(program.waitForStarted(kStartTimeoutMs));
    }

    // SIGTERM, then the exit as the shell would see it.
    void terminateAndExpectCleanExit()
    {
        program.terminate();
        ASSERT_TRUE(waitFor([&] { return program.state() == QProcess::NotRunning; }, kExitTimeoutMs))
            << output();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << output();
        EXPECT_EQ(program.exitCode(), 0) << output();
    }

    QString output()
    {
        captured += QString::fromLocal8Bit(program.readAll());
        return captured;
    }

    QString readFile(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir;
    QString ini;
    QString tmp;
    QString logDir;
    QProcess program;
    QString captured;
    std::unique_ptr<TVirtualSarvik> device;
};

TEST_F(app_Executable, helpAndVersionPrintAndExitZero)
{
    const struct {
        const char* option;
        const char* pattern;
    } cases[] = {
        {"--help", "^Aufruf: sarvikcontrol .*--device-root.*--demo"},
        {"--version", "^SarvikControl \\d+\\.\\d+\\.\\d+\\s*$"},
    };
    // Offscreen, and a shell without any display, where a window system cannot start at all.
    QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (const QProcessEnvironment& env : {offscreen, noDisplay}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(env.value(QStringLiteral("QT_QPA_PLATFORM")).toStdString());
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(SARVIKCONTROL_EXE), {QLatin1String(c.option)});
            ASSERT_TRUE(p.waitForFinished(kExitTimeoutMs)) << c.option;
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << c.option;
            EXPECT_EQ(p.exitCode(), 0) << c.option;
            const QString out = QString::fromUtf8(p.readAllStandardOutput());
            const QRegularExpression re(QLatin1String(c.pattern), QRegularExpression::DotMatchesEverythingOption);
            EXPECT_TRUE(re.match(out).hasMatch()) << c.option << ": " << out;
            EXPECT_TRUE(out.endsWith(QLatin1Char('\n'))) << c.option << ": " << out;
        }
    }
}

TEST_F(app_Executable, connectsToTheDeviceInItsRoot_andSigtermEndsItWritingTheSettings)
{
    const TVirtualSarvikOptions options = deviceOptions();
    ASSERT_NO_FATAL_FAILURE(startDevice(options));
    writeIni({});

    start({QStringLiteral("-C"), ini, QStringLiteral("--device-root"), options.root});
    // GIS goes out only while online.
    ASSERT_TRUE(waitFor([&] { return SimLogHasFrame(options.logFile, QStringLiteral("GIS")); }, kOnlineTimeoutMs))
        << output();
    EXPECT_TRUE(SimLogHasFrame(options.logFile, QStringLiteral("GIN")));
    terminateAndExpectCleanExit();

    const QString saved = readFile(ini);
    EXPECT_TRUE(saved.contains(QStringLiteral("[settings/WinPos/Client_0]"))) << saved;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("(^|\\n)Width=\\d+")).match(saved).hasMatch()) << saved;
}

TEST_F(app_Executable, sigtermWhileTheDeviceIsSilent_stillEndsPromptly)
{
    const TVirtualSarvikOptions options = deviceOptions();
    ASSERT_NO_FATAL_FAILURE(startDevice(options));
    writeIni({});
    start({QStringLiteral("-C"), ini, QStringLiteral("--device-root"), options.root});
    ASSERT_TRUE(waitFor([&] { return SimLogHasFrame(options.logFile, QStringLiteral("GIS")); }, kOnlineTimeoutMs))
        << output();
    // From here on every frame goes unanswered: the worker sits in an answer window.
    device->dropNext(1000000);
    const std::size_t before = ReadSimLog(options.logFile).size();
    ASSERT_TRUE(waitFor([&] { return ReadSimLog(options.logFile).size() > before; }, kOnlineTimeoutMs));
    terminateAndExpectCleanExit();
    EXPECT_TRUE(readFile(ini).contains(QStringLiteral("[settings/WinPos/Client_0]")));
}

TEST_F(app_Executable, demoReachesItsOwnDevice_andLeavesNoDemoRootBehind)
{
    writeIni("[settings/General]\nLogging=1\n[settings/Paths]\nLog=" + logDir.toUtf8() + "\n");
    start({QStringLiteral("--demo"), QStringLiteral("-C"), ini});

    const QRegularExpression tin(QStringLiteral("\\nDEVICE\\t[0-9:]+\\tTIN;SV2000123;\\d{5}\\n"));
    QString protocolPath;
    ASSERT_TRUE(waitFor(
        [&] {
            const QStringList files = QDir(logDir).entryList({QStringLiteral("SarvikControl_*.txt")}, QDir::Files);
            if (files.isEmpty())
                return false;
            protocolPath = QDir(logDir).filePath(files.first());
            return tin.match(readFile(protocolPath)).hasMatch();
        },
        kOnlineTimeoutMs))
        << output() << "\nprotocol " << protocolPath << ":\n" << readFile(protocolPath);
    // The demo root lives in the temporary directory while the program runs.
    EXPECT_EQ(QDir(tmp).entryList({QStringLiteral("sarvik-demo-*")}, QDir::Dirs).size(), 1);

    terminateAndExpectCleanExit();
    EXPECT_TRUE(QDir(tmp).entryList({QStringLiteral("sarvik-demo-*")}, QDir::AllEntries | QDir::Hidden).isEmpty());
    EXPECT_TRUE(readFile(protocolPath).contains(QStringLiteral("\nProtokollende am "))) << "closed at exit";
}

}  // namespace
