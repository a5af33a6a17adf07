// The text configuration logic against a scripted order channel: orders are collected, answers
// fed to RXData, the online state and the clock set by the test.

#include "tclogic.h"
#include "tctestutil.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QDateTime kNow(QDate(2026, 3, 7), QTime(9, 5, 3));

class textconfig_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOrderSink([this](const TOrder& o) { FSent.push_back(o); });
        Env.Context.Online = true;
        Logic = std::make_unique<TTcLogic>(Env.Context);
        Logic->SetNow([] { return kNow; });
        QObject::connect(Logic.get(), &TTcLogic::Status, [this](const QString& text, bool alarm) {
            StatusText = text;
            StatusAlarm = alarm;
        });
        TTcDialogs d;
        d.openFile = [this](const QString&, const QString& dir, const QString& filter, const QString& suffix) {
            DialogDir = dir;
            DialogFilter = filter;
            DialogSuffix = suffix;
            return DialogAnswer;
        };
        d.saveFile = [this](const QString&, const QString& dir, const QString& proposed, const QString& filter,
                            const QString& suffix) {
            DialogDir = dir;
            DialogProposed = proposed;
            DialogFilter = filter;
            DialogSuffix = suffix;
            return DialogAnswer;
        };
        d.errorBox = [this](const QString& text) { ErrorBoxes << text; };
        Logic->SetDialogs(d);
    }
    void TearDown() override
    {
        Logic.reset();
        SetOrderSink({});
    }

    QStringList takeCommands()
    {
        QStringList list;
        for (const TOrder& o : FSent)
            list << CommandOf(o);
        FSent.clear();
        return list;
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            Logic->TimerEvent();
    }
    // Ticks until an order leaves; its command and tag.
    std::pair<QString, int> nextOrder()
    {
        for (int i = 0; i < 100 && FSent.empty(); ++i)
            tick();
        if (FSent.empty())
            return {QString(), -1};
        const int tag = FSent.front().TXTag;
        const QString command = CommandOf(FSent.front());
        FSent.erase(FSent.begin());
        return {command, tag};
    }
    void answerAwaited(const QString& data, int status = kOrderDone)
    {
        Logic->RXData(status, Logic->AwaitedIndex(), data);
    }
    void loadDescription(const QStringList& lines)
    {
        Logic->SetLines(lines);
        Logic->ParseItems();
    }

    TTcTestEnv Env;
    std::unique_ptr<TTcLogic> Logic;
    std::vector<TOrder> FSent;
    QString StatusText;
    bool StatusAlarm = false;
    QString DialogAnswer;
    QString DialogDir;
    QString DialogFilter;
    QString DialogSuffix;
    QString DialogProposed;
    QStringList ErrorBoxes;
};

