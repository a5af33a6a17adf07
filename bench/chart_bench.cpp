// The chart of a day's process log (8,640 entries at 10 s): built from the record (series and
// chart objects) and drawn offscreen into a 1600x900 image. Each figure is the median of five
// runs on a fresh chart. An optional argument names a PNG to keep the last drawing in.
// Last line: chart_bench build_ms=<n> draw_ms=<n>

#include "logchart.h"
#include "sarvikchart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kEntries = 8640;
constexpr int kRuns = 5;
const QSize kImageSize(1600, 900);

T_SAMPLEDATA makeRecord()
{
    T_SAMPLEDATA r;
    r.uiNummer = 200;
    r.aDC[0].iStatus = 1;
    r.aDC[0].iSetFlags = 16 | 1;
    r.aDC[1].iStatus = 1;
    r.aDC[1].iSetFlags = 16 | 1;
    const QDateTime start(QDate(2026, 3, 3), QTime(12, 0, 0));
    for (int i = 0; i < kEntries; ++i) {
        T_SAMPLELOG e;
        e.iStatus = 1;
        const QDateTime t = start.addSecs(10LL * i);
        e.dtDate = t.date();
        e.tmTime = t.time();
        e.sFlow = {1.5f + static_cast<float>(i % 17) * 0.002f, 0.8f - static_cast<float>(i % 13) * 0.002f};
        e.iFlowFlag = {i % 97 == 0 ? 1 : 0, i % 211 == 0 ? 2 : 0};
        e.sTemperature = 21.5f + static_cast<float>(i % 600) * 0.005f;
        e.sAirPressure = 1013.2f - static_cast<float>(i % 300) * 0.01f;
        r.aSL.push_back(e);
    }
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const T_SAMPLEDATA record = makeRecord();
    std::vector<double> build;
    std::vector<double> draw;
    QImage image;
    for (int run = 0; run < kRuns; ++run) {
        TSarvikChart chart;
        chart.SetZoomable(true);
        chart.resize(kImageSize);
        chart.show();
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        chart.SetData(BuildLogChart(record));
        build.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        // The chart lays itself out on the next pass of the event loop; that belongs to drawing.
        QCoreApplication::processEvents();
        image = chart.Render(kImageSize);
        draw.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (image.size() != kImageSize) {
            std::fprintf(stderr, "chart_bench: image of %dx%d\n", image.width(), image.height());
            return 1;
        }
    }
    if (argc > 1 && !image.save(QString::fromLocal8Bit(argv[1])))
        std::fprintf(stderr, "chart_bench: %s not written\n", argv[1]);
    std::printf("chart_bench build_ms=%.0f draw_ms=%.0f\n", median(build), median(draw));
    return 0;
}
