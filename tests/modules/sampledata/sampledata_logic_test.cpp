// The sample data logic against a scripted order channel: orders are collected, answers fed to
// RXData, boxes and the export replaced by recorders.

#include "probedatenlogic.h"
#include "sampledatatestutil.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

class sampledata_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        Logic = std::make_unique<TProbedatenLogic>(Env.Context);
        QObject::connect(Logic.get(), &TProbedatenLogic::Status, [this](const QString& text, bool alarm) {
            StatusText = text;
            StatusAlarm = alarm;
            StatusHistory << text;
        });
        Logic->SetQuestion([this](const QString& q) {
            Questions << q;
            return AnswerYes;
        });
        Logic->SetMessageBox([this](const QString& t) { Boxes << t; });
        Logic->SetLogExport([this](int index) { Exports.push_back(index); });
        Logic->SetFolderDialog([this](const QString&, const QString&) { return Folder; });
        Logic->FormShow();
    }

    void answer(const QString& data, int tag = 0) { Logic->RXData(kOrderDone, tag, data); }

    // Clicks "Von Sarvik2 laden", answers GDP with newest and every GDR with a record of the
    // requested number until no new GDR is sent; returns the numbers requested in order.
    QList<int> download(int newest)
    {
        Logic->btnLadeSarvikClick();
        EXPECT_EQ(Rec.last(), QStringLiteral("GDP"));
        answer(QStringLiteral("TDP;%1;").arg(newest));
        QList<int> requested;
        while (Rec.last().startsWith(QLatin1String("GDR;"))) {
            const int n = Rec.last().mid(4).toInt();
            requested << n;
            const size_t before = Rec.Orders.size();
            answer(TdrAnswer(n));
            if (Rec.Orders.size() == before)
                break;
        }
        return requested;
    }

    TSampleTestEnv Env;
    TOrderRecorder Rec;
    std::unique_ptr<TProbedatenLogic> Logic;
    QString StatusText;
    bool StatusAlarm = false;
    QStringList StatusHistory;
    QStringList Questions;
    QStringList Boxes;
    std::vector<int> Exports;
    bool AnswerYes = true;
    QString Folder;
};

// ---- records ----

TEST_F(sampledata_Logic, recordFields_scaledAsTheDeviceSendsThem)
{
    Logic->StartRecordDownload(0);
    answer(TdrAnswer(7, {{9, "1"}, {29, "75"}, {30, "300"}, {33, "290"}, {24, "2"}, {28, "18"}, {26, "02.03.2026"},
                         {27, "23:59:59"}, {34, "1160"}}));
    ASSERT_EQ(Logic->Records().size(), 1u);
    const T_SAMPLEDATA& r = Logic->Records()[0];
    const T_DATA_CHANNEL& c1 = r.aDC[0];
    const T_DATA_CHANNEL& c2 = r.aDC[1];
    EXPECT_EQ(r.uiNummer, 7);
    EXPECT_EQ(r.dtDate, QDate(2026, 3, 3));
    EXPECT_EQ(r.tmTime, QTime(14, 25, 10));
    EXPECT_TRUE(r.bLoggingActive);
    EXPECT_EQ(r.iClimateState, 1);
    EXPECT_FLOAT_EQ(r.sTemperature, 23.5f);
    EXPECT_FLOAT_EQ(r.sHumidity, 51.3f);
    EXPECT_FLOAT_EQ(r.sAirPressure, 1013.2f);
    EXPECT_FLOAT_EQ(c1.fVolume, 123.45f);
    EXPECT_FLOAT_EQ(c1.fSetVolume, 120.0f);
    EXPECT_FLOAT_EQ(c1.fSetFlow, 1.5f);
    EXPECT_EQ(c1.tSampleTime, 4938);
    EXPECT_EQ(c1.iSetFlags, 21);
    EXPECT_EQ(c1.dtStartDate, QDate(2026, 3, 3));
    EXPECT_EQ(c1.tmStartTime, QTime(13, 2, 0));
    EXPECT_EQ(c2.iStatus, 2);
    EXPECT_EQ(c2.dtStartDate, QDate(2026, 3, 2));
    EXPECT_EQ(c2.tmStartTime, QTime(23, 59, 59));
    EXPECT_FLOAT_EQ(c2.fSetFlow, 0.75f);
    EXPECT_FLOAT_EQ(c2.fSetVolume, 30.0f);
    EXPECT_FLOAT_EQ(c2.fVolume, 2.9f);
    EXPECT_EQ(c2.tSampleTime, 1160);
    EXPECT_TRUE(r.sLogFileName.isEmpty());
}

TEST_F(sampledata_Logic, unparsableFields_leaveZero_andTheRecordIsKept)
{
    Logic->StartRecordDownload(0);
    answer(TdrAnswer(3, {{10, "x"}, {5, "31.02.2026"}, {22, ""}, {7, "-1"}}));
    ASSERT_EQ(Logic->Records().size(), 1u);
    const T_SAMPLEDATA& r = Logic->Records()[0];
    EXPECT_FLOAT_EQ(r.sTemperature, 0.0f);
    EXPECT_FALSE(r.dtDate.isValid());
    EXPECT_FLOAT_EQ(r.aDC[0].fVolume, 0.0f);
    EXPECT_FALSE(r.bLoggingActive);
}

