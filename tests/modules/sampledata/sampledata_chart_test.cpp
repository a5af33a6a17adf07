// The process log as a chart: the series the logic hands to the chart, "Verlauf anzeigen" beside
// the export, and the chart window's zoom.

#include "logchart.h"
#include "probedatenlogic.h"
#include "sampledatatestutil.h"
#include "sarvikchart.h"
#include "tfprobedaten.h"
#include "waitfor.h"

#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kDayEntries = 8640;  // a day at 10 s
constexpr int kVolTypeSL = 1;
constexpr int kVolTypeL = 2;
constexpr int kActive = 16;

const TChartSeries* seriesNamed(const TChartData& d, const QString& name)
{
    for (const TChartSeries& s : d.Series) {
        if (s.Name == name)
            return &s;
    }
    return nullptr;
}

QStringList names(const TChartData& d)
{
    QStringList list;
    for (const TChartSeries& s : d.Series)
        list << s.Name;
    return list;
}

// A day's log from noon to noon: flows, flow-monitor codes and climate values vary by entry.
T_SAMPLEDATA dayRecord()
{
    T_SAMPLEDATA r;
    r.uiNummer = 42;
    r.aDC[0].iStatus = 1;
    r.aDC[0].iSetFlags = kActive | kVolTypeSL;
    r.aDC[1].iStatus = 2;
    r.aDC[1].iSetFlags = kActive | kVolTypeL;
    const QDateTime start(QDate(2026, 3, 3), QTime(12, 0, 0));
    for (int i = 0; i < kDayEntries; ++i) {
        T_SAMPLELOG e;
        e.iStatus = 1;
        const QDateTime when = start.addSecs(10LL * i);
        e.dtDate = when.date();
        e.tmTime = when.time();
        e.sFlow = {1.5f + static_cast<float>(i % 7) / 100.0f, 0.5f - static_cast<float>(i % 5) / 100.0f};
        if (i % 1000 == 7)
            e.iFlowFlag[0] = 1;
        if (i == 4321)
            e.iFlowFlag[0] = 5;  // a code without a text
        if (i % 2000 == 13)
            e.iFlowFlag[1] = 2;
        e.iClimateState = i % 100 == 99 ? 2 : 0;  // now and then no climate values
        e.sTemperature = 20.0f + static_cast<float>(i % 30) / 10.0f;
        e.sAirPressure = i % 500 == 3 ? 0.0f : 1013.0f;
        r.aSL.push_back(e);
    }
    return r;
}

