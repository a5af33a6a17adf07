// The sample data window in the program's main window against the virtual device in-process:
// record download, a download while the window is minimised, a run's log, the card's files.

#include "controlcommands.h"
#include "mainwindow.h"
#include "recordstore.h"
#include "sarvikchart.h"
#include "settingsform.h"
#include "tfprobedaten.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kOnlineTimeoutMs = 15000;
constexpr int kDownloadTimeoutMs = 30000;
constexpr int kStallMs = 5000;

class sampledata_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        const QString root = Dir.filePath(QStringLiteral("root"));
        TVirtualSarvikOptions options;
        options.root = root;
        options.seed = 7;
        Device = std::make_unique<TVirtualSarvik>(options);
        QString error;
        ASSERT_TRUE(Device->start(&error)) << error.toStdString();
        const QString ini = Dir.filePath(QStringLiteral("SarvikControl.ini"));
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        Settings = std::make_unique<TFSettingsForm>();
        Form = std::make_unique<TForm1>(*Settings, QStringList{QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root},
                                        Dir.path() + QLatin1Char('/'));
        Form->Dialogs().warn = [](QWidget*, const QString& t) { ADD_FAILURE() << "warning: " << t.toStdString(); };
        Form->Dialogs().error = [](QWidget*, const QString& t) { ADD_FAILURE() << "error: " << t.toStdString(); };
        Form->SetModuleFactory(ciProbedaten, [](TAppContext& c) { return new TfProbedaten(c); });
        Form->show();
        ASSERT_TRUE(waitFor([this] { return Form->Context().Online && Form->Context().Device.SerialNo == u"SV2000123"; },
                            kOnlineTimeoutMs));
        Window = qobject_cast<TfProbedaten*>(Form->OpenModule(ciProbedaten));
        ASSERT_NE(Window, nullptr);
        Window->Logic().SetLogExport([this](int index) { Exported << index; });
        ASSERT_TRUE(waitFor([this] { return Window->btnLadeSarvik->isEnabled(); }));
    }

    void TearDown() override
    {
        if (Form)
            Form->CloseWithoutQuestion();
        Form.reset();
        Settings.reset();
        if (Device)
            Device->stop();
    }

    bool finished() const { return !Window->Logic().Busy(); }

    QString cell(int row, int column) const
    {
        QTreeWidgetItem* item = Window->lvData->topLevelItem(row);
        return item ? item->text(column) : QString();
    }

    int rowOfNumber(int number) const
    {
        for (int i = 0; i < Window->lvData->topLevelItemCount(); ++i) {
            if (cell(i, lcNr).trimmed().toInt() == number)
                return i;
        }
        return -1;
    }

    TSimRecord simRecord(int number)
    {
        TSimRecord r;
        Device->withModel([&](TDeviceModel& m) { r = SimRecords(m).records.at(static_cast<size_t>(number)); });
        return r;
    }

    QTemporaryDir Dir;
    std::unique_ptr<TVirtualSarvik> Device;
    std::unique_ptr<TFSettingsForm> Settings;
    std::unique_ptr<TForm1> Form;
    TfProbedaten* Window = nullptr;
    QList<int> Exported;
};

