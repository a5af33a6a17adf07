// CPU the program uses while it is online and idle: sarvik2v2-sim and sarvikcontrol run as
// child processes (offscreen, fresh settings file, no module window), and after the program
// polls the device, the user and system time of its process is read from /proc at the start
// and the end of the measuring window, and so are the voluntary context switches of all its
// threads: each is one time a thread went to sleep, i.e. one wake-up.
// Usage: idle_cpu [seconds]   (default 60)
// Last line: idle_cpu cpu_percent=<percent of one core> wakeups_per_s=<whole process>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr int kDefaultWindowS = 60;
constexpr int kStartTimeoutMs = 10000;
constexpr int kOnlineTimeoutMs = 30000;
constexpr int kExitTimeoutMs = 10000;
// After the first status poll: the first paint and the slow queries of going online are done.
constexpr int kWarmUpMs = 3000;

struct TCpuTicks {
    qint64 user = 0;
    qint64 system = 0;
};

// Fields 14 and 15 of /proc/<pid>/stat; the command name in field 2 may hold blanks.
std::optional<TCpuTicks> readCpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray stat = f.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');  // from field 3 on
    if (fields.size() < 13)
        return std::nullopt;
    return TCpuTicks{fields[11].toLongLong(), fields[12].toLongLong()};
}

// Sum of voluntary_ctxt_switches over every thread of the process, with the count of threads.
struct TSwitches {
    qint64 voluntary = 0;
    int threads = 0;
    QMap<QString, qint64> byThread;  // "tid name" -> switches, to see who wakes
};

TSwitches readSwitches(qint64 pid)
{
    TSwitches s;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(tid + QStringLiteral("/status")));
        if (!f.open(QIODevice::ReadOnly))
            continue;  // the thread ended meanwhile
        QString name;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = QString::fromUtf8(line.mid(5).trimmed());
            if (line.startsWith("voluntary_ctxt_switches:")) {
                const qint64 n = line.mid(24).trimmed().toLongLong();
                s.voluntary += n;
                s.byThread.insert(tid + QLatin1Char(' ') + name, n);
                ++s.threads;
            }
        }
    }
    return s;
}

qint64 peakRssKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Frames with this command word the program sent, by the device's traffic log, from fromMs on.
int framesSent(const QString& logPath, const char* word, qint64 fromMs = 0, qint64* lastMs = nullptr)
{
    QFile f(logPath);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int n = 0;
    const QByteArray marker = QByteArray(" RX ") + word;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        const qsizetype blank = line.indexOf(' ');
        if (blank <= 0)
            continue;
        const qint64 ms = line.left(blank).toLongLong();
        if (lastMs)
            *lastMs = ms;
        if (ms >= fromMs && line.mid(blank).startsWith(marker))
            ++n;
    }
    return n;
}

// Runs the event loop (child process bookkeeping) until the condition holds or time runs out.
template <typename F>
bool waitUntil(F condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(kExitTimeoutMs)) {
        p.kill();
        p.waitForFinished(kExitTimeoutMs);
    }
}

int fail(const char* what)
{
    std::fprintf(stderr, "idle_cpu: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int windowS = argc > 1 ? std::atoi(argv[1]) : kDefaultWindowS;
    if (windowS <= 0)
        return fail("the window must be a positive number of seconds");

    QTemporaryDir work;
    if (!work.isValid())
        return fail("no temporary directory");
    const QString root = work.filePath(QStringLiteral("root"));
    const QString simLog = work.filePath(QStringLiteral("sim.log"));
    const QString ini = work.filePath(QStringLiteral("SarvikControl.ini"));
    const QString tmp = work.filePath(QStringLiteral("tmp"));
    QDir().mkpath(tmp);
    {
        QFile f(ini);  // -C needs an existing file; empty means the defaults
        if (!f.open(QIODevice::WriteOnly))
            return fail("cannot write the settings file");
    }

    // The simulator runs as long as its standard input stays open, which QProcess keeps.
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(SIM_EXE), {QStringLiteral("--root"), root, QStringLiteral("--log"), simLog});
    if (!sim.waitForStarted(kStartTimeoutMs))
        return fail("sarvik2v2-sim did not start");
    while (!sim.canReadLine()) {
        if (!sim.waitForReadyRead(kStartTimeoutMs))
            return fail("sarvik2v2-sim printed no start line");
    }
    std::printf("%s", sim.readLine().constData());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), tmp);
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(QStringLiteral(SARVIKCONTROL_EXE), {QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root});
    if (!program.waitForStarted(kStartTimeoutMs)) {
        stop(sim);
        return fail("sarvikcontrol did not start");
    }
    const qint64 pid = program.processId();

    QElapsedTimer sinceStart;
    sinceStart.start();
    // GIS goes out only while online.
    if (!waitUntil([&] { return framesSent(simLog, "GIS") > 0; }, kOnlineTimeoutMs)) {
        stop(program);
        stop(sim);
        return fail("the program did not go online");
    }
    std::printf("online after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
    waitUntil([] { return false; }, kWarmUpMs);

    qint64 logStartMs = 0;
    framesSent(simLog, "GIS", 0, &logStartMs);
    const std::optional<TCpuTicks> before = readCpuTicks(pid);
    const TSwitches switchesBefore = readSwitches(pid);
    QElapsedTimer window;
    window.start();
    waitUntil([&] { return program.state() == QProcess::NotRunning; }, windowS * 1000);
    const std::optional<TCpuTicks> after = readCpuTicks(pid);
    const TSwitches switchesAfter = readSwitches(pid);
    const double wallS = double(window.elapsed()) / 1000.0;
    const qint64 rssKb = peakRssKb(pid);
    const int gis = framesSent(simLog, "GIS", logStartMs);
    const bool running = program.state() == QProcess::Running;

    stop(program);
    stop(sim);
    if (!before || !after || !running)
        return fail("the program ended during the window");

    const double hz = double(sysconf(_SC_CLK_TCK));
    const double userS = double(after->user - before->user) / hz;
    const double systemS = double(after->system - before->system) / hz;
    const double percent = 100.0 * (userS + systemS) / wallS;
    std::printf("window_s=%.1f user_s=%.2f system_s=%.2f clock_ticks_per_s=%.0f\n", wallS, userS, systemS, hz);
    std::printf("status_polls_in_window=%d peak_rss_kb=%lld exit_code=%d\n", gis, static_cast<long long>(rssKb),
                program.exitCode());
    const double wakeups = double(switchesAfter.voluntary - switchesBefore.voluntary) / wallS;
    std::printf("threads=%d voluntary_switches=%lld\n", switchesAfter.threads,
                static_cast<long long>(switchesAfter.voluntary - switchesBefore.voluntary));
    for (auto it = switchesAfter.byThread.cbegin(); it != switchesAfter.byThread.cend(); ++it) {
        std::printf("  thread %s: %.1f/s\n", qPrintable(it.key()),
                    double(it.value() - switchesBefore.byThread.value(it.key())) / wallS);
    }
    std::printf("idle_cpu cpu_percent=%.2f wakeups_per_s=%.1f\n", percent, wakeups);
    return 0;
}