TEST(textconfig_Text, linesSplitAtLineFeeds)
{
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {QString(), {}},
        {QStringLiteral("SSB;5"), {QStringLiteral("SSB;5")}},
        {QStringLiteral("SSB;5\n"), {QStringLiteral("SSB;5")}},
        {QStringLiteral("a\r\nb\r\n"), {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("a\n\nb"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {QStringLiteral("\n"), {QString()}},
        {QStringLiteral("a\n\n"), {QStringLiteral("a"), QString()}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitTextLines(c.text), c.lines) << c.text.toStdString();
}

TEST(textconfig_Text, filesReadAsUtf8WithFallback_writtenInTheDeviceCodePage)
{
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "A \xC2\xA7" "DATE\xC2\xA7"), QStringLiteral("A §DATE§"));
    // Not UTF-8: Windows-1252, where 0xB0 is the degree sign and 0xA7 the section sign.
    EXPECT_EQ(DecodeTextFile("20\xB0" "C \xA7"), QStringLiteral("20°C §"));
    EXPECT_EQ(EncodeTextFile({QStringLiteral("§DATE§"), QString()}), QByteArray("\xA7" "DATE\xA7\r\n\r\n"));
    EXPECT_EQ(EncodeTextFile({}), QByteArray());
    EXPECT_EQ(WithDefaultSuffix(QStringLiteral("/t/konfig"), QStringLiteral("puc")), QStringLiteral("/t/konfig.puc"));
    EXPECT_EQ(WithDefaultSuffix(QStringLiteral("/t/konfig.txt"), QStringLiteral("puc")), QStringLiteral("/t/konfig.txt"));
}

TEST(textconfig_Text, placeholdersBecomeClockCommands)
{
    const struct {
        QString line;
        QString sent;
    } cases[] = {
        {QStringLiteral("§DATE§"), QStringLiteral("SSD;07.03.2026")},
        {QStringLiteral("§TIME§"), QStringLiteral("SST;09:05:03")},
        {QStringLiteral("SSD;x§DATE§y"), QStringLiteral("SSD;07.03.2026")},
        {QStringLiteral("§DATE§ §TIME§"), QStringLiteral("SST;09:05:03")},
        {QStringLiteral("SSB;5"), QStringLiteral("SSB;5")},
        {QStringLiteral("§date§"), QStringLiteral("§date§")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ApplyPlaceholders(c.line, kNow), c.sent) << c.line.toStdString();
}

TEST_F(textconfig_Logic, descriptionParse_keepsItemsInStepWithTheLines)
{
    loadDescription({QStringLiteral("# Helligkeit"), QString(), QStringLiteral("GSB@SSB@2"),
                     QStringLiteral(" GSV @SSV@ 2 "), QStringLiteral("GSE@SSE"), QStringLiteral("GSF"),
                     QStringLiteral("%@ §DATE§ "), QStringLiteral("GSR@SSR@zwei"), QStringLiteral("   ")});
    const QList<T_KONFDATA>& items = Logic->Items();
    ASSERT_EQ(items.size(), 9);
    const QList<T_KONFDATA> expected{
        {QStringLiteral("# Helligkeit"), QString(), 0, QString()},
        {QStringLiteral(" "), QString(), 0, QString()},
        {QStringLiteral("GSB"), QStringLiteral("SSB"), 2, QString()},
        {QStringLiteral("GSV"), QStringLiteral("SSV"), 2, QString()},
        {QStringLiteral("GSE"), QStringLiteral("SSE"), 0, QString()},
        {QStringLiteral("GSF"), QString(), 0, QString()},
        // A literal has two fields; its text is trimmed only when it is used.
        {QStringLiteral("%"), QStringLiteral(" §DATE§ "), 0, QString()},
        {QStringLiteral("GSR"), QStringLiteral("SSR"), 0, QString()},
        {QStringLiteral(" "), QString(), 0, QString()},
    };
    EXPECT_EQ(items, expected);
    // Every bad line was reported; the last report stays in the status line.
    EXPECT_EQ(StatusText, QStringLiteral("Fehler bei Token 3 in Zeile 8 Satz: GSR@SSR@zwei"));
    EXPECT_TRUE(StatusAlarm);
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("2:      GSB   SSB  2"), false));
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("3:      GSV   SSV  2"), false));
    EXPECT_FALSE(Env.HasSysLine(QStringLiteral("4:      GSE   SSE  0"), false));
}