TEST_F(sampledata_Device, downloadsTheNewestHundred_withTheDeviceFacts)
{
    Window->btnLadeSarvik->click();
    EXPECT_FALSE(Window->btnLadeSarvik->isEnabled());
    ASSERT_TRUE(waitFor([this] { return finished(); }, kDownloadTimeoutMs));
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Es wurden 100 Sätze eingelesen"));
    ASSERT_EQ(Window->lvData->topLevelItemCount(), 100);
    EXPECT_EQ(cell(0, lcNr), QStringLiteral("  249"));
    EXPECT_EQ(cell(99, lcNr), QStringLiteral("  150"));
    EXPECT_EQ(Window->gbDetails->title(), QStringLiteral("Probe-Nr. 249"));
    EXPECT_TRUE(Window->btnLadeSarvik->isEnabled());
    EXPECT_TRUE(Window->btnEXCEL->isEnabled());

    // The record as the device holds it, seen through the list.
    const TSimRecord r = simRecord(200);
    const int row = rowOfNumber(200);
    ASSERT_GE(row, 0);
    EXPECT_EQ(cell(row, lcChannel1 + 3), QStringLiteral("1440,00 ") + (r.channel[0].flags & 1 ? "SL" : (r.channel[0].flags & 2 ? "L" : "NL")));

    // The option rows follow the download.
    ASSERT_TRUE(waitFor([this] { return !Window->Logic().Options()[8].sVal.isEmpty(); }));
    const std::vector<T_OPTIONS>& o = Window->Logic().Options();
    EXPECT_EQ(o[0].sVal, QStringLiteral("Müller & Söhne Umweltlabor"));
    EXPECT_EQ(o[1].sVal, QStringLiteral("Messstelle <Nord>"));
    EXPECT_EQ(o[4].sVal, QStringLiteral("SV2000123"));
    EXPECT_EQ(o[7].sVal, QStringLiteral("14.11.2025"));
    EXPECT_EQ(o[8].sVal, QStringLiteral("1873"));
}

TEST_F(sampledata_Device, minimisedWindow_stillCompletesTheDownload)
{
    Window->btnLadeSarvik->click();
    ASSERT_TRUE(waitFor([this] { return Window->Logic().Records().size() >= 3; }, kDownloadTimeoutMs));
    Window->FrameWindow()->showMinimized();
    // Waits as long as the download moves on.
    bool done = false;
    for (;;) {
        const size_t before = Window->Logic().Records().size();
        done = waitFor([&] { return finished() || Window->Logic().Records().size() != before; }, kStallMs);
        if (!done || finished())
            break;
    }
    ASSERT_TRUE(done);
    EXPECT_EQ(Window->Logic().Records().size(), 100u);
    Window->FrameWindow()->showNormal();
    EXPECT_EQ(Window->lvData->topLevelItemCount(), 100);
}

TEST_F(sampledata_Device, loadsOneRunsLog)
{
    Window->btnLadeSarvik->click();
    ASSERT_TRUE(waitFor([this] { return finished(); }, kDownloadTimeoutMs));
    int number = 248;
    while (!simRecord(number).logging || number == kSimLongLogRecord)
        --number;
    const TSimRecord r = simRecord(number);
    const int row = rowOfNumber(number);
    ASSERT_GE(row, 0);
    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(row));
    ASSERT_TRUE(Window->btnProbeExcel->isEnabled());
    Window->btnProbeExcel->click();
    EXPECT_FALSE(Window->lvData->isEnabled());
    ASSERT_TRUE(waitFor([this] { return !Exported.isEmpty(); }, kDownloadTimeoutMs));
    EXPECT_TRUE(Window->lvData->isEnabled());
    const T_SAMPLEDATA& rec = Window->Logic().Records()[static_cast<size_t>(Exported[0])];
    EXPECT_EQ(rec.uiNummer, number);
    ASSERT_EQ(rec.aSL.size(), static_cast<size_t>(r.logCount()));
    const TSimLogEntry last = r.logEntry(r.logCount() - 1);
    EXPECT_EQ(rec.aSL.back().tmTime, last.when.time());
    EXPECT_FLOAT_EQ(rec.aSL.back().sFlow[0], last.flow[0] / 10000.0f);
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Es wurden %1 Sätze eingelesen").arg(r.logCount()));
}