TEST_F(sampledata_Logic, requests_runNewestFirst_oneAtATime_atMostHundred)
{
    struct TCase {
        int newest;
        int first;
        int last;
        int count;
    };
    for (const TCase& c : {TCase{0, 0, 0, 1}, TCase{42, 42, 0, 43}, TCase{250, 250, 151, 100}}) {
        SCOPED_TRACE(c.newest);
        Rec.Orders.clear();
        const QList<int> requested = download(c.newest);
        ASSERT_EQ(requested.size(), c.count);
        EXPECT_EQ(requested.first(), c.first);
        EXPECT_EQ(requested.last(), c.last);
        for (int i = 1; i < requested.size(); ++i)
            ASSERT_EQ(requested[i], requested[i - 1] - 1);
        // Every answer got exactly one next request: GDP, the GDRs, then the nine option rows.
        EXPECT_EQ(Rec.Orders.size(), static_cast<size_t>(1 + c.count + 9));
        EXPECT_EQ(Logic->Records().size(), static_cast<size_t>(c.count));
        EXPECT_EQ(StatusText, QStringLiteral("Es wurden %1 Sätze eingelesen").arg(c.count).replace(
                                  QStringLiteral("Es wurden 1 Sätze eingelesen"), QStringLiteral("Es wurde ein Satz eingelesen")));
        EXPECT_FALSE(Logic->Downloading());
        EXPECT_EQ(Logic->Rows().size(), static_cast<size_t>(c.count));
        EXPECT_EQ(Logic->SelectedRow(), 0);
        EXPECT_EQ(Logic->Details().Title, QStringLiteral("Probe-Nr. %1").arg(c.first));
    }
}

TEST_F(sampledata_Logic, optionRows_sentAfterADownload_answersFillTheRowOfTheirTag)
{
    download(1);
    ASSERT_EQ(Rec.Orders.size(), 1u + 2u + 9u);
    const QStringList sent = Rec.commands().mid(3);
    EXPECT_EQ(sent, (QStringList{"GIP;0", "GIP;1", "GIP;2", "GIP;3", "GIN", "GIO", "GIO", "GCL", "GCL"}));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Rec.Orders[static_cast<size_t>(3 + i)].TXTag, i + 1);

    answer(QStringLiteral("TIP;0;Müller & Söhne;"), 1);
    answer(QStringLiteral("TIP;3;Halle <B>;"), 4);
    answer(QStringLiteral("TIN;SV2000123;"), 5);
    answer(QStringLiteral("TIO;0012:34;17;12;5310;"), 6);
    answer(QStringLiteral("TIO;0012:34;17;12;5310;"), 7);
    answer(QStringLiteral("TCL;14.11.2025;1873;"), 8);
    answer(QStringLiteral("TCL;14.11.2025;1873;"), 9);
    // Outside the list, or the wrong answer for the row: ignored.
    answer(QStringLiteral("TCL;01.01.2000;1;"), 10);
    answer(QStringLiteral("TIN;WRONG;"), 2);
    answer(QStringLiteral("TIP;1;late;"), 0);
    Logic->RXData(14, 2, QStringLiteral("TIP;1;failed;"));

    const std::vector<T_OPTIONS>& o = Logic->Options();
    const QStringList values{"Müller & Söhne", "", "", "Halle <B>", "SV2000123", "0012:34", "5310", "14.11.2025", "1873"};
    ASSERT_EQ(o.size(), 9u);
    for (size_t i = 0; i < o.size(); ++i)
        EXPECT_EQ(o[i].sVal, values[static_cast<qsizetype>(i)]) << i;
    EXPECT_EQ(o[0].sDescript, QStringLiteral("Personalisiert"));
    EXPECT_EQ(o[6].sUnit, QStringLiteral("NL"));
    EXPECT_EQ(o[7].iTyp, otDate);
    EXPECT_EQ(o[8].iRow, 13);

    // A new download starts without the old device's facts.
    Logic->btnLadeSarvikClick();
    answer(QStringLiteral("TDP;5;"));
    for (const T_OPTIONS& row : Logic->Options())
        EXPECT_TRUE(row.sVal.isEmpty());
}

