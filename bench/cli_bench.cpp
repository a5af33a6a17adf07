// sarvikctl as a lab's evening job runs it: "sarvikctl --demo records --last 100 -o x.xlsx",
// wall time from start to exit, the demo device unpaced. Three runs, the median counts.
// Last line: cli_bench records_s=<s>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // An empty settings file: the defaults, the built-in template.
    const QString ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
    QFile file(ini);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.close();
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        const QString out = dir.filePath(QStringLiteral("x%1.xlsx").arg(run));
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QElapsedTimer clock;
        clock.start();
        p.start(QStringLiteral(SARVIKCTL_EXE), {QStringLiteral("-C"), ini, QStringLiteral("--quiet"), QStringLiteral("--demo"),
                                                QStringLiteral("records"), QStringLiteral("--last"), QStringLiteral("100"),
                                                QStringLiteral("-o"), out});
        if (!p.waitForFinished(120000) || p.exitCode() != 0 || !QFileInfo::exists(out)) {
            std::fprintf(stderr, "run %d failed: %s\n", run, p.readAllStandardError().constData());
            return 1;
        }
        times.push_back(static_cast<double>(clock.elapsed()) / 1000.0);
        std::printf("run %d: %.3f s\n", run, times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("cli_bench records_s=%.3f\n", times[1]);
    return 0;
}
