#include "sarvikchart.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QScatterSeries>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace {

const QColor kGreyed{170, 170, 170};
constexpr qreal kWheelZoomStep = 1.25;
constexpr int kMarkSize = 9;
constexpr int kLineWidth = 2;
constexpr int kPdfResolution = 150;

// Axis numbers without grouping: "1013", not "1.013", which reads as a decimal in German.
QLocale axisLocale(QLocale locale)
{
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale;
}

struct TRange {
    double Min = std::numeric_limits<double>::max();
    double Max = std::numeric_limits<double>::lowest();
    bool Empty() const { return Min > Max; }
    void Add(double v)
    {
        Min = std::min(Min, v);
        Max = std::max(Max, v);
    }
};

}  // namespace

TSarvikChart::TSarvikChart(QWidget* parent)
    : QChartView(new QChart, parent)
{
    setRenderHint(QPainter::Antialiasing);
    chart()->legend()->setAlignment(Qt::AlignBottom);
    chart()->setLocalizeNumbers(true);
    FOverlay = new QLabel(this);
    FOverlay->setObjectName(QStringLiteral("lblChartOverlay"));
    FOverlay->setAlignment(Qt::AlignCenter);
    FOverlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont f = FOverlay->font();
    f.setPointSize(f.pointSize() * 3);
    f.setBold(true);
    FOverlay->setFont(f);
    FOverlay->setStyleSheet(QStringLiteral("QLabel { color: rgba(90, 90, 90, 200); background: transparent; }"));
    FOverlay->hide();
}

void TSarvikChart::SetZoomable(bool zoomable)
{
    FZoomable = zoomable;
    setRubberBand(zoomable ? QChartView::RectangleRubberBand : QChartView::NoRubberBand);
}

void TSarvikChart::ResetZoom()
{
    chart()->zoomReset();
}

QString TSarvikChart::OverlayText() const
{
    return FOverlay->isVisibleTo(this) ? FOverlay->text() : QString();
}

bool TSarvikChart::sameShape(const TChartData& data) const
{
    if (!FBuilt || data.TimeAxis != FData.TimeAxis || data.Series.size() != FData.Series.size()
        || data.AxisTitles != FData.AxisTitles)
        return false;
    for (size_t i = 0; i < data.Series.size(); ++i) {
        const TChartSeries& a = data.Series[i];
        const TChartSeries& b = FData.Series[i];
        if (a.Name != b.Name || a.Markers != b.Markers || a.Axis != b.Axis || a.Dashed != b.Dashed
            || a.Colour != b.Colour)
            return false;
    }
    return true;
}

void TSarvikChart::SetData(const TChartData& data)
{
    const bool same = sameShape(data);
    FData = data;
    if (same) {
        updatePoints();
        chart()->setTitle(FData.Title);
        FXAxis->setTitleText(FData.XTitle);
        if (auto* t = qobject_cast<QDateTimeAxis*>(FXAxis))
            t->setFormat(FData.TimeFormat);
        chart()->setLocale(axisLocale(FData.Locale));
        updateRanges();
    } else {
        rebuild();
    }
    updateLook();
}