TEST_F(sampledata_Device, loadsTheCardFilesTheDeviceWrote)
{
    const QString card = Dir.filePath(QStringLiteral("card"));
    EXPECT_TRUE(ExecuteControlCommand(*Device, QStringLiteral("card ") + card).startsWith(QLatin1String("ok")));
    Window->SetFolderBox([card](QWidget*, const QString&, const QString&) { return card; });
    Window->btnLadeDateien->click();
    ASSERT_EQ(Window->lvData->topLevelItemCount(), 250);
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Es wurden 250 Sätze eingelesen"));

    // The oldest file has no header; the newest logged run has no log file.
    const int zero = Window->Logic().FindRecordByNumber(0);
    ASSERT_GE(zero, 0);
    EXPECT_EQ(Window->Logic().Records()[static_cast<size_t>(zero)].dtDate, simRecord(0).when.date());
    int newestLogged = 249;
    while (!simRecord(newestLogged).logging)
        --newestLogged;
    const int idx = Window->Logic().FindRecordByNumber(newestLogged);
    ASSERT_GE(idx, 0);
    EXPECT_FALSE(Window->Logic().Records()[static_cast<size_t>(idx)].bLoggingActive);

    // A run's log from its file, nothing asked of the device.
    const int row = rowOfNumber(1);
    ASSERT_GE(row, 0);
    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(row));
    ASSERT_TRUE(Window->btnProbeExcel->isEnabled());
    Window->btnProbeExcel->click();
    ASSERT_TRUE(waitFor([this] { return !Exported.isEmpty(); }));
    EXPECT_EQ(Window->Logic().Records()[static_cast<size_t>(Exported[0])].aSL.size(),
              static_cast<size_t>(simRecord(1).logCount()));
}

