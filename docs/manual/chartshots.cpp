// Takes the README's pictures of the two charts: the real main window against an accelerated
// virtual device, "Fernsteuerung" during a run of preset 1, then "Probenahmedaten" with a
// downloaded run's log shown by "Verlauf anzeigen".
//   sarvik_chartshots OUTDIR
// Runs on whatever platform Qt is given (scripts/screenshot-charts.sh starts it under Xvfb).

#include "mainwindow.h"
#include "modules.h"
#include "recordstore.h"
#include "sarvikchart.h"
#include "settingsform.h"
#include "tfbedien.h"
#include "tfprobedaten.h"
#include "virtualsarvik.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTreeWidget>

#include <functional>

namespace {

constexpr double kDeviceSpeed = 20.0;
constexpr int kRunMs = 25000;
constexpr int kDownloadTimeoutMs = 120000;
constexpr int kFirstCandidate = 248;
constexpr int kMaxEntries = 1500;

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool settleUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        settle(50);
    }
    return true;
}

bool save(QWidget& w, const QString& path)
{
    QTextStream(stdout) << path << Qt::endl;
    return w.grab().save(path);
}

void maximise(TForm1& form, QWidget* module)
{
    for (QMdiSubWindow* sub : form.MdiArea()->subWindowList()) {
        if (sub->widget() == module)
            sub->showMaximized();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: sarvik_chartshots OUTDIR" << Qt::endl;
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    QTemporaryDir work;
    TVirtualSarvikOptions options;
    options.root = work.filePath(QStringLiteral("devices"));
    options.speed = kDeviceSpeed;
    QDir().mkpath(options.root);
    TVirtualSarvik device(options);
    QString error;
    if (!device.start(&error)) {
        err << "the virtual device could not start: " << error << Qt::endl;
        return 1;
    }
    const QString ini = work.filePath(QStringLiteral("SarvikControl.ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write("[settings/General]\nProgLang=Deutsch\nConfirmExit=0\n");
    f.close();

    TFSettingsForm settings;
    TForm1 form(settings, {QStringLiteral("-C"), ini, QStringLiteral("--device-root"), options.root},
                work.path() + QLatin1Char('/'));
    RegisterModules(form);
    form.resize(1000, 820);
    form.show();
    if (!settleUntil([&] { return form.Context().Online; }, 15000)) {
        err << "the device did not come online" << Qt::endl;
        return 1;
    }

    // A run of preset 1 (both channels) for a while.
    auto* bedien = qobject_cast<TfBedien*>(form.OpenModule(ciBedien));
    if (!bedien)
        return 1;
    maximise(form, bedien);
    if (!settleUntil([&] { return bedien->cbPreset->currentIndex() == 0; }, 10000))
        return 1;
    bedien->actStart->trigger();
    settle(kRunMs);
    bool ok = save(form, outDir + QStringLiteral("/screenshot-operation-chart.png"));
    bedien->actStop->trigger();
    settle(1000);
    bedien->parentWidget()->close();
    settle(200);

    // A logged run's log from the device, as a chart.
    auto* probe = qobject_cast<TfProbedaten*>(form.OpenModule(ciProbedaten));
    if (!probe)
        return 1;
    maximise(form, probe);
    settle(500);
    probe->btnLadeSarvik->click();
    if (!settleUntil([&] { return !probe->Logic().Busy() && probe->lvData->topLevelItemCount() > 0; },
                     kDownloadTimeoutMs))
        return 1;
    // The longest log of a run with both channels, short of the day-long one.
    int best = -1;
    int bestEntries = 0;
    for (int number = kFirstCandidate; number > 0; --number) {
        const int index = probe->Logic().FindRecordByNumber(number);
        if (index < 0 || !probe->Logic().Records()[static_cast<size_t>(index)].bLoggingActive)
            continue;
        TSimRecord sim;
        device.withModel([&](TDeviceModel& m) { sim = SimRecords(m).records.at(static_cast<size_t>(number)); });
        if (sim.channel[1].status != 4 && sim.logCount() > bestEntries && sim.logCount() <= kMaxEntries) {
            best = number;
            bestEntries = sim.logCount();
        }
    }
    for (int row = 0; row < probe->lvData->topLevelItemCount(); ++row) {
        if (probe->lvData->topLevelItem(row)->text(0).trimmed().toInt() == best)
            probe->lvData->setCurrentItem(probe->lvData->topLevelItem(row));
    }
    probe->btnProbeVerlauf->click();
    if (!settleUntil([&] { return probe->ChartWindow() && probe->ChartWindow()->isVisible() && !probe->Logic().Busy(); },
                     kDownloadTimeoutMs))
        return 1;
    TfVerlauf* chart = probe->ChartWindow();
    chart->resize(1100, 620);
    settle(1000);
    ok = save(*chart, outDir + QStringLiteral("/screenshot-log-chart.png")) && ok;
    form.CloseWithoutQuestion();
    device.stop();
    return ok ? 0 : 1;
}