void TSarvikChart::rebuild()
{
    QChart* c = chart();
    c->removeAllSeries();
    FSeries.clear();
    for (QAbstractAxis* a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
    FAxes = {};
    c->setTitle(FData.Title);
    c->setLocale(axisLocale(FData.Locale));
    if (FData.TimeAxis) {
        auto* x = new QDateTimeAxis;
        x->setFormat(FData.TimeFormat);
        x->setTickCount(7);
        FXAxis = x;
    } else {
        auto* x = new QValueAxis;
        x->setLabelFormat(FData.XFormat);
        FXAxis = x;
    }
    FXAxis->setTitleText(FData.XTitle);
    c->addAxis(FXAxis, Qt::AlignBottom);
    for (size_t a = 0; a < FAxes.size(); ++a) {
        if (FData.AxisTitles[a].isEmpty())
            continue;
        auto* y = new QValueAxis;
        y->setTitleText(FData.AxisTitles[a]);
        y->setLabelFormat(FData.AxisFormats[a]);
        c->addAxis(y, a == caLeft ? Qt::AlignLeft : Qt::AlignRight);
        FAxes[a] = y;
    }
    // Ranges first: each change of a range lays out every series on the axis again.
    updateRanges();
    for (const TChartSeries& s : FData.Series) {
        QXYSeries* series = nullptr;
        if (s.Markers) {
            auto* m = new QScatterSeries;
            m->setMarkerSize(kMarkSize);
            series = m;
        } else {
            series = new QLineSeries;
        }
        series->setName(s.Name);
        c->addSeries(series);
        series->attachAxis(FXAxis);
        QValueAxis* y = FAxes[static_cast<size_t>(s.Axis)] ? FAxes[static_cast<size_t>(s.Axis)] : FAxes[caLeft];
        if (y)
            series->attachAxis(y);
        // The look before the points: a new pen on a long series redoes its whole layout.
        applyLook(series, s, !FData.Overlay.isEmpty());
        series->replace(s.Points);
        FSeries << series;
    }
    FBuilt = true;
}

void TSarvikChart::updatePoints()
{
    for (qsizetype i = 0; i < FSeries.size(); ++i)
        FSeries[i]->replace(FData.Series[static_cast<size_t>(i)].Points);
}

void TSarvikChart::updateRanges()
{
    TRange x;
    std::array<TRange, 3> y;
    for (const TChartSeries& s : FData.Series) {
        TRange& r = y[static_cast<size_t>(s.Axis)];
        for (const QPointF& p : s.Points) {
            x.Add(p.x());
            r.Add(p.y());
        }
    }
    if (x.Empty())
        x = {0.0, 1.0};
    if (x.Max <= x.Min)
        x.Max = x.Min + 1.0;
    if (FData.TimeAxis)
        FXAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x.Min)),
                         QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x.Max)));
    else {
        auto* axis = static_cast<QValueAxis*>(FXAxis);
        axis->setRange(x.Min, x.Max);
        axis->applyNiceNumbers();
    }
    for (size_t a = 0; a < FAxes.size(); ++a) {
        if (!FAxes[a])
            continue;
        TRange r = y[a];
        if (r.Empty())
            r = {0.0, 1.0};
        if (a == caLeft && FData.LeftFromZero)
            r.Min = std::min(r.Min, 0.0);
        const double span = r.Max - r.Min;
        const double pad = span > 0.0 ? span * 0.05 : 1.0;
        FAxes[a]->setRange(a == caLeft && FData.LeftFromZero && r.Min >= 0.0 ? 0.0 : r.Min - pad, r.Max + pad);
        FAxes[a]->applyNiceNumbers();
    }
}

void TSarvikChart::applyLook(QXYSeries* series, const TChartSeries& s, bool greyed)
{
    const QColor colour = greyed ? kGreyed : s.Colour;
    if (auto* m = qobject_cast<QScatterSeries*>(series)) {
        if (m->color() != colour) {
            m->setColor(colour);
            m->setBorderColor(colour.darker(130));
        }
        return;
    }
    const QPen pen(colour, kLineWidth, s.Dashed ? Qt::DashLine : Qt::SolidLine);
    if (series->pen() != pen)
        series->setPen(pen);
}

void TSarvikChart::updateLook()
{
    const bool greyed = !FData.Overlay.isEmpty();
    for (qsizetype i = 0; i < FSeries.size(); ++i)
        applyLook(FSeries[i], FData.Series[static_cast<size_t>(i)], greyed);
    FOverlay->setText(FData.Overlay);
    FOverlay->setVisible(greyed);
    FOverlay->raise();
}

void TSarvikChart::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    FOverlay->setGeometry(rect());
}

void TSarvikChart::wheelEvent(QWheelEvent* event)
{
    if (!FZoomable || event->angleDelta().y() == 0) {
        QChartView::wheelEvent(event);
        return;
    }
    const qreal factor = event->angleDelta().y() > 0 ? kWheelZoomStep : 1.0 / kWheelZoomStep;
    const QRectF area = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    // The point under the mouse stays where it is.
    QRectF zoomed(0, 0, area.width() / factor, area.height() / factor);
    zoomed.moveCenter(at + (area.center() - at) / factor);
    chart()->zoomIn(zoomed);
    event->accept();
}

void TSarvikChart::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (FZoomable) {
        ResetZoom();
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

QImage TSarvikChart::Render(const QSize& size)
{
    if (size != this->size())
        resize(size);
    return grab().toImage();
}

bool TSarvikChart::SaveImage(const QString& path)
{
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setResolution(kPdfResolution);
        writer.setTitle(FData.Title);
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        painter.setRenderHint(QPainter::Antialiasing);
        render(&painter);
        return painter.end();
    }
    return grab().toImage().save(path, "PNG");
}
