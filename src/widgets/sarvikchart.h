#pragma once
// A line chart over TChartData: value or date-time x axis, up to three value axes, dashed lines
// and marks, a greyed state with a text across it, and optionally zoom by wheel and rectangle
// with a double click to reset. Saves itself as PNG or PDF.

#include "chartdata.h"

#include <QChartView>

class QLabel;

class TSarvikChart : public QChartView {
    Q_OBJECT
public:
    explicit TSarvikChart(QWidget* parent = nullptr);

    // Shows data; points alone are replaced when the series and axes stay the same.
    void SetData(const TChartData& data);
    const TChartData& Data() const { return FData; }
    // Wheel and rectangle zoom, reset by a double click.
    void SetZoomable(bool zoomable);
    bool Zoomable() const { return FZoomable; }
    // Back to the whole of the data.
    void ResetZoom();
    // The text across the greyed chart; empty while live.
    QString OverlayText() const;

    // A PNG (any other ending) or a PDF (ending ".pdf") of the chart as shown; false when the
    // file cannot be written.
    bool SaveImage(const QString& path);
    // The chart drawn into an image of the given size.
    QImage Render(const QSize& size);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool sameShape(const TChartData& data) const;
    void rebuild();
    void updatePoints();
    void updateRanges();
    void updateLook();
    static void applyLook(class QXYSeries* series, const TChartSeries& s, bool greyed);

    TChartData FData;
    bool FZoomable = false;
    bool FBuilt = false;
    QList<class QXYSeries*> FSeries;
    std::array<class QValueAxis*, 3> FAxes{};
    class QAbstractAxis* FXAxis = nullptr;
    QLabel* FOverlay = nullptr;
};
