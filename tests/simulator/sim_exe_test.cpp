// The sarvik2v2-sim tool as a separate process: start line, control commands on standard input,
// exit at end of input or on SIGTERM, and the registration gone afterwards.

#include "rawclient.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int kProcessTimeoutMs = 10000;

struct TStartLine {
    QString port;
    QString root;
    QString serial;
};

// Reads one line of the tool's output.
QString readOutputLine(QProcess& p)
{
    while (!p.canReadLine()) {
        if (!p.waitForReadyRead(kProcessTimeoutMs))
            return {};
    }
    return QString::fromUtf8(p.readLine()).trimmed();
}

std::optional<TStartLine> parseStartLine(const QString& line)
{
    static const QRegularExpression re(QStringLiteral("^sarvik2v2-sim port=(\\S+) root=(\\S+) serial=(\\S+)$"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return TStartLine{m.captured(1), m.captured(2), m.captured(3)};
}

QStringList ttyEntries(const QString& root)
{
    return QDir(root + QStringLiteral("/class/tty")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(sim_Exe, startsAnswersControlCommands_andExitsAtEndOfInput)
{
    QTemporaryDir root;
    QProcess p;
    p.start(QStringLiteral(SIM_EXE_PATH), {QStringLiteral("--root"), root.path(), QStringLiteral("--serial"),
                                           QStringLiteral("SV7"), QStringLiteral("--firmware"), QStringLiteral("3.5.2")});
    ASSERT_TRUE(p.waitForStarted(kProcessTimeoutMs));
    const auto start = parseStartLine(readOutputLine(p));
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->root, QDir(root.path()).absolutePath());
    EXPECT_EQ(start->serial, QStringLiteral("SV7"));
    EXPECT_EQ(ttyEntries(root.path()).size(), 1);

    TRawClient client;
    ASSERT_TRUE(client.open(start->port));
    const auto tid = client.exchange(QStringLiteral("GID"));
    ASSERT_TRUE(tid.has_value());
    EXPECT_EQ(VerifiedPayload(*tid).value_or("x"), QByteArray("TID;1;3.5.2;2.1;0;3;0;"));

    p.write("state\nhelp\nstart 1\nfrobnicate\n");
    EXPECT_TRUE(readOutputLine(p).startsWith(QStringLiteral("ok state=4 Bereit bus=on port=") + start->port));
    const QString help = readOutputLine(p);
    EXPECT_TRUE(help.startsWith(QStringLiteral("ok ")));
    for (const char* command : {"alarm", "clear", "tim", "drop", "corrupt", "delay", "split", "garbage", "unplug",
                                "plug", "poweron", "start", "stop", "state", "help"})
        EXPECT_TRUE(help.contains(QLatin1String(command))) << command;
    EXPECT_EQ(readOutputLine(p), QStringLiteral("ok started preset 1"));
    EXPECT_TRUE(readOutputLine(p).startsWith(QStringLiteral("error ")));

    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(ttyEntries(root.path()).isEmpty());
    EXPECT_TRUE(QDir(root.path() + QStringLiteral("/devices")).isEmpty());
    EXPECT_TRUE(client.waitHangUp());
}

TEST(sim_Exe, sigterm_unregisters_andRemovesTheTemporaryRootItMade)
{
    QProcess p;
    p.start(QStringLiteral(SIM_EXE_PATH), QStringList{});
    ASSERT_TRUE(p.waitForStarted(kProcessTimeoutMs));
    const auto start = parseStartLine(readOutputLine(p));
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->serial, QStringLiteral("SV2000123"));
    ASSERT_EQ(ttyEntries(start->root).size(), 1);
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(start->root));
}

TEST(sim_Exe, badOptions_areRefusedWithAMessage)
{
    for (const QStringList& args : {QStringList{QStringLiteral("--languages"), QStringLiteral("nine")},
                                    QStringList{QStringLiteral("--firmware"), QStringLiteral("latest")},
                                    QStringList{QStringLiteral("--speed"), QStringLiteral("-2")}}) {
        QProcess p;
        p.start(QStringLiteral(SIM_EXE_PATH), args);
        ASSERT_TRUE(p.waitForFinished(kProcessTimeoutMs));
        EXPECT_NE(p.exitCode(), 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(p.readAllStandardError().isEmpty());
    }
}
