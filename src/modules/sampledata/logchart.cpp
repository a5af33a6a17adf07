#include "logchart.h"

#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"

#include <QDateTime>

#include <map>

namespace {

constexpr int kInactive = 4;
constexpr int kVolumeTypeMask = 3;
constexpr float kNoPressure = 10.0f;

const std::array<QColor, 2> kChannelColour{QColor(0, 90, 200), QColor(220, 90, 0)};
const QColor kTemperatureColour{0, 150, 70};
const QColor kPressureColour{130, 60, 170};

QColor markColour(int code)
{
    switch (code) {
    case 1: return QColor(230, 0, 0);    // below minimum
    case 2: return QColor(160, 0, 160);  // above maximum
    default: return QColor(40, 40, 40);
    }
}

}  // namespace

bool LogEntryTime(const T_SAMPLELOG& entry, qint64& msecs)
{
    if (!entry.dtDate.isValid() || !entry.tmTime.isValid())
        return false;
    msecs = QDateTime(entry.dtDate, entry.tmTime).toMSecsSinceEpoch();
    return true;
}

TChartData BuildLogChart(const T_SAMPLEDATA& record)
{
    const TFormatSettings& fmt = FmtDisplay();
    TChartData d;
    d.Title = fmt.Format(Tr("Probe-Nr. %d"), {record.uiNummer});
    d.XTitle = Tr("Zeit");
    d.TimeAxis = true;
    d.Locale = fmt.Locale;
    d.AxisFormats = {QStringLiteral("%.2f"), QStringLiteral("%.1f"), QStringLiteral("%.1f")};

    std::vector<qint64> x(record.aSL.size());
    std::vector<bool> placed(record.aSL.size());
    QDate first;
    QDate last;
    for (size_t i = 0; i < record.aSL.size(); ++i) {
        placed[i] = LogEntryTime(record.aSL[i], x[i]);
        if (placed[i]) {
            if (!first.isValid())
                first = record.aSL[i].dtDate;
            last = record.aSL[i].dtDate;
        }
    }
    // A log across midnight needs the date on its ticks.
    d.TimeFormat = first == last ? fmt.QtPattern(fmt.LongTimeFormat)
                                 : fmt.QtPattern(fmt.ShortDateFormat) + QLatin1Char(' ') + fmt.QtPattern(fmt.ShortTimeFormat);

    QStringList units;
    for (size_t c = 0; c < 2; ++c) {
        const T_DATA_CHANNEL& ch = record.aDC[c];
        if (ch.iStatus == kInactive)
            continue;
        const QString unit = FlowUnitText(ch.iSetFlags & kVolumeTypeMask);
        if (!units.contains(unit))
            units << unit;
        const QString channel = fmt.Format(Tr("Kanal %d"), {static_cast<int>(c) + 1});
        TChartSeries flow;
        flow.Name = channel;
        flow.Colour = kChannelColour[c];
        flow.Points.reserve(static_cast<qsizetype>(record.aSL.size()));
        std::map<int, TChartSeries> marks;
        for (size_t i = 0; i < record.aSL.size(); ++i) {
            if (!placed[i])
                continue;
            const T_SAMPLELOG& e = record.aSL[i];
            const QPointF p(static_cast<double>(x[i]), static_cast<double>(e.sFlow[c]));
            flow.Points.append(p);
            const int code = e.iFlowFlag[c];
            if (code == 0)
                continue;
            TChartSeries& m = marks[code];
            if (m.Name.isEmpty()) {
                const QString text = LogFlowMonitorText(code);
                m.Name = channel + QStringLiteral(": ") + (text.isEmpty() ? QString::number(code) : text);
                m.Colour = markColour(code);
                m.Markers = true;
            }
            m.Points.append(p);
        }
        d.Series.push_back(std::move(flow));
        for (auto& [code, m] : marks)
            d.Series.push_back(std::move(m));
    }
    d.AxisTitles[caLeft] = Tr("Fluss") + (units.isEmpty() ? QString() : QStringLiteral(" [") + units.join(QStringLiteral(" / ")) + QLatin1Char(']'));

    TChartSeries temperature;
    temperature.Name = Tr("Temperatur");
    temperature.Colour = kTemperatureColour;
    temperature.Axis = caRight1;
    TChartSeries pressure;
    pressure.Name = Tr("Luftdruck");
    pressure.Colour = kPressureColour;
    pressure.Axis = caRight2;
    for (size_t i = 0; i < record.aSL.size(); ++i) {
        if (!placed[i])
            continue;
        const T_SAMPLELOG& e = record.aSL[i];
        // Climate states 0 and 1 carry a temperature; a pressure up to 10 mbar is none.
        if (e.iClimateState == 0 || e.iClimateState == 1)
            temperature.Points.append(QPointF(static_cast<double>(x[i]), static_cast<double>(e.sTemperature)));
        if (e.sAirPressure > kNoPressure)
            pressure.Points.append(QPointF(static_cast<double>(x[i]), static_cast<double>(e.sAirPressure)));
    }
    if (!temperature.Points.isEmpty()) {
        d.AxisTitles[caRight1] = Tr("Temperatur") + QStringLiteral(" [°C]");
        d.Series.push_back(std::move(temperature));
    }
    if (!pressure.Points.isEmpty()) {
        d.AxisTitles[caRight2] = Tr("Luftdruck") + QStringLiteral(" [mbar]");
        d.Series.push_back(std::move(pressure));
    }
    return d;
}