TEST(sampledata_LogChart, dayLog_acrossMidnight_seriesWithTheEntriesTimes_andTheMarks)
{
    TSampleTestEnv env;
    const T_SAMPLEDATA r = dayRecord();
    const TChartData d = BuildLogChart(r);
    EXPECT_EQ(names(d), (QStringList{"Kanal 1", "Kanal 1: Kleiner Min!", "Kanal 1: 5", "Kanal 2",
                                     "Kanal 2: Größer Max!", "Temperatur", "Luftdruck"}));
    EXPECT_TRUE(d.TimeAxis);
    EXPECT_EQ(d.Title, QStringLiteral("Probe-Nr. 42"));

    for (size_t c = 0; c < 2; ++c) {
        const TChartSeries* flow = seriesNamed(d, QStringLiteral("Kanal %1").arg(c + 1));
        ASSERT_NE(flow, nullptr);
        ASSERT_EQ(flow->Points.size(), kDayEntries);
        EXPECT_EQ(flow->Axis, caLeft);
        for (int i = 0; i < kDayEntries; ++i) {
            const T_SAMPLELOG& e = r.aSL[static_cast<size_t>(i)];
            ASSERT_EQ(flow->Points[i].x(), static_cast<double>(QDateTime(e.dtDate, e.tmTime).toMSecsSinceEpoch())) << i;
            ASSERT_FLOAT_EQ(static_cast<float>(flow->Points[i].y()), e.sFlow[c]) << i;
            // Ten seconds apart all through the night.
            if (i > 0) {
                ASSERT_EQ(flow->Points[i].x() - flow->Points[i - 1].x(), 10000.0) << i;
            }
        }
    }
    const TChartSeries* low = seriesNamed(d, QStringLiteral("Kanal 1: Kleiner Min!"));
    ASSERT_NE(low, nullptr);
    EXPECT_TRUE(low->Markers);
    ASSERT_EQ(low->Points.size(), 9);  // 7, 1007, ... 8007
    EXPECT_EQ(low->Points[1], seriesNamed(d, QStringLiteral("Kanal 1"))->Points[1007]);
    EXPECT_EQ(seriesNamed(d, QStringLiteral("Kanal 1: 5"))->Points.size(), 1);
    EXPECT_EQ(seriesNamed(d, QStringLiteral("Kanal 2: Größer Max!"))->Points.size(), 5);  // 13, 2013, ... 8013

    const TChartSeries* temperature = seriesNamed(d, QStringLiteral("Temperatur"));
    EXPECT_EQ(temperature->Points.size(), kDayEntries - 86);  // 99, 199, ... 8599 have none
    EXPECT_EQ(temperature->Axis, caRight1);
    EXPECT_FLOAT_EQ(static_cast<float>(temperature->Points[5].y()), 20.5f);
    const TChartSeries* pressure = seriesNamed(d, QStringLiteral("Luftdruck"));
    EXPECT_EQ(pressure->Points.size(), kDayEntries - 18);  // 3, 503, ... 8503 have none
    EXPECT_EQ(pressure->Axis, caRight2);
    EXPECT_EQ(d.AxisTitles[caLeft], QStringLiteral("Fluss [SL/min / L/min]"));
    EXPECT_EQ(d.AxisTitles[caRight1], QStringLiteral("Temperatur [°C]"));
    EXPECT_EQ(d.AxisTitles[caRight2], QStringLiteral("Luftdruck [mbar]"));
    // Ticks across two days carry the date.
    EXPECT_TRUE(d.TimeFormat.contains(QLatin1String("MM")) && d.TimeFormat.contains(QLatin1String("hh"), Qt::CaseInsensitive))
        << d.TimeFormat.toStdString();
}

TEST(sampledata_LogChart, shortLogs_inactiveChannelsAndUndatedEntriesLeftOut_inBothLanguages)
{
    TSampleTestEnv env;
    T_SAMPLEDATA r;
    r.aDC[0].iStatus = 1;
    r.aDC[0].iSetFlags = kActive;  // NL
    r.aDC[1].iStatus = 4;          // inactive
    for (int i = 0; i < 4; ++i) {
        T_SAMPLELOG e;
        e.dtDate = i == 2 ? QDate() : QDate(2026, 3, 3);
        e.tmTime = QTime(13, i, 0);
        e.sFlow = {1.0f + static_cast<float>(i), 9.0f};
        e.iClimateState = 3;  // no temperature
        r.aSL.push_back(e);
    }
    TChartData d = BuildLogChart(r);
    EXPECT_EQ(names(d), QStringList{"Kanal 1"});
    ASSERT_EQ(d.Series[0].Points.size(), 3);
    EXPECT_EQ(d.Series[0].Points[2].y(), 4.0);
    EXPECT_TRUE(d.AxisTitles[caRight1].isEmpty());
    EXPECT_TRUE(d.AxisTitles[caRight2].isEmpty());
    EXPECT_FALSE(d.TimeFormat.contains(QLatin1String("MM")));
    EXPECT_EQ(d.AxisTitles[caLeft], QStringLiteral("Fluss [NL/min]"));

    r.aSL[0].iFlowFlag[0] = 1;
    r.aSL[0].iClimateState = 1;
    r.aSL[0].sAirPressure = 990.0f;
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    d = BuildLogChart(r);
    SetProgramLanguage(kLangGerman);
    EXPECT_EQ(names(d), (QStringList{"Channel 1", "Channel 1: Below min!", "Temperature", "Air pressure"}));
    EXPECT_EQ(d.XTitle, QStringLiteral("Time"));
    EXPECT_EQ(d.Locale.decimalPoint(), QStringLiteral("."));
}