TEST_F(textconfig_Logic, descriptionParse_reportsAMissingField)
{
    const struct {
        QString line;
        QString status;
    } cases[] = {
        {QStringLiteral("GSB@SSB"), QStringLiteral("Fehler bei Token 3 in Zeile 1 Satz: GSB@SSB")},
        {QStringLiteral("GSB@SSB@"), QStringLiteral("Fehler bei Token 3 in Zeile 1 Satz: GSB@SSB@")},
        {QStringLiteral("GSB"), QStringLiteral("Fehler bei Token 2 in Zeile 1 Satz: GSB")},
        {QStringLiteral("%"), QStringLiteral("Fehler bei Token 2 in Zeile 1 Satz: %")},
    };
    for (const auto& c : cases) {
        StatusText.clear();
        loadDescription({c.line});
        EXPECT_EQ(StatusText, c.status);
        EXPECT_EQ(Logic->Items().size(), 1);
    }
    // A line from a Windows file ends in CR before it is split off; a blank after the number too.
    StatusText.clear();
    Logic->SetText(QStringLiteral("GSB@SSB@2\r\nGSL@SSL@2 \r\n"));
    Logic->ParseItems();
    EXPECT_EQ(StatusText, QString());
    ASSERT_EQ(Logic->Items().size(), 2);
    EXPECT_EQ(Logic->Items().at(1).iFromTok, 2);
}

TEST_F(textconfig_Logic, send_skipsCommentsAndEmptyLines_nextLineOnlyAfterTheAnswer)
{
    Logic->SetLines({QStringLiteral("# Einstellungen"), QString(), QStringLiteral("SSB;5"), QStringLiteral("SSL;1")});
    Logic->btnUebertragenClick();
    ASSERT_TRUE(Logic->Running());
    // The comment and the empty line take one tick each.
    tick(2);
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_EQ(Logic->NextIndex(), 2);
    tick();
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SSB;5")});
    EXPECT_EQ(Logic->CounterText(), QStringLiteral("3 von 4"));
    EXPECT_EQ(Logic->ProgressValue(), 3);
    tick(5);
    EXPECT_TRUE(takeCommands().isEmpty());

    answerAwaited(QStringLiteral("TSB;5;"));
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("Nr.2 >SSB;5< Antwort:>TSB;5;<)!"), false));
    tick();
    const QStringList second = takeCommands();
    EXPECT_EQ(second, QStringList{QStringLiteral("SSL;1")});
    EXPECT_EQ(Logic->CounterText(), QStringLiteral("4 von 4"));
    EXPECT_EQ(Logic->ProgressMax(), 4);
    // All lines sent, the last answer still out: not over yet.
    tick(3);
    EXPECT_TRUE(Logic->Running());
    EXPECT_FALSE(Env.HasSysLine(QStringLiteral("Übertragung beendet"), false));
    answerAwaited(QStringLiteral("TSL;1;"));
    tick();
    EXPECT_FALSE(Logic->Running());
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("Übertragung beendet"), false));
    EXPECT_TRUE(takeCommands().isEmpty());
}

TEST_F(textconfig_Logic, send_waitsWhileOffline_andAppliesThePlaceholders)
{
    Logic->SetLines({QStringLiteral("§DATE§"), QStringLiteral(" §TIME§ ")});
    Logic->btnUebertragenClick();
    Env.Context.Online = false;
    Logic->SetOnOffLine(0);
    tick(4);
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_EQ(Logic->NextIndex(), 0);
    Env.Context.Online = true;
    Logic->SetOnOffLine(1);
    const auto [date, dateTag] = nextOrder();
    EXPECT_EQ(date, QStringLiteral("SSD;07.03.2026"));
    EXPECT_EQ(dateTag, 0);
    answerAwaited(QStringLiteral("TSD;07.03.2026;"));
    const auto [time, timeTag] = nextOrder();
    EXPECT_EQ(time, QStringLiteral("SST;09:05:03"));
    EXPECT_EQ(timeTag, 1);
}

TEST_F(textconfig_Logic, emptyTextArea_transfersNothing)
{
    for (const QString& text : {QString(), QStringLiteral("")}) {
        Logic->SetText(text);
        Logic->btnUebertragenClick();
        EXPECT_FALSE(Logic->Running());
        Logic->btnAuslesenClick();
        EXPECT_FALSE(Logic->Running());
        tick(3);
        EXPECT_TRUE(takeCommands().isEmpty());
    }
}

