// The sample data window's downloads through the whole program (main window, worker, serial
// layer, status polling) against the virtual device paced at 115200 baud: the newest 100
// records, then the 8,640-entry log of one run.
// Wire-limited time: every byte both ways during a download (the device's counters, status
// polling included) at 11,520 bytes per second.
// Last line: download_bench records_s=<s> log_s=<s> wire_efficiency=<wire-limited / measured>

#include "mainwindow.h"
#include "recordstore.h"
#include "settingsform.h"
#include "tfprobedaten.h"
#include "virtualsarvik.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr double kWireBytesPerS = 11520.0;
constexpr int kOnlineTimeoutMs = 20000;
constexpr int kRecordsTimeoutMs = 120000;
constexpr int kLogTimeoutMs = 600000;

qint64 wireBytes(TVirtualSarvik& device)
{
    const TSimStatus s = device.status();
    return s.bytesIn + s.bytesOut;
}

// Runs the event loop until done() holds (checked every millisecond) or the time is up.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

int fail(const char* what)
{
    std::fprintf(stderr, "download_bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail("no temporary directory");
    const QString root = dir.filePath(QStringLiteral("root"));
    TVirtualSarvikOptions options;
    options.root = root;
    options.seed = 7;
    options.paceBaud = true;
    TVirtualSarvik device(options);
    QString error;
    if (!device.start(&error))
        return fail(qPrintable(error));

    const QString ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
    QFile(ini).open(QIODevice::WriteOnly);
    TFSettingsForm settings;
    TForm1 form(settings, {QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root}, dir.path() + QLatin1Char('/'));
    form.SetModuleFactory(ciProbedaten, [](TAppContext& c) { return new TfProbedaten(c); });
    form.show();
    if (!runUntil([&] { return form.Context().Online && !form.Context().Device.SerialNo.isEmpty(); }, kOnlineTimeoutMs))
        return fail("the program did not go online");
    auto* window = qobject_cast<TfProbedaten*>(form.OpenModule(ciProbedaten));
    if (!window)
        return fail("no sample data window");
    bool exported = false;
    window->Logic().SetLogExport([&](int) { exported = true; });

    QElapsedTimer clock;
    qint64 bytes0 = wireBytes(device);
    clock.start();
    window->btnLadeSarvik->click();
    if (!runUntil([&] { return !window->Logic().Busy(); }, kRecordsTimeoutMs))
        return fail("the record download did not finish");
    const double recordsS = clock.nsecsElapsed() / 1e9;
    const qint64 recordBytes = wireBytes(device) - bytes0;
    if (window->Logic().Records().size() != 100)
        return fail("not 100 records");

    const int index = window->Logic().FindRecordByNumber(kSimLongLogRecord);
    if (index < 0)
        return fail("the long log's record is not in the list");
    int row = -1;
    for (size_t i = 0; i < window->Logic().Rows().size(); ++i) {
        if (window->Logic().Rows()[i].Index == index)
            row = static_cast<int>(i);
    }
    window->lvData->setCurrentItem(window->lvData->topLevelItem(row));
    // The option rows of the record download are still in the queue; let them pass first.
    runUntil([] { return false; }, 500);
    bytes0 = wireBytes(device);
    clock.restart();
    window->btnProbeExcel->click();
    if (!runUntil([&] { return !window->Logic().LogDownloading(); }, kLogTimeoutMs))
        return fail("the log download did not finish");
    const double logS = clock.nsecsElapsed() / 1e9;
    const qint64 logBytes = wireBytes(device) - bytes0;
    const size_t entries = window->Logic().Records()[static_cast<size_t>(index)].aSL.size();
    runUntil([&] { return exported; }, 1000);

    const double wireS = double(recordBytes + logBytes) / kWireBytesPerS;
    const double efficiency = wireS / (recordsS + logS);
    std::printf("records: %zu in %.3f s, %lld bytes on the wire\n", window->Logic().Records().size(), recordsS,
                static_cast<long long>(recordBytes));
    std::printf("log: %zu entries in %.3f s, %lld bytes on the wire\n", entries, logS,
                static_cast<long long>(logBytes));
    std::printf("download_bench records_s=%.3f log_s=%.3f wire_efficiency=%.3f\n", recordsS, logS, efficiency);
    std::fflush(stdout);
    form.CloseWithoutQuestion();
    device.stop();
    return entries == 8640 ? 0 : fail("the log has not 8640 entries");
}