class sampledata_Verlauf : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Logic = std::make_unique<TProbedatenLogic>(Env.Context);
        QObject::connect(Logic.get(), &TProbedatenLogic::Status, [this](const QString& text, bool alarm) {
            StatusText = text;
            StatusAlarm = alarm;
        });
        Logic->SetQuestion([this](const QString& q) {
            Questions << q;
            return true;
        });
        Logic->SetLogExport([this](int index) { Exports << index; });
        Logic->SetLogChart([this](int index) { Charts << index; });
        Logic->SetFolderDialog([this](const QString&, const QString&) { return Dir.path(); });
        Logic->FormShow();
    }

    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(Dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void loadFiles(const QByteArray& log)
    {
        write(QStringLiteral("9_hist.csv"), RecordLine(DefaultRecordFields(9)).toLatin1() + "\r\n");
        write(QStringLiteral("9_log.csv"), log);
        Logic->btnLadeDateienClick();
        ASSERT_EQ(Logic->Records().size(), 1u);
        Logic->SelectRow(0);
        ASSERT_TRUE(Logic->Controls().LogActionEnabled);
    }
    // Records 2, 1 and 0 from the device, the row of 2 selected.
    void downloadOne()
    {
        Logic->btnLadeSarvikClick();
        Logic->RXData(kOrderDone, 0, QStringLiteral("TDP;2;"));
        while (Rec.last().startsWith(QLatin1String("GDR;"))) {
            const size_t before = Rec.Orders.size();
            Logic->RXData(kOrderDone, 0, TdrAnswer(Rec.last().mid(4).toInt()));
            if (Rec.Orders.size() == before)
                break;
        }
        ASSERT_FALSE(Logic->Downloading());
        ASSERT_EQ(Logic->Records()[0].uiNummer, 2);
        Logic->SelectRow(0);
        ASSERT_TRUE(Logic->Controls().LogActionEnabled);
    }

    TSampleTestEnv Env;
    TOrderRecorder Rec;
    QTemporaryDir Dir;
    std::unique_ptr<TProbedatenLogic> Logic;
    QString StatusText;
    bool StatusAlarm = false;
    QStringList Questions;
    QList<int> Exports;
    QList<int> Charts;
};

TEST_F(sampledata_Verlauf, fromAFile_showsTheChart_andTheExportPathStaysAsItWas)
{
    loadFiles("date;time\r\n" + LogLine(1).toLatin1() + "\r\n" + LogLine(2, 9700).toLatin1() + "\r\n"
              + LogLine(3).toLatin1() + "\r\n");
    Logic->btnProbeVerlaufClick();
    EXPECT_EQ(StatusText, QStringLiteral("Es wurden 3 Sätze eingelesen"));
    ASSERT_TRUE(waitFor([this] { return !Charts.isEmpty(); }));
    EXPECT_EQ(Charts, QList<int>{0});
    const TChartData d = Logic->LogChart(0);
    ASSERT_FALSE(d.Series.empty());
    ASSERT_EQ(d.Series[0].Points.size(), 3);
    EXPECT_FLOAT_EQ(static_cast<float>(d.Series[0].Points[1].y()), 0.97f);
    spinFor(50);
    EXPECT_TRUE(Exports.isEmpty());

    Logic->btnProbeExcelClick();
    ASSERT_TRUE(waitFor([this] { return !Exports.isEmpty(); }));
    EXPECT_EQ(Exports, QList<int>{0});
    spinFor(50);
    EXPECT_EQ(Charts.size(), 1);
    EXPECT_TRUE(Logic->LogChart(5).Series.empty());
}

TEST_F(sampledata_Verlauf, emptyLog_noChart_andTheAlarm)
{
    // From a file with only its header, and from the device whose first answer ends the log.
    loadFiles("date;time\r\n");
    Logic->btnProbeVerlaufClick();
    EXPECT_EQ(StatusText, QStringLiteral("Keine Daten vorhanden"));
    EXPECT_TRUE(StatusAlarm);

    downloadOne();
    Rec.Orders.clear();
    Logic->btnProbeVerlaufClick();
    EXPECT_EQ(Rec.commands(), QStringList{"GDN;2"});
    Logic->RXData(kOrderDone, 0, QStringLiteral("TDN;2;0;"));
    EXPECT_EQ(StatusText, QStringLiteral("Keine Daten vorhanden"));
    EXPECT_TRUE(StatusAlarm);
    spinFor(50);
    EXPECT_TRUE(Charts.isEmpty());
    EXPECT_TRUE(Exports.isEmpty());
    EXPECT_TRUE(Questions.isEmpty());
}