TEST_F(textconfig_Logic, readBack_turnsAnswersIntoSetCommands)
{
    loadDescription({QStringLiteral("# Geräteeinstellungen"), QStringLiteral("GSV@SSV@2"), QStringLiteral("GSB@SSB@2"),
                     QStringLiteral("GID@-@0"), QStringLiteral("%@ §DATE§ "), QString()});
    Logic->btnAuslesenClick();
    auto [cmd, tag] = nextOrder();
    EXPECT_EQ(cmd, QStringLiteral("GSV"));
    EXPECT_EQ(tag, 1);
    answerAwaited(QStringLiteral("TSV;5;7;"));
    EXPECT_EQ(Logic->Lines().at(1), QStringLiteral("SSV;5;7;"));
    EXPECT_EQ(Logic->Items().at(1).sVal, QStringLiteral("5;7;"));
    std::tie(cmd, tag) = nextOrder();
    EXPECT_EQ(cmd, QStringLiteral("GSB"));
    answerAwaited(QStringLiteral("TSB;5;"));
    EXPECT_EQ(Logic->Lines().at(2), QStringLiteral("SSB;5;"));
    // The frame of that line keeps the trailing field separator of the answer.
    EXPECT_EQ(BuildFrame(Logic->Lines().at(2)), QByteArray("SSB;5;;00462\r\n"));
    std::tie(cmd, tag) = nextOrder();
    EXPECT_EQ(cmd, QStringLiteral("GID"));
    // A field number of 0 copies nothing: the line stays as it was.
    answerAwaited(QStringLiteral("TID;3.6.0;"));
    EXPECT_EQ(Logic->Lines().at(3), QStringLiteral("GID@-@0"));
    tick(4);
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_EQ(Logic->Lines().at(4), QStringLiteral("§DATE§"));
    EXPECT_EQ(Logic->Lines().at(0), QStringLiteral("# Geräteeinstellungen"));
    EXPECT_FALSE(Logic->Running());
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("Übertragung beendet"), false));
}

TEST_F(textconfig_Logic, readBack_answerWithTooFewFields_aborts)
{
    const struct {
        int field;
        QString answer;
        bool aborted;
        QString line;
    } cases[] = {
        {3, QStringLiteral("TSV;?;"), false, QStringLiteral("SSV;")},  // the field after the last ";" exists
        {4, QStringLiteral("TSV;?;"), true, QStringLiteral("GSV@SSV@4")},
        {2, QStringLiteral("TSV"), true, QStringLiteral("GSV@SSV@2")},
    };
    for (const auto& c : cases) {
        StatusText.clear();
        loadDescription({QStringLiteral("GSV@SSV@%1").arg(c.field), QStringLiteral("GSB@SSB@2")});
        Logic->btnAuslesenClick();
        EXPECT_EQ(nextOrder().first, QStringLiteral("GSV"));
        answerAwaited(c.answer);
        EXPECT_EQ(Logic->Lines().at(0), c.line);
        if (c.aborted) {
            EXPECT_EQ(StatusText, QStringLiteral("Ungültige Parameter bei Zeile 1"));
            tick(3);
            EXPECT_EQ(StatusText, QStringLiteral("Übertragung abgebrochen"));
            EXPECT_TRUE(takeCommands().isEmpty());
        } else {
            EXPECT_EQ(nextOrder().first, QStringLiteral("GSB"));
            answerAwaited(QStringLiteral("TSB;1;"));
            tick();
        }
        EXPECT_FALSE(Logic->Running());
        EXPECT_EQ(Logic->Aborted(), c.aborted);
    }
}

