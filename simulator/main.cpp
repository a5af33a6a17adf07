// sarvik2v2-sim: a virtual Sarvik2V2 on a pseudo-terminal, controlled through standard input.

#include "controlcommands.h"
#include "virtualsarvik.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

void printLine(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void printError(const QString& text)
{
    const QByteArray bytes = "sarvik2v2-sim: " + text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool intOption(const QCommandLineParser& parser, const QString& name, int& value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toInt(&ok);
    if (!ok)
        printError(QStringLiteral("--%1 needs a whole number").arg(name));
    return ok;
}

// Reads control lines until end of input or a termination signal.
void serve(TVirtualSarvik& device)
{
    QByteArray pending;
    bool inputOpen = true;
    while (inputOpen) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN)
            break;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[1024];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                inputOpen = false;
            else
                pending.append(buf, n);
        }
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(nl)).trimmed();
            pending.remove(0, nl + 1);
            if (!line.isEmpty())
                printLine(ExecuteControlCommand(device, line));
        }
        if (!inputOpen && !pending.trimmed().isEmpty())
            printLine(ExecuteControlCommand(device, QString::fromUtf8(pending).trimmed()));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sarvik2v2-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Virtual Sarvik2V2 air sampler on a pseudo-terminal."));
    parser.addHelpOption();
    const TVirtualSarvikOptions defaults;
    parser.addOptions({
        {QStringLiteral("root"), QStringLiteral("Device root to register in (default: a fresh temporary one)."),
         QStringLiteral("DIR")},
        {QStringLiteral("serial"), QStringLiteral("Serial number."), QStringLiteral("S"), defaults.serial},
        {QStringLiteral("firmware"), QStringLiteral("Firmware version major.minor.build."), QStringLiteral("X.Y.Z"),
         defaults.firmware},
        {QStringLiteral("hardware"), QStringLiteral("Hardware version text."), QStringLiteral("TEXT"),
         defaults.hardware},
        {QStringLiteral("variants"), QStringLiteral("Hardware variant bits 0-63."), QStringLiteral("N"),
         QString::number(defaults.variants)},
        {QStringLiteral("jumpers"), QStringLiteral("Jumper bits 0-3."), QStringLiteral("N"),
         QString::number(defaults.jumpers)},
        {QStringLiteral("languages"), QStringLiteral("Number of display languages 1-8."), QStringLiteral("N"),
         QString::number(defaults.languages)},
        {QStringLiteral("speed"), QStringLiteral("Run the device clock F times faster."), QStringLiteral("F"),
         QStringLiteral("1")},
        {QStringLiteral("pace-baud"), QStringLiteral("Pace the line at 115200 baud.")},
        {QStringLiteral("bootloader"), QStringLiteral("Start stranded in the bootloader (no application).")},
        {QStringLiteral("log"), QStringLiteral("Write one line per received frame and sent line."),
         QStringLiteral("FILE")},
        {QStringLiteral("params"), QStringLiteral("Start with a named parameter set (default, second)."),
         QStringLiteral("NAME")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        printError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst()));
        return 2;
    }

    TVirtualSarvikOptions options;
    options.serial = parser.value(QStringLiteral("serial"));
    options.firmware = parser.value(QStringLiteral("firmware"));
    options.hardware = parser.value(QStringLiteral("hardware"));
    options.paceBaud = parser.isSet(QStringLiteral("pace-baud"));
    options.bootloader = parser.isSet(QStringLiteral("bootloader"));
    options.logFile = parser.value(QStringLiteral("log"));
    options.paramSet = parser.value(QStringLiteral("params"));
    if (!intOption(parser, QStringLiteral("variants"), options.variants)
        || !intOption(parser, QStringLiteral("jumpers"), options.jumpers)
        || !intOption(parser, QStringLiteral("languages"), options.languages))
        return 2;
    bool speedOk = false;
    options.speed = parser.value(QStringLiteral("speed")).toDouble(&speedOk);
    if (!speedOk) {
        printError(QStringLiteral("--speed needs a number"));
        return 2;
    }
    const QString problem = CheckVirtualSarvikOptions(options);
    if (!problem.isEmpty()) {
        printError(problem);
        return 2;
    }

    // A root we made ourselves is removed again at exit; a given one is left (other devices may share it).
    std::unique_ptr<QTemporaryDir> tempRoot;
    if (parser.isSet(QStringLiteral("root"))) {
        options.root = QDir(parser.value(QStringLiteral("root"))).absolutePath();
    } else {
        tempRoot = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/sarvik2v2-sim-XXXXXX"));
        if (!tempRoot->isValid()) {
            printError(QStringLiteral("cannot create a temporary device root"));
            return 1;
        }
        options.root = tempRoot->path();
    }

    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        printError(QStringLiteral("cannot create the signal pipe"));
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    TVirtualSarvik device(options);
    QString error;
    if (!device.start(&error)) {
        printError(error);
        return 1;
    }
    printLine(QStringLiteral("sarvik2v2-sim port=%1 root=%2 serial=%3")
                  .arg(device.portPath(), options.root, options.serial));
    serve(device);
    device.stop();
    return 0;
}