TEST_F(sampledata_Verlauf, partialDownload_showsWhatArrived_withoutTheExportQuestion)
{
    downloadOne();
    Logic->btnProbeVerlaufClick();
    Logic->RXData(kOrderDone, 0, QStringLiteral("TDN;2;1;") + LogLine(1));
    Env.Context.Online = false;
    Logic->SetOnOffLine(0);
    EXPECT_EQ(StatusText, QStringLiteral("Sarvik2V2 ist offline nach 1 Sätzen"));
    ASSERT_TRUE(waitFor([this] { return !Charts.isEmpty(); }));
    EXPECT_EQ(Logic->LogChart(Charts[0]).Series[0].Points.size(), 1);
    EXPECT_TRUE(Questions.isEmpty());
    EXPECT_TRUE(Exports.isEmpty());
}

TEST(sampledata_VerlaufWindow, wheelAndRectangleZoom_doubleClickShowsAllAgain)
{
    TSampleTestEnv env;
    QTemporaryDir dir;
    {
        QFile hist(dir.filePath(QStringLiteral("9_hist.csv")));
        ASSERT_TRUE(hist.open(QIODevice::WriteOnly));
        hist.write(RecordLine(DefaultRecordFields(9)).toLatin1() + "\r\n");
        QFile log(dir.filePath(QStringLiteral("9_log.csv")));
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        for (int s = 0; s < 60; ++s)
            log.write(LogLine(s, 9000 + 10 * s).toLatin1() + "\r\n");
    }
    TfProbedaten window(env.Context);
    window.SetFolderBox([&](QWidget*, const QString&, const QString&) { return dir.path(); });
    window.show();
    window.btnLadeDateien->click();
    ASSERT_EQ(window.lvData->topLevelItemCount(), 1);
    window.lvData->setCurrentItem(window.lvData->topLevelItem(0));
    ASSERT_TRUE(window.btnProbeVerlauf->isEnabled());
    window.btnProbeVerlauf->click();
    ASSERT_TRUE(waitFor([&] { return window.ChartWindow() && window.ChartWindow()->isVisible(); }));
    TSarvikChart* chart = window.ChartWindow()->chtVerlauf;
    EXPECT_EQ(chart->Data().Series[0].Points.size(), 60);
    EXPECT_EQ(window.ChartWindow()->windowTitle(), QStringLiteral("Probenahmeverlauf - Probe-Nr. 9"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.ChartWindow()));
    auto* x = qobject_cast<QDateTimeAxis*>(chart->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(x, nullptr);
    const qint64 fullSpan = x->min().msecsTo(x->max());
    EXPECT_EQ(fullSpan, 59 * 60 * 1000);

    const QPoint centre = chart->chart()->plotArea().center().toPoint();
    QWheelEvent wheel(centre, chart->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(chart->viewport(), &wheel);
    const qint64 wheeled = x->min().msecsTo(x->max());
    EXPECT_LT(wheeled, fullSpan * 9 / 10);

    QTest::mouseDClick(chart->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(x->min().msecsTo(x->max()), fullSpan);

    // A rectangle drawn over the middle third.
    const QRectF area = chart->chart()->plotArea();
    const QPoint from(static_cast<int>(area.left() + area.width() / 3), static_cast<int>(area.top() + 5));
    const QPoint to(static_cast<int>(area.left() + 2 * area.width() / 3), static_cast<int>(area.bottom() - 5));
    QTest::mousePress(chart->viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(chart->viewport(), to);
    QTest::mouseRelease(chart->viewport(), Qt::LeftButton, Qt::NoModifier, to);
    const qint64 boxed = x->min().msecsTo(x->max());
    EXPECT_LT(boxed, fullSpan / 2);
    EXPECT_GT(boxed, fullSpan / 5);
    QTest::mouseDClick(chart->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(x->min().msecsTo(x->max()), fullSpan);
}

}  // namespace
