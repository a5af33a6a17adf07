#pragma once
// What a chart shows, as plain data: the logic classes fill it (and tests read it), TSarvikChart
// draws it. No widgets here.

#include <QColor>
#include <QList>
#include <QLocale>
#include <QPointF>
#include <QString>

#include <array>
#include <vector>

// Value axes of a chart: the left one and up to two on the right.
enum TChartAxis : int { caLeft = 0, caRight1 = 1, caRight2 = 2 };

struct TChartSeries {
    QString Name;
    QList<QPointF> Points;
    QColor Colour;
    bool Dashed = false;
    bool Markers = false;  // single marks instead of a line
    TChartAxis Axis = caLeft;
};

struct TChartData {
    QString Title;
    QString XTitle;
    // x in milliseconds since the epoch, shown as dates and times with TimeFormat; else plain
    // numbers.
    bool TimeAxis = false;
    QString TimeFormat;
    QString XFormat = QStringLiteral("%.1f");  // printf-style, numbers in Locale
    std::array<QString, 3> AxisTitles;  // by TChartAxis; an empty title leaves the axis out
    std::array<QString, 3> AxisFormats{QStringLiteral("%.2f"), QStringLiteral("%.1f"), QStringLiteral("%.1f")};
    // The left axis starts at zero (flows); the others fit their values.
    bool LeftFromZero = true;
    std::vector<TChartSeries> Series;
    QLocale Locale = QLocale::c();  // numbers on the axes
    // Shown across a greyed chart (the link dropped); empty: the chart is live.
    QString Overlay;
};

// A series that keeps a whole run in a bounded number of points: when it grows past the limit
// every second point is dropped and from then on only every second sample is kept, so the run
// stays evenly covered. The first sample and the latest are always part of it.
class TThinnedSeries {
public:
    explicit TThinnedSeries(int maxPoints = 1000);

    void Add(const QPointF& point);
    void Clear();
    const QList<QPointF>& Points() const { return FPoints; }
    // Every how many samples one is kept.
    int Stride() const { return FStride; }
    qint64 Samples() const { return FSamples; }

private:
    int FMaxPoints;
    int FStride = 1;
    qint64 FSamples = 0;
    // The last point is the latest sample, kept though it is off the stride.
    bool FTailExtra = false;
    QList<QPointF> FPoints;
};
