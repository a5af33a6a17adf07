// sarvikctl: the device from the command line, on the same session and module logic as the
// program's windows. No widgets, no display.

#include "ctlrun.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>

namespace {

void onInterrupt(int)
{
    // Only the flag: the run looks at it at its next safe point.
    SetCtlInterrupted(true);
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out << CtlUsage();
        return ceDone;
    }
    if (args.contains(QStringLiteral("--version"))) {
        out << "sarvikctl " << SARVIK_VERSION << Qt::endl;
        return ceDone;
    }
    TCtlOptions options;
    QString problem;
    if (!ParseCtlArguments(args, options, problem)) {
        err << "sarvikctl: " << problem << "\n\n" << CtlUsage();
        return ceUsage;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sarvikctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));

    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    TCtlRun run(options);
    return run.Execute();
}