TEST_F(textconfig_Logic, secondLineFailed_abortsWithBothMessages)
{
    Logic->SetLines({QStringLiteral("SSB;5"), QStringLiteral("SSL;9"), QStringLiteral("SSM;3")});
    Logic->btnUebertragenClick();
    nextOrder();
    answerAwaited(QStringLiteral("TSB;5;"));
    nextOrder();
    answerAwaited(QStringLiteral("TSL;9;00001"), kOrderFailed);
    tick(3);
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("Satz Nr. 1 (SSL;9) war nicht OK (RX:TSL;9;00001)!"), true));
    EXPECT_EQ(StatusText, QStringLiteral("Übertragung abgebrochen"));
    EXPECT_TRUE(StatusAlarm);
    EXPECT_FALSE(Logic->Running());
    EXPECT_TRUE(Logic->Aborted());
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_FALSE(Env.HasSysLine(QStringLiteral("Übertragung beendet"), false));
}

TEST_F(textconfig_Logic, goingOfflineWhileAnAnswerIsAwaited_aborts)
{
    Logic->SetLines({QStringLiteral("SSB;5"), QStringLiteral("SSL;1")});
    Logic->btnUebertragenClick();
    nextOrder();
    Env.Context.Online = false;
    Logic->SetOnOffLine(0);
    EXPECT_FALSE(Logic->Running());
    EXPECT_EQ(StatusText, QStringLiteral("Übertragung abgebrochen"));
    EXPECT_TRUE(Env.HasSysLine(QStringLiteral("Satz Nr. 0 (SSB;5) war nicht OK (RX:)!"), true));
    // Back online the window is free for the next transfer; nothing more of the old one is sent.
    Env.Context.Online = true;
    Logic->SetOnOffLine(1);
    tick(3);
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_TRUE(Logic->Controls().Uebertragen);
    Logic->btnUebertragenClick();
    EXPECT_EQ(nextOrder().first, QStringLiteral("SSB;5"));
}

TEST_F(textconfig_Logic, readBackAfterClearing_padsTheTextArea)
{
    loadDescription({QString(), QString(), QStringLiteral("GSB@SSB@2"), QStringLiteral("%@§TIME§")});
    Logic->btnLoeschenClick();
    ASSERT_TRUE(Logic->Lines().isEmpty());
    Logic->btnAuslesenClick();
    nextOrder();
    answerAwaited(QStringLiteral("TSB;3;"));
    tick(3);
    EXPECT_EQ(Logic->Lines(), (QStringList{QString(), QString(), QStringLiteral("SSB;3;"), QStringLiteral("§TIME§")}));
}

TEST_F(textconfig_Logic, controls_oneTransferAtATime)
{
    Env.Context.Online = false;
    TTcLogic offline(Env.Context);
    EXPECT_FALSE(offline.Controls().Uebertragen);
    EXPECT_TRUE(offline.Controls().Auslesen);
    EXPECT_FALSE(offline.Controls().Abbrechen);
    Env.Context.Online = true;
    offline.SetOnOffLine(1);
    EXPECT_TRUE(offline.Controls().Uebertragen);

    loadDescription({QStringLiteral("GSB@SSB@2")});
    Logic->btnAuslesenClick();
    const TTcControls running = Logic->Controls();
    EXPECT_FALSE(running.Uebertragen);
    EXPECT_FALSE(running.Auslesen);
    EXPECT_TRUE(running.Abbrechen);
    EXPECT_FALSE(running.Edit);
    Logic->SetText(QString());
    Logic->ParseItems();
    EXPECT_EQ(Logic->Lines().size(), 1);
    EXPECT_EQ(Logic->Items().size(), 1);
    // A second start while one runs is refused, whichever button.
    Logic->btnUebertragenClick();
    EXPECT_EQ(Logic->Mode(), TTcMode::ReadBack);
    nextOrder();
    tick(3);
    // The last line is sent, its answer still out: saving would miss it.
    EXPECT_FALSE(Logic->Controls().Edit);
    answerAwaited(QStringLiteral("TSB;4;"));
    tick();
    EXPECT_TRUE(Logic->Controls().Edit);
    EXPECT_TRUE(Logic->Controls().Uebertragen);
    EXPECT_FALSE(Logic->Controls().Abbrechen);
}