TEST_F(sampledata_Logic, damagedRecord_reportedWithTheRequestedNumber_skipped)
{
    struct TCase {
        QString answer;
        QString message;
    };
    const TCase cases[] = {
        {"TDR;1;", "ALARM Prüfsummenfehler bei Satz Nr. 17"},
        {"TDR;2;", "ALARM Falsche Probennummer bei Satz Nr. 17"},
        {"TDR;4;", "ALARM Lesefehler bei Satz Nr. 17"},
        {"TDR;?;", "ALARM Lesefehler bei Satz Nr. 17"},
        {"TDR;", "ALARM Lesefehler bei Satz Nr. 17"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        Rec.SysMessages.clear();
        Logic->btnLadeSarvikClick();
        answer(QStringLiteral("TDP;18;"));
        answer(TdrAnswer(18));
        ASSERT_EQ(Rec.last(), QStringLiteral("GDR;17"));
        answer(c.answer);
        EXPECT_EQ(Rec.SysMessages, QStringList{c.message});
        EXPECT_EQ(Logic->Records().size(), 1u);
        EXPECT_EQ(Rec.last(), QStringLiteral("GDR;16"));
        EXPECT_TRUE(Logic->Downloading());
        Logic->SetOnOffLine(0);
        Env.Context.Online = true;
        Logic->SetOnOffLine(1);
    }
}

TEST_F(sampledata_Logic, noData_endsTheDownload_keepsWhatWasRead_noOptionRows)
{
    Logic->btnLadeSarvikClick();
    answer(QStringLiteral("TDP;5;"));
    answer(TdrAnswer(5));
    answer(TdrAnswer(4));
    const size_t sent = Rec.Orders.size();
    answer(QStringLiteral("TDR;3;"));
    EXPECT_EQ(Rec.Orders.size(), sent);
    EXPECT_FALSE(Logic->Downloading());
    EXPECT_EQ(Logic->Records().size(), 2u);
    EXPECT_EQ(StatusText, QStringLiteral("Keine Daten vorhanden"));
    EXPECT_FALSE(StatusAlarm);
    EXPECT_EQ(Logic->Rows().size(), 2u);
}

TEST_F(sampledata_Logic, abort_takesEffectAtTheNextAnswer)
{
    Logic->btnLadeSarvikClick();
    answer(QStringLiteral("TDP;60;"));
    answer(TdrAnswer(60));
    answer(TdrAnswer(59));
    EXPECT_TRUE(Logic->Controls().AbbruchEnabled);
    Logic->btnAbbruchClick();
    EXPECT_TRUE(Logic->Downloading());
    const size_t sent = Rec.Orders.size();
    answer(TdrAnswer(58));
    EXPECT_EQ(Rec.Orders.size(), sent);
    EXPECT_FALSE(Logic->Downloading());
    EXPECT_EQ(Logic->Records().size(), 3u);
    EXPECT_EQ(StatusText, QStringLiteral("Benutzerabbruch nach 3 Sätzen"));
    EXPECT_TRUE(StatusAlarm);
    EXPECT_FALSE(Logic->Controls().AbbruchEnabled);
    EXPECT_TRUE(Logic->Controls().LadeSarvikEnabled);
}

TEST_F(sampledata_Logic, goingOffline_endsTheDownload_onlineReportDoesNot)
{
    Logic->btnLadeSarvikClick();
    answer(QStringLiteral("TDP;60;"));
    answer(TdrAnswer(60));
    Logic->SetOnOffLine(1);
    EXPECT_TRUE(Logic->Downloading());
    answer(TdrAnswer(59));
    EXPECT_EQ(Rec.last(), QStringLiteral("GDR;58"));
    Env.Context.Online = false;
    Logic->SetOnOffLine(0);
    EXPECT_FALSE(Logic->Downloading());
    EXPECT_EQ(StatusText, QStringLiteral("Sarvik2V2 ist offline nach 2 Sätzen"));
    EXPECT_FALSE(Logic->Controls().LadeSarvikEnabled);
    EXPECT_FALSE(Logic->Controls().DeleteEnabled);
    // The answer of the last request arrives late: the table stays as it is.
    answer(TdrAnswer(58));
    EXPECT_EQ(Logic->Records().size(), 2u);
}

TEST_F(sampledata_Logic, newestNotANumber_startsNothing)
{
    for (const QString& tdp : {QStringLiteral("TDP;-1;"), QStringLiteral("TDP;?;"), QStringLiteral("TDP;")}) {
        SCOPED_TRACE(tdp.toStdString());
        Rec.Orders.clear();
        Logic->btnLadeSarvikClick();
        answer(tdp);
        EXPECT_EQ(Rec.commands(), QStringList{"GDP"});
        EXPECT_FALSE(Logic->Downloading());
        EXPECT_EQ(StatusText, QStringLiteral("Keine Daten vorhanden"));
        EXPECT_TRUE(Logic->Controls().LadeSarvikEnabled);
    }
}

TEST_F(sampledata_Logic, secondClickOrSecondNewest_doesNotStartAnotherDownload)
{
    Logic->btnLadeSarvikClick();
    EXPECT_FALSE(Logic->Controls().LadeSarvikEnabled);
    EXPECT_FALSE(Logic->Controls().LadeDateienEnabled);
    Logic->btnLadeSarvikClick();
    EXPECT_EQ(Rec.commands(), QStringList{"GDP"});
    answer(QStringLiteral("TDP;10;"));
    answer(TdrAnswer(10));
    answer(QStringLiteral("TDP;10;"));
    EXPECT_EQ(Rec.commands(), (QStringList{"GDP", "GDR;10", "GDR;9"}));
    EXPECT_EQ(Logic->Records().size(), 1u);
    // A TDP nobody asked for starts nothing either.
    Logic->SetOnOffLine(0);
    Rec.Orders.clear();
    answer(QStringLiteral("TDP;3;"));
    EXPECT_TRUE(Rec.Orders.empty());
}

TEST_F(sampledata_Logic, whileDownloading_filesLogAndTicking_areLocked_strayAnswersIgnored)
{
    // A record answer without a download changes nothing.
    answer(TdrAnswer(4));
    answer(QStringLiteral("TDN;4;1;") + LogLine(1));
    EXPECT_TRUE(Logic->Records().empty());

    download(1);
    ASSERT_EQ(Logic->Records().size(), 2u);
    Env.Context.Online = true;
    Logic->SelectRow(0);
    EXPECT_TRUE(Logic->Controls().LogActionEnabled);
    EXPECT_TRUE(Logic->Controls().SelectEntriesEnabled);

    Logic->btnLadeSarvikClick();
    answer(QStringLiteral("TDP;30;"));
    const TProbeControls c = Logic->Controls();
    EXPECT_FALSE(c.LadeDateienEnabled);
    EXPECT_FALSE(c.LogActionEnabled);
    EXPECT_FALSE(c.SelectEntriesEnabled);
    EXPECT_FALSE(c.DeleteVisible);
    EXPECT_FALSE(c.ExcelVisible);
    EXPECT_TRUE(c.ProgressVisible);
    EXPECT_EQ(c.ProgressMax, 31);
    Folder = QDir::tempPath();
    Logic->btnLadeDateienClick();
    Logic->btnProbeExcelClick();
    EXPECT_TRUE(Logic->Downloading());
    EXPECT_EQ(Rec.last(), QStringLiteral("GDR;30"));
}

TEST_F(sampledata_Logic, refusedStarts)
{
    struct TCase {
        QString serial;
        int state;
        bool online;
        QString alarm;
    };
    const TCase cases[] = {
        {"SV", 4, true, "Laden nicht möglich weil Serien-Nr. nicht bekannt ist"},
        {"", 4, true, "Laden nicht möglich weil Serien-Nr. nicht bekannt ist"},
        {"SV2000123", 8, true, "Laden während der Probenahme nicht möglich"},
        {"SV2000123", 4, false, "Funktion nur online möglich"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.alarm.toStdString());
        Env.Context.Device.SerialNo = c.serial;
        Env.Context.Device.DeviceState = c.state;
        Env.Context.Online = c.online;
        Logic->btnLadeSarvikClick();
        EXPECT_TRUE(Rec.Orders.empty());
        EXPECT_EQ(StatusText, c.alarm);
        EXPECT_TRUE(StatusAlarm);
    }
}

TEST_F(sampledata_Logic, countedMessage_singularAndPlural_inBothLanguages)
{
    struct TCase {
        int language;
        int newest;
        QString text;
    };
    const TCase cases[] = {
        {kLangGerman, 0, "Es wurde ein Satz eingelesen"},
        {kLangGerman, 1, "Es wurden 2 Sätze eingelesen"},
        {kLangEnglish, 0, "One record read"},
        {kLangEnglish, 1, "2 records read"},
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(SetProgramLanguage(c.language));
        download(c.newest);
        EXPECT_EQ(StatusText, c.text);
    }
    SetProgramLanguage(kLangGerman);
}

// ---- delete ----

TEST_F(sampledata_Logic, delete_asksFirst_andKeepsTheTableWhenTheDeviceRefuses)
{
    download(2);
    AnswerYes = false;
    Rec.Orders.clear();
    Logic->btnDeleteClick();
    ASSERT_EQ(Questions.size(), 1);
    EXPECT_EQ(Questions[0], QStringLiteral("Es werden ALLE Probenahmedaten in Sarvik2V2 gelöscht.\r\n\r\nFortfahren?"));
    EXPECT_TRUE(Rec.Orders.empty());
    EXPECT_EQ(StatusText, QStringLiteral("Daten werden nicht gelöscht"));

    AnswerYes = true;
    Logic->btnDeleteClick();
    EXPECT_EQ(Rec.commands(), QStringList{"SDI;128"});
    EXPECT_EQ(Rec.lastTag(), kProbeTagDelete);
    EXPECT_EQ(StatusText, QStringLiteral("Löschen der Daten in Sarvik2V2 wurde initialisiert"));

    answer(QStringLiteral("TDI;0;"), kProbeTagDelete);
    EXPECT_EQ(Logic->Records().size(), 3u);
    EXPECT_EQ(Logic->Rows().size(), 3u);
    EXPECT_EQ(StatusText, QStringLiteral("Daten konnten nicht gelöscht werden"));
    // The box opens from the event loop, not inside RXData.
    EXPECT_TRUE(Boxes.isEmpty());
    ASSERT_TRUE(waitFor([this] { return !Boxes.isEmpty(); }));
    EXPECT_EQ(Boxes[0], QStringLiteral("Die Daten konnten nicht gelöscht werden!\r\nBenutzen Sie die Löschfunktion in den "
                                       "Einstellungen\r\nan Sarvik2V2"));

    answer(QStringLiteral("TDI;1;"), kProbeTagDelete);
    EXPECT_TRUE(Logic->Records().empty());
    EXPECT_TRUE(Logic->Rows().empty());
    EXPECT_EQ(StatusText, QStringLiteral("Daten in Sarvik2V2 sind gelöscht"));
    EXPECT_EQ(Rec.SysMessages.last(), QStringLiteral("Daten in Sarvik2V2 sind gelöscht"));
    EXPECT_EQ(Logic->Details(), TProbedatenLogic::ClearedDetails());
}

// ---- process logs ----

TEST_F(sampledata_Logic, logDownload_untilStatusZero_thenExportedFromTheEventLoop)
{
    download(3);
    Logic->SelectRow(1);
    ASSERT_EQ(Logic->CurrentRecord(), 1);
    Rec.Orders.clear();
    Logic->btnProbeExcelClick();
    EXPECT_EQ(Rec.commands(), QStringList{"GDN;2"});
    EXPECT_TRUE(Logic->Controls().ProgressMarquee);
    EXPECT_FALSE(Logic->Controls().ListEnabled);
    EXPECT_FALSE(Logic->Controls().LadeSarvikEnabled);
    answer(QStringLiteral("TDN;2;1;") + LogLine(1, 9500));
    answer(QStringLiteral("TDN;2;1;") + LogLine(2, 9600));
    EXPECT_EQ(Rec.commands(), (QStringList{"GDN;2", "GDN;2", "GDN;2"}));
    answer(QStringLiteral("TDN;2;0;"));
    EXPECT_FALSE(Logic->LogDownloading());
    EXPECT_TRUE(Logic->Controls().ListEnabled);
    const std::vector<T_SAMPLELOG>& log = Logic->Records()[1].aSL;
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FLOAT_EQ(log[0].sFlow[0], 0.95f);
    EXPECT_FLOAT_EQ(log[1].sFlow[0], 0.96f);
    EXPECT_FLOAT_EQ(log[0].sTemperature, 23.5f);
    EXPECT_EQ(log[0].tmTime, QTime(13, 1, 0));
    EXPECT_EQ(StatusText, QStringLiteral("Es wurden 2 Sätze eingelesen"));
    EXPECT_TRUE(Exports.empty());
    ASSERT_TRUE(waitFor([this] { return !Exports.empty(); }));
    EXPECT_EQ(Exports, std::vector<int>{1});
}

TEST_F(sampledata_Logic, logWhoseFirstAnswerEndsIt_hasNoEntries_andIsNotExported)
{
    download(0);
    Logic->btnProbeExcelClick();
    answer(QStringLiteral("TDN;0;0;"));
    EXPECT_EQ(StatusText, QStringLiteral("Keine Daten vorhanden"));
    EXPECT_TRUE(StatusAlarm);
    spinFor(50);
    EXPECT_TRUE(Exports.empty());
    EXPECT_TRUE(Questions.isEmpty());
}

TEST_F(sampledata_Logic, partialLog_asksBeforeExporting)
{
    struct TCase {
        bool abort;  // else offline
        bool yes;
        QString status;
    };
    const TCase cases[] = {{true, true, "Benutzerabbruch nach 1 Sätzen"},
                           {true, false, "Benutzerabbruch nach 1 Sätzen"},
                           {false, true, "Sarvik2V2 ist offline nach 1 Sätzen"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.status.toStdString());
        Env.Context.Online = true;
        Logic->SetOnOffLine(1);
        download(0);
        Exports.clear();
        Questions.clear();
        AnswerYes = c.yes;
        Logic->btnProbeExcelClick();
        ASSERT_TRUE(Logic->LogDownloading());
        answer(QStringLiteral("TDN;0;1;") + LogLine(1));
        if (c.abort) {
            Logic->btnAbbruchClick();
            answer(QStringLiteral("TDN;0;1;") + LogLine(2));
            // Abbruch comes after the entry of that answer is stored.
            EXPECT_EQ(StatusText, QStringLiteral("Benutzerabbruch nach 2 Sätzen"));
        } else {
            Env.Context.Online = false;
            Logic->SetOnOffLine(0);
            EXPECT_EQ(StatusText, c.status);
        }
        EXPECT_FALSE(Logic->LogDownloading());
        EXPECT_TRUE(Questions.isEmpty());
        ASSERT_TRUE(waitFor([this] { return !Questions.isEmpty(); }));
        EXPECT_EQ(Questions[0], QStringLiteral("Es wurden nicht alle Log-Daten geladen\r\nÜbertragene Daten nach EXCEL?"));
        spinFor(20);
        EXPECT_EQ(Exports.size(), c.yes ? 1u : 0u);
    }
}

TEST_F(sampledata_Logic, logAction_refusals)
{
    download(0);
    Logic->SelectRow(0);
    struct TCase {
        bool online;
        int state;
        QString alarm;
    };
    // The action stays enabled offline only for records with a file; the refusals are checked
    // in order all the same.
    const TCase cases[] = {{false, 4, "Laden der Daten ist nur online möglich"},
                           {true, 8, "Laden während der Probenahme nicht möglich"}};
    for (const TCase& c : cases) {
        Env.Context.Online = c.online;
        Env.Context.Device.DeviceState = c.state;
        Rec.Orders.clear();
        Logic->btnProbeExcelClick();
        EXPECT_TRUE(Rec.Orders.empty());
        EXPECT_EQ(StatusText, c.alarm);
    }
    Env.Context.Online = true;
    Env.Context.Device.DeviceState = 4;
    Logic->SelectRow(-1);
    Logic->btnProbeExcelClick();
    EXPECT_EQ(StatusText, QStringLiteral("Keine Log-Daten vorhanden"));
}

// ---- card files ----

class sampledata_Files : public sampledata_Logic {
protected:
    void write(const QString& relative, const QByteArray& bytes)
    {
        const QString path = Dir.path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray record(int number, bool header = true)
    {
        QByteArray b;
        if (header)
            b += "record status;number;date\r\n";
        return b + RecordLine(DefaultRecordFields(number)).toLatin1() + "\r\n";
    }
    QTemporaryDir Dir;
};

TEST_F(sampledata_Files, subfolderFallback_sortedByPathDescending_logsFoundInAnyCase)
{
    write("sampling_data/9_HIST.CSV", record(9));
    write("sampling_data/10_hist.csv", "\xEF\xBB\xBF" + record(10, false));
    write("sampling_data/100_HIST.CSV", "\r\n" + record(100));
    write("sampling_data/9_LOG.CSV", "date;time;flow\r\n" + LogLine(1).toLatin1() + "\r\n\r\n" + LogLine(2).toLatin1()
                                         + "\r\n" + LogLine(3, 12000).toLatin1() + "\r\n");
    write("sampling_data/100_log.csv", LogLine(1).toLatin1() + "\n");
    write("notes.txt", "not a record");
    Folder = Dir.path();
    Env.Context.Online = false;
    Logic->btnLadeDateienClick();

    ASSERT_EQ(Logic->Records().size(), 3u);
    EXPECT_EQ(Logic->Records()[0].uiNummer, 9);
    EXPECT_EQ(Logic->Records()[1].uiNummer, 10);
    EXPECT_EQ(Logic->Records()[2].uiNummer, 100);
    EXPECT_EQ(StatusText, QStringLiteral("Es wurden 3 Sätze eingelesen"));
    EXPECT_EQ(Logic->Rows()[0].Cells[lcNr], QStringLiteral("    9"));
    // 10 has no log file: logging off, no log action even with the device offline.
    EXPECT_FALSE(Logic->Records()[1].bLoggingActive);
    Logic->SelectRow(1);
    EXPECT_FALSE(Logic->Controls().LogActionEnabled);
    EXPECT_EQ(Logic->Details().Logging, QStringLiteral("Aus"));

    Logic->SelectRow(0);
    ASSERT_TRUE(Logic->Controls().LogActionEnabled);
    Logic->btnProbeExcelClick();
    const std::vector<T_SAMPLELOG>& log = Logic->Records()[0].aSL;
    ASSERT_EQ(log.size(), 3u);
    for (const T_SAMPLELOG& e : log)
        EXPECT_EQ(e.iStatus, 1);
    EXPECT_FLOAT_EQ(log[2].sFlow[0], 1.2f);
    EXPECT_EQ(StatusText, QStringLiteral("Es wurden 3 Sätze eingelesen"));
    EXPECT_TRUE(Rec.Orders.empty());
    ASSERT_TRUE(waitFor([this] { return Exports.size() == 1; }));
    EXPECT_EQ(Exports[0], 0);
}

TEST_F(sampledata_Files, emptyFolder_noData_andAMissingLogFileIsReported)
{
    Folder = Dir.path();
    Logic->btnLadeDateienClick();
    EXPECT_TRUE(Logic->Records().empty());
    EXPECT_EQ(StatusText, QStringLiteral("Keine Daten vorhanden"));

    write("3_HIST.CSV", record(3));
    write("3_LOG.CSV", LogLine(1).toLatin1());
    EXPECT_EQ(Logic->LoadRecordsFromFolder(Dir.path()), 1);
    Logic->FinishRecordDownload(frDone);
    Logic->SelectRow(0);
    ASSERT_TRUE(Logic->Controls().LogActionEnabled);
    QFile::remove(Dir.path() + QStringLiteral("/3_LOG.CSV"));
    Logic->btnProbeExcelClick();
    EXPECT_EQ(StatusText, QStringLiteral("Die entsprechende Logdaten-Datei konnte nicht gefunden werden"));
    EXPECT_TRUE(StatusAlarm);
}

TEST_F(sampledata_Files, recordsWithTheSameNumber_eachRowKeepsItsOwnRecord)
{
    // Two devices' files side by side: the numbers repeat.
    write("c/5_HIST.CSV", record(5));
    write("c/05_HIST.CSV", record(5));
    write("c/5_LOG.CSV", LogLine(1).toLatin1() + "\r\n");
    write("c/05_LOG.CSV", LogLine(1).toLatin1() + "\r\n" + LogLine(2).toLatin1() + "\r\n");
    EXPECT_EQ(Logic->LoadRecordsFromFolder(Dir.path() + "/c"), 2);
    Logic->FinishRecordDownload(frDone);
    ASSERT_EQ(Logic->Rows().size(), 2u);
    Logic->SelectRow(1);
    EXPECT_EQ(Logic->CurrentRecord(), 1);
    Logic->btnProbeExcelClick();
    EXPECT_TRUE(Logic->Records()[0].aSL.empty());
    EXPECT_EQ(Logic->Records()[1].aSL.size(), 2u);
}

TEST_F(sampledata_Files, loadingFiles_clearsTheDeviceFacts)
{
    download(0);
    answer(QStringLiteral("TIN;SV2000123;"), 5);
    ASSERT_EQ(Logic->Options()[4].sVal, QStringLiteral("SV2000123"));
    write("1_HIST.CSV", record(1));
    Folder = Dir.path();
    Logic->btnLadeDateienClick();
    EXPECT_TRUE(Logic->Options()[4].sVal.isEmpty());
    EXPECT_EQ(Logic->Records().size(), 1u);
}

// ---- display ----

TEST_F(sampledata_Logic, listRowAndDetails_formats)
{
    // Channel 1 stopped by the operator in interval mode (L), channel 2 failed with the flow sensor.
    const std::map<int, QString> changes{{13, "2"}, {17, "26"}, {20, "90"}, {22, "4050"}, {23, "2700"},
                                         {24, "3"}, {25, "1"}, {26, "03.03.2026"}, {27, "13:02:00"},
                                         {28, "17"}, {29, "200"}, {30, "600"}, {33, "15"}, {34, "30"},
                                         {8, "2"}, {12, "95"}};
    Logic->StartRecordDownload(0);
    answer(TdrAnswer(42, changes));
    ASSERT_EQ(Logic->Rows().size(), 1u);
    const TListRow& row = Logic->Rows()[0];
    const QStringList expected{"   42", "Bedienerabbruch", "03.03.26", "13:02:00", "40,50 L", "45:00 m:s", "120,0 L",
                               "1,50 L/min", "Strömungssensor gestört", "03.03.26", "13:02:00", "0,15 SL", "00:30 m:s",
                               "60,0 SL", "2,00 SL/min", "23,5 °C", "51,3 % r.H.", "?", "Ein"};
    for (int col = 0; col < lcCount; ++col)
        EXPECT_EQ(row.Cells[static_cast<size_t>(col)], expected[col]) << col;
    EXPECT_EQ(row.Colours[lcChannel1], kStatusStopped);
    EXPECT_EQ(row.Colours[lcChannel2], kStatusError);
    EXPECT_NE(row.Colours[lcChannel1 + 1], row.Colours[lcChannel2 + 1]);

    const TDetailsView& d = Logic->Details();
    EXPECT_EQ(d.Title, QStringLiteral("Probe-Nr. 42"));
    EXPECT_EQ(d.Channel[0].MeanFlow, QStringLiteral("0,900 L/min"));
    EXPECT_EQ(d.Channel[0].SetVolume, QStringLiteral("120,00 L"));
    EXPECT_EQ(d.Channel[0].SetDuration, QStringLiteral("01:30 h:m"));
    EXPECT_EQ(d.Channel[1].SetDuration, QStringLiteral("kein Intervallbetrieb"));
    EXPECT_EQ(d.Channel[1].FlowMonitor, QStringLiteral("inaktiv"));
    EXPECT_EQ(d.Channel[1].FlowMonitorColour, kSilver);
    EXPECT_EQ(d.Pressure, QStringLiteral("?"));
}

// The set time comes from the device in minutes; a damaged record's huge value is shown, not wrapped.
TEST_F(sampledata_Logic, hugeIntervalSetTime_isShownInHours)
{
    Logic->StartRecordDownload(0);
    answer(TdrAnswer(42, {{13, "2"}, {17, "26"}, {20, "51310132"}}));
    ASSERT_EQ(Logic->Rows().size(), 1u);
    EXPECT_EQ(Logic->Details().Channel[0].SetDuration, QStringLiteral("855168:52 h:m"));
}

TEST(sampledata_Texts, statusTextAndColour_flowMonitor)
{
    SetProgramLanguage(kLangGerman);
    struct TCase {
        int status, error, alarm, flags, flowFlag;
        const char* text;
        QColor colour;
        const char* monitor;
        QColor monitorColour;
    };
    const TCase cases[] = {
        {1, 0, 0, 16, 0, "Erfolgreich", kStatusSuccess, "inaktiv", kSilver},
        {1, 0, 0, 20, 1, "Erfolgreich", kStatusSuccess, "innerhalb Toleranz", kStatusSuccess},
        {1, 0, 0, 20, 2, "Erfolgreich", kStatusFlowWarn, "Kleiner Min!", kFlowMonitorBad},
        {2, 0, 0, 20, 4, "Bedienerabbruch", kStatusFlowWarn, "Größer Max!", kFlowMonitorBad},
        {2, 0, 0, 20, 6, "Bedienerabbruch", kStatusFlowWarn, "Min & Max", kFlowMonitorBad},
        {2, 0, 0, 20, 0, "Bedienerabbruch", kStatusFlowWarn, "", kFlowMonitorBad},
        {2, 0, 0, 16, 0, "Bedienerabbruch", kStatusStopped, "inaktiv", kSilver},
        {4, 0, 0, 0, 0, "Inaktiv", kSilver, "inaktiv", kSilver},
        {3, 1, 2, 20, 1, "Strömungssensor gestört", kStatusError, "inaktiv", kStatusSuccess},
        {3, 5, 2, 16, 0, "Strömungssensor gestört", kStatusError, "inaktiv", kSilver},
        {3, 4, 2, 16, 0, "Temperatursensor gestört", kStatusError, "inaktiv", kSilver},
        {3, 0, 0, 16, 0, "Unbekannter Fehler", kStatusError, "inaktiv", kSilver},
        {3, 0, 1, 16, 0, "Akku entladen", kStatusError, "inaktiv", kSilver},
        {3, 0, 2, 16, 0, "Luftstrom blockiert", kStatusError, "inaktiv", kSilver},
        {3, 0, 3, 16, 0, "Motorstörung", kStatusError, "inaktiv", kSilver},
        {3, 0, 4, 16, 0, "Diff.drucksensor gestört", kStatusError, "inaktiv", kSilver},
        {3, 0, 5, 16, 0, "Abs.drucksensor gestört", kStatusError, "inaktiv", kSilver},
        {3, 0, 6, 16, 0, "Temperatursensor gestört", kStatusError, "inaktiv", kSilver},
        {3, 0, 7, 16, 0, "Unbekannt", kStatusError, "inaktiv", kSilver},
        {3, 0, -1, 16, 0, "Unbekannt", kStatusError, "inaktiv", kSilver},
        {0, 0, 0, 16, 0, "Unbekannt", kSilver, "inaktiv", kSilver},
        {5, 0, 0, 16, 0, "Unbekannt", kSilver, "inaktiv", kSilver},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << "/" << c.error << "/" << c.alarm << "/" << c.flags << "/" << c.flowFlag);
        T_DATA_CHANNEL ch;
        ch.iStatus = c.status;
        ch.iError = c.error;
        ch.iSetFlags = c.flags;
        ch.iFlowFlag = c.flowFlag;
        EXPECT_EQ(SampleStatusText(c.status, c.error, c.alarm), QString::fromUtf8(c.text));
        EXPECT_EQ(SampleStatusColor(ch), c.colour);
        EXPECT_EQ(FlowMonitorText(ch), QString::fromUtf8(c.monitor));
        EXPECT_EQ(FlowMonitorColor(ch), c.monitorColour);
    }
}

TEST_F(sampledata_Logic, climateColumns_byState)
{
    struct TCase {
        const char* state;
        const char* pressure;
        const char* temperature;
        const char* humidity;
        const char* pressureText;
    };
    const TCase cases[] = {{"0", "10132", "23,5 °C", "51,3 % r.H.", "1013,2 mbar"},
                           {"1", "101", "23,5 °C", "?", "10,1 mbar"},
                           {"2", "100", "?", "?", "?"},
                           {"-1", "0", "?", "?", "?"}};
    for (const TCase& c : cases) {
        Logic->StartRecordDownload(0);
        answer(TdrAnswer(1, {{9, c.state}, {12, c.pressure}, {7, "0"}}));
        ASSERT_EQ(Logic->Rows().size(), 1u);
        const TListRow& row = Logic->Rows()[0];
        EXPECT_EQ(row.Cells[lcTemperature], QString::fromUtf8(c.temperature));
        EXPECT_EQ(row.Cells[lcHumidity], QString::fromUtf8(c.humidity));
        EXPECT_EQ(row.Cells[lcPressure], QString::fromUtf8(c.pressureText));
        EXPECT_EQ(row.Cells[lcLogging], QStringLiteral("Aus"));
        EXPECT_EQ(Logic->Details().Temperature, row.Cells[lcTemperature]);
        EXPECT_EQ(Logic->Details().Pressure, row.Cells[lcPressure]);
    }
}

TEST_F(sampledata_Logic, ticking_allAndNone_keptPerRecord)
{
    EXPECT_FALSE(Logic->Controls().SelectEntriesEnabled);
    download(2);
    Logic->SetRowChecked(1, true);
    EXPECT_TRUE(Logic->Rows()[1].Checked);
    Logic->SelectAll();
    for (const TListRow& r : Logic->Rows())
        EXPECT_TRUE(r.Checked);
    Logic->ClearChecks();
    for (const TListRow& r : Logic->Rows())
        EXPECT_FALSE(r.Checked);
    Logic->SelectRow(-1);
    EXPECT_EQ(Logic->Details(), TProbedatenLogic::ClearedDetails());
    EXPECT_EQ(Logic->Details().Title, QStringLiteral("Probenahmedetails"));
    EXPECT_FALSE(Logic->Controls().LogActionEnabled);
}

}  // namespace
