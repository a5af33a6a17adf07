// CPU the status display costs while the device is online and nothing changes: the 50 ms
// timer polls, every poll is answered at once with the same values, an alarm LED and the
// sampling LED blink, and the activity panel lights up after each order.
// Last line: status_idle_bench cpu_percent=<process CPU time / wall time over the run>

#include "devicestatus.h"
#include "sendorder.h"
#include "settingsform.h"
#include "statusarea.h"
#include "statusbar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kTickMs = 50;
constexpr int kDefaultRunMs = 10000;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The answer a steady device gives to each poll.
QString answerTo(const QString& command)
{
    if (command == u"GIS")
        return QStringLiteral("TIS;8;1;0;0;0;1;1");
    if (command == u"GID")
        return QStringLiteral("TID;0;3.6.0;HW2;0;3;0");
    if (command == u"GIN")
        return QStringLiteral("TIN;SN4711");
    if (command == u"GIO")
        return QStringLiteral("TIO;1234:56;0;0;567");
    if (command == u"GIB")
        return QStringLiteral("TIB;3.95;0;3;75");
    if (command == u"GIE")
        return QStringLiteral("TIE;0;21.5;C;45.2;%rF;1;1013.2");
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runMs = argc > 1 ? std::atoi(argv[1]) : kDefaultRunMs;

    TFSettingsForm settings;
    TAppContext context(settings);
    TDeviceStatus status(context);
    QMainWindow window;
    auto* central = new QWidget(&window);
    auto* layout = new QVBoxLayout(central);
    auto* area = new TStatusArea(central);
    layout->addWidget(area);
    layout->addStretch(1);
    window.setCentralWidget(central);
    auto* panels = new TStatusPanels(&window);
    panels->StatusInit(kTickMs, window.statusBar());
    ConnectStatusArea(status, *area);
    status.FSetOnline = [&](bool online) {
        context.Online = online;
        panels->StatusSetOnline(online);
        online ? status.OnOnline() : status.OnOffline();
    };
    status.FCaptionChanged = [&](const QString& caption) { window.setWindowTitle(caption); };
    // The device answers every order as soon as the poll is over, like the worker would.
    QList<TOrder> pending;
    SetOrderSink([&](const TOrder& order) {
        pending << order;
        panels->StatusDataActivity();
    });
    window.resize(900, 200);
    window.show();
    status.FSetOnline(false);

    QTimer timer;
    timer.setInterval(kTickMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        timer.stop();
        panels->StatusTick();
        status.Tick(kTickMs);
        // Answers may queue new orders (going online asks for the serial number).
        const QList<TOrder> batch = std::exchange(pending, {});
        for (TOrder order : batch) {
            order.Status = kOrderDone;
            order.RXData = ToWire(answerTo(FromWire(order.TXData).left(3)));
            status.ProcessStatusAnswer(order);
        }
        timer.start();
    });
    timer.start();

    // Warm up (first paint, going online), then measure.
    QTimer::singleShot(1000, [&] {
        const double cpuStart = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTimer::singleShot(runMs, [&, cpuStart, wall] {
            const double percent = 100.0 * (cpuSeconds() - cpuStart) / (double(wall.elapsed()) / 1000.0);
            std::printf("online=%d alarm_led=%d\n", int(context.Online), int(status.Values().AlarmLed));
            std::printf("status_idle_bench cpu_percent=%.2f\n", percent);
            app.quit();
        });
    });
    return app.exec();
}