TEST_F(textconfig_Logic, abortButton_stopsAfterTheLine_lateAnswerStillConverted)
{
    loadDescription({QStringLiteral("GSB@SSB@2"), QStringLiteral("GSL@SSL@2")});
    Logic->btnAuslesenClick();
    nextOrder();
    Logic->btnAbbrechenClick();
    tick();
    EXPECT_FALSE(Logic->Running());
    EXPECT_EQ(StatusText, QStringLiteral("Übertragung abgebrochen"));
    // The order is still in the link: no new transfer until it is answered.
    EXPECT_FALSE(Logic->Controls().Auslesen);
    answerAwaited(QStringLiteral("TSB;8;"));
    EXPECT_EQ(Logic->Lines().at(0), QStringLiteral("SSB;8;"));
    EXPECT_EQ(Logic->Lines().at(1), QStringLiteral("GSL@SSL@2"));
    EXPECT_TRUE(Logic->Controls().Auslesen);
    tick(3);
    EXPECT_TRUE(takeCommands().isEmpty());
}

TEST_F(textconfig_Logic, answersToOtherTagsAreIgnored)
{
    loadDescription({QStringLiteral("GSB@SSB@2"), QStringLiteral("GSL@SSL@2")});
    Logic->btnAuslesenClick();
    nextOrder();
    Logic->RXData(kOrderFailed, 1, QStringLiteral("TSL;1;"));
    Logic->RXData(kOrderDone, 1, QStringLiteral("TSL;1;"));
    EXPECT_TRUE(Logic->AnswerPending());
    EXPECT_FALSE(Logic->Aborted());
    EXPECT_EQ(Logic->Lines().at(1), QStringLiteral("GSL@SSL@2"));
}

TEST_F(textconfig_Logic, loadFiles_withTheirFilters_andParseADescription)
{
    ASSERT_TRUE(Env.Write(QStringLiteral("geraet.pkd"), "\xEF\xBB\xBFGSB@SSB@2\r\n%@\xC2\xA7" "DATE\xC2\xA7\r\n"));
    DialogAnswer = Env.Path(QStringLiteral("geraet"));  // typed without extension
    Logic->btnKonfDateiLadenClick();
    EXPECT_EQ(DialogFilter, QStringLiteral("Sarvik2V2-Konfigdateien (*.pkd *.PKD);;Textdateien (*.txt *.TXT);;"
                                           "Alle Dateien (*)"));
    EXPECT_EQ(DialogSuffix, QStringLiteral("pkd"));
    EXPECT_EQ(DialogDir, Env.Dir.path());
    EXPECT_EQ(Logic->Lines(), (QStringList{QStringLiteral("GSB@SSB@2"), QStringLiteral("%@§DATE§")}));
    EXPECT_EQ(StatusText,
              QStringLiteral("Konfigurationsdaten aus Datei %1 geladen").arg(Env.Path(QStringLiteral("geraet.pkd"))));
    EXPECT_EQ(Logic->Total(), 2);
    EXPECT_EQ(Logic->ProgressMax(), 2);
    ASSERT_EQ(Logic->Items().size(), 2);
    EXPECT_EQ(Logic->Items().at(1).sWrite, QStringLiteral("§DATE§"));

    QDir(Env.Dir.path()).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(Env.Write(QStringLiteral("sub/befehle.puc"), "SSB;5\r\n\xA7TIME\xA7"));
    DialogAnswer = Env.Path(QStringLiteral("sub/befehle.puc"));
    Logic->btnDateiLadenClick();
    EXPECT_EQ(DialogFilter, QStringLiteral("Sarvik2V2-Textdateien (*.puc *.PUC);;Textdateien (*.txt *.TXT);;"
                                           "Alle Dateien (*)"));
    EXPECT_EQ(DialogSuffix, QStringLiteral("puc"));
    EXPECT_EQ(Logic->Lines(), (QStringList{QStringLiteral("SSB;5"), QStringLiteral("§TIME§")}));
    EXPECT_EQ(Env.Settings.GetStr(QStringLiteral("Paths/Config")), Env.Path(QStringLiteral("sub")));
    // A command file does not touch the items of the description.
    EXPECT_EQ(Logic->Items().size(), 2);

    DialogAnswer.clear();
    Logic->btnDateiLadenClick();
    EXPECT_EQ(Logic->Lines().size(), 2);
}

