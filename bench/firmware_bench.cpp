// Flashes a full 2 MiB image (8,193 blocks) into the virtual Sarvik2V2's bootloader, paced at
// 115200 baud, through the real program: main window, link, discovery, serial layer and the
// firmware window. The time is the program's own figure from its log ("nach %.3f Sekunden");
// the wire-limited time is what the bytes alone need on the line.
//
// firmware_bench [--unpaced]

#include "firmwarefiles.h"
#include "i18n.h"
#include "mainwindow.h"
#include "settingsform.h"
#include "tfupdate.h"
#include "updateenv.h"
#include "virtualsarvik.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double kWireBytesPerSecond = 11520.0;  // 115200 baud, 10 bits a byte
constexpr qint64 kBlocks = kImageBytes / kBlockBytes + 1;
// Handshake and its answer, start, end and its answer, finish.
constexpr qint64 kFixedBytes = 3 + 62 + 2 + 3 + 1 + 2;
constexpr int kTimeoutMs = 600000;

// Runs the program's event loop (blocking in it, as the program does) until done holds.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    QTimer check;
    bool ok = false;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) {
            ok = true;
            QCoreApplication::exit(0);
        } else if (t.elapsed() > timeoutMs) {
            QCoreApplication::exit(1);
        }
    });
    check.start(100);
    if (done())
        return true;
    QCoreApplication::exec();
    return ok;
}

int fail(const char* what)
{
    std::fprintf(stderr, "firmware_bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool paced = !app.arguments().contains(QStringLiteral("--unpaced"));

    QTemporaryDir dir;
    if (!dir.isValid())
        return fail("no temporary directory");
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString hexFile = dir.filePath(QStringLiteral("full.hex"));
    QByteArray image = PatternImage(kImageBytes, 5);
    image.replace(0x200, 12, QByteArrayLiteral("SV2FW=4.1.0\0"));
    if (!WriteFile(hexFile, HexTextOfImage(image)))
        return fail("cannot write the HEX file");

    TVirtualSarvikOptions o;
    o.root = root;
    o.paceBaud = paced;
    o.bootDelayMs = 300;
    TVirtualSarvik device(o);
    QString error;
    if (!device.start(&error))
        return fail(qPrintable(error));

    const QString ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
    WriteFile(ini, QByteArray());
    TFSettingsForm settings;
    TForm1 form(settings,
                QStringList{QStringLiteral("Service"), QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root},
                dir.path() + QLatin1Char('/'));
    form.SetModuleFactory(ciUpdate, [&form](TAppContext& c) { return CreateUpdateWindow(form, c); });
    form.show();
    auto* window = qobject_cast<TfUpdate*>(form.OpenModule(ciUpdate));
    if (!window)
        return fail("no firmware window");
    if (!runUntil([&] { return form.Context().Online; }, 20000))
        return fail("the program did not go online");

    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> sentNs;
    sentNs.reserve(std::size_t(kBlocks));
    window->Machine().SetBlockObserver([&](int, qint64) { sentNs.push_back(clock.nsecsElapsed()); });
    window->SetFileDialog([&](QWidget*, const QString&, const QString&, const QString&) { return hexFile; });
    window->btnSelectFile->click();
    window->btnStart->click();
    if (!runUntil([&] { return !window->Machine().Running(); }, kTimeoutMs))
        return fail("the update did not end");
    const QString log = window->reLog->toPlainText();
    static const QRegularExpression done(QStringLiteral("nach ([0-9]+[.,][0-9]+) Sekunden"));
    const auto m = done.match(log);
    if (!window->Machine().Succeeded() || !m.hasMatch()) {
        std::fprintf(stderr, "%s\n", qPrintable(log));
        return fail("the update failed");
    }
    const double seconds = m.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    const bool flashed = device.flashImage() == image;

    // A block's time: from its send to the next send (the answer came in between).
    std::vector<double> blockMs;
    for (std::size_t i = 1; i < sentNs.size(); ++i)
        blockMs.push_back(double(sentNs[i] - sentNs[i - 1]) / 1e6);
    double mean = 0.0;
    for (double v : blockMs)
        mean += v;
    mean = blockMs.empty() ? 0.0 : mean / double(blockMs.size());
    std::sort(blockMs.begin(), blockMs.end());
    const double p99 = blockMs.empty() ? 0.0 : blockMs[std::min(blockMs.size() - 1, std::size_t(0.99 * double(blockMs.size())))];

    const double wireSeconds = double(kBlocks * (2 + kBlockBytes + 1) + kFixedBytes) / kWireBytesPerSecond;
    const double efficiency = paced && seconds > 0 ? std::min(1.0, wireSeconds / seconds) : 0.0;
    std::printf("paced=%d wire_limited_s=%.1f flash_equal=%d violations=%lld\n", paced ? 1 : 0, wireSeconds,
                flashed ? 1 : 0, static_cast<long long>(device.status().violations));
    std::printf("firmware_bench seconds=%.3f wire_efficiency=%.4f blocks=%zu mean_block_ms=%.3f p99_block_ms=%.3f\n",
                seconds, efficiency, sentNs.size(), mean, p99);
    std::fflush(stdout);
    runUntil([&] { return form.Context().Online; }, 20000);
    form.CloseWithoutQuestion();
    device.stop();
    return flashed ? 0 : 1;
}