// The workbook as an independent reader sees it: cells of the first sheet and structure problems.
QJsonObject readWorkbook(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(SAMPLEDATA_TEST_DIR "/xlsx_tool.py"), QStringLiteral("dump"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

TEST_F(sampledata_Device, exportsSamplesAndARunsLog_toWorkbooks)
{
    QStringList saved;
    QStringList opened;
    Window->SetSaveBox([&](QWidget*, const QString&, const QString&, const QString&, const QString& suffix) {
        saved << Dir.filePath(QStringLiteral("export%1.%2").arg(saved.size()).arg(suffix));
        return saved.last();
    });
    Window->SetOpenDocument([&](const QString& path) {
        opened << path;
        return true;
    });
    Window->Logic().SetLogExport([this](int index) { Window->Logic().ExportLog(index); });
    Window->btnLadeSarvik->click();
    ASSERT_TRUE(waitFor([this] { return finished(); }, kDownloadTimeoutMs));
    ASSERT_TRUE(waitFor([this] { return !Window->Logic().Options()[8].sVal.isEmpty(); }));
    Window->lvData->topLevelItem(0)->setCheckState(lcNr, Qt::Checked);
    Window->lvData->topLevelItem(2)->setCheckState(lcNr, Qt::Checked);
    Window->btnEXCEL->click();
    EXPECT_EQ(Window->FStatusText, QStringLiteral("2 Sätze in EXCEL exportiert"));
    ASSERT_EQ(saved.size(), 1);
    const QJsonObject samples = readWorkbook(saved[0]);
    EXPECT_TRUE(samples["problems"].toArray().isEmpty());
    QJsonObject cells = samples["sheets"].toArray()[0].toObject()["cells"].toObject();
    EXPECT_EQ(cells["B5"].toArray()[1].toString(), QStringLiteral("Müller & Söhne Umweltlabor"));
    EXPECT_EQ(cells["B9"].toArray()[1].toString(), QStringLiteral("SV2000123"));
    EXPECT_EQ(cells["B12"].toArray()[1].toString(), QStringLiteral("2025-11-14T00:00:00"));
    EXPECT_DOUBLE_EQ(cells["A21"].toArray()[1].toDouble(), 249.0);
    EXPECT_DOUBLE_EQ(cells["A22"].toArray()[1].toDouble(), 247.0);

    int number = 248;
    while (!simRecord(number).logging || number == kSimLongLogRecord)
        --number;
    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(rowOfNumber(number)));
    Window->btnProbeExcel->click();
    ASSERT_TRUE(waitFor([&] { return saved.size() == 2 && !Window->Logic().Busy(); }, kDownloadTimeoutMs));
    const int entries = simRecord(number).logCount();
    EXPECT_EQ(Window->FStatusText, QStringLiteral("%1 Sätze in EXCEL exportiert").arg(entries));
    const QJsonObject log = readWorkbook(saved[1]);
    EXPECT_TRUE(log["problems"].toArray().isEmpty());
    cells = log["sheets"].toArray()[0].toObject()["cells"].toObject();
    EXPECT_DOUBLE_EQ(cells["A21"].toArray()[1].toDouble(), number);
    EXPECT_EQ(cells["A22"].toArray()[1].toString(), QStringLiteral("Satz-Nr."));
    const QString last = QStringLiteral("A%1").arg(22 + entries);
    EXPECT_DOUBLE_EQ(cells[last].toArray()[1].toDouble(), entries);
    EXPECT_FALSE(cells.contains(QStringLiteral("A%1").arg(23 + entries)));
    EXPECT_EQ(opened, saved);
}

TEST_F(sampledata_Device, verlaufAnzeigen_showsADownloadedRunsLog_andSavesItAsPngAndPdf)
{
    Window->btnLadeSarvik->click();
    ASSERT_TRUE(waitFor([this] { return finished(); }, kDownloadTimeoutMs));
    int number = 248;
    while (!simRecord(number).logging || number == kSimLongLogRecord)
        --number;
    const TSimRecord r = simRecord(number);
    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(rowOfNumber(number)));
    ASSERT_TRUE(Window->btnProbeVerlauf->isEnabled());
    Window->btnProbeVerlauf->click();
    ASSERT_TRUE(waitFor([this] { return Window->ChartWindow() && Window->ChartWindow()->isVisible(); },
                        kDownloadTimeoutMs));
    EXPECT_TRUE(Exported.isEmpty());
    TfVerlauf* chart = Window->ChartWindow();
    EXPECT_EQ(chart->RecordNumber(), number);
    const TChartData& d = chart->chtVerlauf->Data();
    ASSERT_FALSE(d.Series.empty());
    EXPECT_EQ(d.Series[0].Name, QStringLiteral("Kanal 1"));
    ASSERT_EQ(d.Series[0].Points.size(), r.logCount());
    const TSimLogEntry last = r.logEntry(r.logCount() - 1);
    EXPECT_EQ(d.Series[0].Points.last().x(), static_cast<double>(last.when.toMSecsSinceEpoch()));
    EXPECT_FLOAT_EQ(static_cast<float>(d.Series[0].Points.last().y()), last.flow[0] / 10000.0f);

    QStringList proposals;
    QString target;
    chart->SetSaveBox([&](QWidget*, const QString& proposal) {
        proposals << proposal;
        return target;
    });
    for (const char* name : {"verlauf.png", "verlauf.pdf"}) {
        target = Dir.filePath(QString::fromLatin1(name));
        chart->btnBildSpeichern->click();
        EXPECT_EQ(Window->FStatusText, QStringLiteral("Bild %1 gespeichert").arg(target));
        EXPECT_FALSE(Window->FStatusAlarm);
    }
    EXPECT_TRUE(proposals.first().endsWith(QStringLiteral("Verlauf_%1.png").arg(number)));
    const QImage image(Dir.filePath(QStringLiteral("verlauf.png")));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), chart->chtVerlauf->size());
    QFile pdf(Dir.filePath(QStringLiteral("verlauf.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    // A folder that is not there: the save fails and says so.
    target = Dir.filePath(QStringLiteral("missing/verlauf.png"));
    chart->btnBildSpeichern->click();
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Bild %1 konnte nicht gespeichert werden").arg(target));
    EXPECT_TRUE(Window->FStatusAlarm);
}

}  // namespace