TEST_F(textconfig_Logic, save_throughATemporaryFile_inTheDeviceCodePage)
{
    Logic->SetLines({QStringLiteral("# Grüße"), QStringLiteral("§DATE§"), QStringLiteral("SSB;5;")});
    DialogAnswer = Env.Path(QStringLiteral("kopie"));
    Logic->btnSpeichernClick();
    EXPECT_EQ(DialogProposed, QStringLiteral("Sarvik2V2Konfig_20260307090503.puc"));
    EXPECT_EQ(DialogSuffix, QStringLiteral("puc"));
    const QString saved = Env.Path(QStringLiteral("kopie.puc"));
    EXPECT_EQ(Env.Read(saved), QByteArray("# Gr\xFC\xDF" "e\r\n\xA7" "DATE\xA7\r\nSSB;5;\r\n"));
    EXPECT_EQ(StatusText, QStringLiteral("Konfigurationsdaten in Datei %1 gespeichert.").arg(saved));
    EXPECT_FALSE(StatusAlarm);

    DialogAnswer.clear();
    Logic->btnSpeichernClick();
    EXPECT_EQ(StatusText, QStringLiteral("Konfigurationsdaten nicht gespeichert!"));
    EXPECT_TRUE(StatusAlarm);
    EXPECT_TRUE(ErrorBoxes.isEmpty());
}

TEST_F(textconfig_Logic, saveFailure_keepsTheOldFile_andShowsTheError)
{
    // The longest name a directory takes leaves no room for the temporary file beside it.
    const QString name = QString(250, QLatin1Char('k')) + QStringLiteral(".puc");
    ASSERT_TRUE(Env.Write(name, "SSB;1\r\n"));
    Logic->SetLines({QStringLiteral("SSB;5")});
    DialogAnswer = Env.Path(name);
    Logic->btnSpeichernClick();
    EXPECT_EQ(StatusText, QStringLiteral("Konfigurationsdaten nicht gespeichert!"));
    EXPECT_TRUE(StatusAlarm);
    ASSERT_EQ(ErrorBoxes.size(), 1);
    EXPECT_TRUE(ErrorBoxes.at(0).startsWith(Env.Path(name)));
    EXPECT_EQ(Env.Read(Env.Path(name)), QByteArray("SSB;1\r\n"));
}

TEST_F(textconfig_Logic, deviceName_withoutSlashesAndControlCharacters)
{
    const struct {
        QString serial;
        QString proposed;
    } cases[] = {
        {QStringLiteral("SV2000123"), QStringLiteral("Sarvik2V2Konfig_SV2000123_20260307090503.puc")},
        {QStringLiteral("SV/20\t01\x01"), QStringLiteral("Sarvik2V2Konfig_SV2001_20260307090503.puc")},
        {QString(), QStringLiteral("Sarvik2V2Konfig_20260307090503.puc")},
        {QStringLiteral("//"), QStringLiteral("Sarvik2V2Konfig_20260307090503.puc")},
    };
    for (const auto& c : cases) {
        Env.Context.Device.SerialNo = c.serial;
        DialogAnswer.clear();
        Logic->btnKonfDatSpeichernClick();
        EXPECT_EQ(DialogProposed, c.proposed) << c.serial.toStdString();
    }
}

}  // namespace
