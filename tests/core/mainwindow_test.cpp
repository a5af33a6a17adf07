#include "commandline.h"
#include "docpaths.h"
#include "i18n.h"
#include "mainwindow.h"
#include "plxform.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(core_CommandLine, settingsFileAndServiceMode)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("x.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    // A directory whose name holds "-c", as temporary ones often do.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("a-cx")));
    const QString dashed = dir.filePath(QStringLiteral("a-cx/Service"));
    QFile g(dashed);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.close();
    const QString start = QStringLiteral("/start/");
    const QString fallback = start + QStringLiteral("SarvikControl.ini");
    struct Case {
        QStringList args;
        QString file;
        bool service;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("-C"), ini}, ini, false},
        {{QStringLiteral("-C"), dashed}, dashed, false},
        {{QStringLiteral("-c") + ini}, ini, false},
        {{QStringLiteral("Service"), QStringLiteral("-C")}, fallback, true},
        {{QStringLiteral("-C"), dir.filePath(QStringLiteral("missing.ini"))}, fallback, false},
        {{QStringLiteral("sErViCe")}, fallback, true},
        {{QStringLiteral("Services")}, fallback, false},
        {{QStringLiteral("--device-root"), QStringLiteral("/a-c/root")}, fallback, false},
    };
    for (const Case& c : cases) {
        const TCommandLine cl = ParseCommandLine(c.args);
        EXPECT_EQ(ChooseSettingsFile(cl.ConfiguredName, start), c.file) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(cl.ServiceMode, c.service) << c.args.join(QLatin1Char(' ')).toStdString();
    }
    const TCommandLine roots = ParseCommandLine({QStringLiteral("--device-root"), QStringLiteral("/r1"),
                                                 QStringLiteral("--device-root=/r2"), QStringLiteral("--demo")});
    EXPECT_EQ(roots.DeviceRoots, (QStringList{QStringLiteral("/r1"), QStringLiteral("/r2")}));
    EXPECT_TRUE(roots.Demo);
}

TEST(core_CommandLine, storedMainWindowGeometryRules)
{
    const QRect current(10, 20, 600, 400);
    const QSize screen(1600, 1000);
    struct Case {
        int top, left, width, height;
        QRect expected;
    };
    const std::vector<Case> cases = {
        {-40, -40, 800, 500, QRect(400, 250, 800, 500)},  // below -39 centres
        {-39, -39, 800, 500, QRect(-39, -39, 800, 500)},
        {5, 6, 480, 180, QRect(6, 5, 600, 400)},          // too small: size kept
        {5, 6, 481, 181, QRect(6, 5, 481, 181)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyStoredGeometry(current, c.top, c.left, c.width, c.height, screen), c.expected) << c.top;
}

TEST(core_CommandLine, manualPathBrokenAtSlashes)
{
    const QString path = QStringLiteral("/opt/sarvikcontrol/a-rather-long-directory-name/bin/SarvikControl_Handbuch.pdf");
    const QStringList lines = BreakPath(path).split(QLatin1Char('\n'));
    for (const QString& l : lines)
        EXPECT_LE(l.size(), 45) << l.toStdString();
    EXPECT_EQ(lines.join(QString()), path);
    EXPECT_EQ(lines.first(), QStringLiteral("/opt/sarvikcontrol/"));
}

// A module window that records what the main window tells it.
class FakeModule : public TPLXForm {
public:
    FakeModule(TAppContext& c, int id) : TPLXForm(c)
    {
        FClientID = id;
        setWindowTitle(QStringLiteral("Fake %1").arg(id));
    }
    void RXData(int status, int tag, const QString& data) override { answers.push_back({status, tag, data}); }
    void SetOnOffLine(int online) override { onlineCalls.push_back(online); }
    void TimerEvent(int) override { ++ticks; }
    void FormShow() override { ++shows; }
    struct Answer {
        int status;
        int tag;
        QString data;
    };
    std::vector<Answer> answers;
    std::vector<int> onlineCalls;
    int ticks = 0;
    int shows = 0;
};

class core_MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ini = dir.filePath(QStringLiteral("SarvikControl.ini")); }

    void create(QStringList extraArgs = {})
    {
        // -C needs an existing file; an empty one reads as defaults.
        if (!QFile::exists(ini)) {
            QFile f(ini);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        settings = std::make_unique<TFSettingsForm>();
        form = std::make_unique<TForm1>(*settings, QStringList{QStringLiteral("-C"), ini} + extraArgs,
                                        dir.path() + QLatin1Char('/'));
        form->Dialogs().askYesNo = [this](QWidget*, const QString& q) {
            questions << q;
            return answerYes;
        };
        form->Dialogs().warn = [this](QWidget*, const QString& t) { warnings << t; };
        form->Dialogs().error = [this](QWidget*, const QString& t) { warnings << t; };
        form->OnStatusAnswer = [this](const TOrder& o) { statusAnswers.push_back(o); };
        for (int id : {int(ciEinstellung), int(ciBedien), int(ciProbedaten), int(ciKalib)}) {
            form->SetModuleFactory(id, [id](TAppContext& c) { return new FakeModule(c, id); });
        }
    }
    FakeModule* module(int id) { return static_cast<FakeModule*>(form->Module(id)); }

    QTemporaryDir dir;
    QString ini;
    std::unique_ptr<TFSettingsForm> settings;
    std::unique_ptr<TForm1> form;
    QStringList questions;
    QStringList warnings;
    std::vector<TOrder> statusAnswers;
    bool answerYes = true;
};

TOrder finished(int sender, int status, const QByteArray& payload, int tag = 0)
{
    TOrder o;
    o.Sender = sender;
    o.Status = status;
    o.RXData = payload;
    o.TXTag = tag;
    return o;
}

TEST_F(core_MainWindow, answersGoToTheSendersWindowAndStatusAnswersAlsoToTheMainWindow)
{
    create();
    form->show();
    FakeModule* bedien = static_cast<FakeModule*>(form->OpenModule(ciBedien));
    ASSERT_NE(bedien, nullptr);
    ASSERT_TRUE(waitFor([&] { return bedien->isVisible(); }));

    form->ProcessFinishedOrder(finished(ciBedien, kOrderDone, "TSP;3;Innen;", 7));
    ASSERT_EQ(bedien->answers.size(), 1u);
    EXPECT_EQ(bedien->answers[0].tag, 7);
    EXPECT_EQ(bedien->answers[0].data, QStringLiteral("TSP;3;Innen;"));
    EXPECT_TRUE(statusAnswers.empty());

    form->ProcessFinishedOrder(finished(ciBedien, kOrderDone, "TIS;8;0;0;0;0;3;1;"));
    EXPECT_EQ(bedien->answers.size(), 2u);
    EXPECT_EQ(statusAnswers.size(), 1u) << "a module's TIS also refreshes the main window";
    form->ProcessFinishedOrder(finished(ciBedien, kOrderFailed, "TIS;8;"));
    EXPECT_EQ(statusAnswers.size(), 1u) << "only successful answers are shared";

    form->ProcessFinishedOrder(finished(ciMain, kOrderDone, "TIN;SV1;"));
    EXPECT_EQ(statusAnswers.size(), 2u);
}

TEST_F(core_MainWindow, deliveryObserverSeesEachOrderBeforeItsClient_andNoneForAClosedWindow)
{
    create();
    form->show();
    FakeModule* bedien = static_cast<FakeModule*>(form->OpenModule(ciBedien));
    ASSERT_NE(bedien, nullptr);
    struct TSeen {
        int clientId;
        int tag;
        size_t answersBefore;  // what the window had been given when the observer was told
        size_t statusBefore;
    };
    std::vector<TSeen> seen;
    form->Session().OnDeliver = [&](int clientId, const TOrder& order) {
        seen.push_back({clientId, order.TXTag, bedien->answers.size(), statusAnswers.size()});
    };
    form->ProcessFinishedOrder(finished(ciBedien, kOrderDone, "TSP;3;Innen;", 7));
    form->ProcessFinishedOrder(finished(ciBedien, kOrderFailed, "", 2));
    form->ProcessFinishedOrder(finished(ciMain, kOrderDone, "TIN;SV1;", 0));
    form->ProcessFinishedOrder(finished(ciProbedaten, kOrderDone, "TDR;1;", 4));
    ASSERT_EQ(seen.size(), 3u) << "nothing for a window that is not open";
    const TSeen expected[] = {{ciBedien, 7, 0, 0}, {ciBedien, 2, 1, 0}, {ciMain, 0, 2, 0}};
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].clientId, expected[i].clientId) << i;
        EXPECT_EQ(seen[i].tag, expected[i].tag) << i;
        EXPECT_EQ(seen[i].answersBefore, expected[i].answersBefore) << i;
        EXPECT_EQ(seen[i].statusBefore, expected[i].statusBefore) << i;
    }
    EXPECT_EQ(bedien->answers.size(), 2u);
    EXPECT_EQ(statusAnswers.size(), 1u);
}

TEST_F(core_MainWindow, answerForAClosedWindowIsDropped)
{
    create();
    form->show();
    form->OpenModule(ciProbedaten);
    QPointer<TPLXForm> w = form->Module(ciProbedaten);
    ASSERT_TRUE(w);
    w->FrameWindow()->close();
    ASSERT_TRUE(waitFor([&] { return w.isNull(); })) << "a closed module window is destroyed";
    EXPECT_FALSE(form->Context().Clients[ciProbedaten].isOpen);
    form->ProcessFinishedOrder(finished(ciProbedaten, kOrderDone, "TDR;1;"));
    EXPECT_TRUE(statusAnswers.empty());
}

TEST_F(core_MainWindow, openingAnOpenMinimisedWindowRestoresIt)
{
    create();
    form->show();
    TPLXForm* first = form->OpenModule(ciBedien);
    ASSERT_TRUE(waitFor([&] { return first->isVisible(); }));
    first->FrameWindow()->showMinimized();
    ASSERT_TRUE(waitFor([&] { return first->FrameWindow()->isMinimized(); }));
    TPLXForm* again = form->OpenModule(ciBedien);
    EXPECT_EQ(again, first);
    EXPECT_FALSE(first->FrameWindow()->isMinimized());
    EXPECT_EQ(form->MdiArea()->subWindowList().size(), 1);
}

TEST_F(core_MainWindow, minimisedModuleKeepsGettingAnswersTicksAndOnlineChanges)
{
    create();
    form->show();
    auto* w = static_cast<FakeModule*>(form->OpenModule(ciProbedaten));
    ASSERT_TRUE(waitFor([&] { return w->isVisible(); }));
    EXPECT_EQ(w->shows, 1);
    w->FrameWindow()->showMinimized();
    ASSERT_TRUE(waitFor([&] { return w->FrameWindow()->isMinimized() && !w->isVisible(); }));

    form->ProcessFinishedOrder(finished(ciProbedaten, kOrderDone, "TDR;1;", 4));
    ASSERT_EQ(w->answers.size(), 1u);
    EXPECT_EQ(w->answers[0].tag, 4);
    w->onlineCalls.clear();
    form->SetOnOffline(true);
    form->SetOnOffline(false);
    EXPECT_EQ(w->onlineCalls, (std::vector<int>{1, 0}));
    const int ticks = w->ticks;
    EXPECT_TRUE(waitFor([&] { return w->ticks > ticks + 2; })) << "the 50 ms tick stopped for the minimised window";

    form->OpenModule(ciProbedaten);
    ASSERT_TRUE(waitFor([&] { return w->isVisible(); }));
    EXPECT_EQ(w->shows, 1) << "restoring is no new showing";
    EXPECT_TRUE(form->Context().Clients[ciProbedaten].isOpen);
}

TEST_F(core_MainWindow, serviceMenusFollowTheCommandLineAndTheSetting)
{
    create();
    form->show();
    EXPECT_FALSE(form->findChild<QMenu*>(QStringLiteral("mnuService"))->menuAction()->isVisible());
    EXPECT_FALSE(form->findChild<QMenu*>(QStringLiteral("mnuService2"))->menuAction()->isVisible());
    EXPECT_FALSE(form->Action(QStringLiteral("actJustage"))->isVisible());
    EXPECT_TRUE(form->Action(QStringLiteral("actFernsteuerung"))->isEnabled());
    EXPECT_FALSE(form->Action(QStringLiteral("actZaehler"))->isEnabled()) << "no window for it yet";

    form.reset();
    create({QStringLiteral("SERVICE")});
    form->show();
    EXPECT_TRUE(form->findChild<QMenu*>(QStringLiteral("mnuService"))->menuAction()->isVisible());
    EXPECT_TRUE(form->findChild<QMenu*>(QStringLiteral("mnuService2"))->menuAction()->isVisible());
    QAction* justage = form->Action(QStringLiteral("actJustage"));
    EXPECT_TRUE(justage->isVisible());
    EXPECT_TRUE(justage->isEnabled());
    EXPECT_FALSE(form->Action(QStringLiteral("actManuell"))->isEnabled()) << "no window for it yet";
    // In service mode the adjustment window opens without the warning.
    form->Dialogs().confirmAdjustment = [](QWidget*) {
        ADD_FAILURE() << "warning shown in service mode";
        return false;
    };
    justage->trigger();
    EXPECT_NE(form->Module(ciKalib), nullptr);
}

TEST_F(core_MainWindow, adjustmentWindowOutsideServiceModeOnlyAfterTheWarning)
{
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[settings/General]\nServiceModules=1\n");
    f.close();
    create();
    form->show();
    int asked = 0;
    bool accept = false;
    form->Dialogs().confirmAdjustment = [&](QWidget*) {
        ++asked;
        return accept;
    };
    QAction* justage = form->Action(QStringLiteral("actJustage"));
    ASSERT_TRUE(justage->isEnabled());
    justage->trigger();
    EXPECT_EQ(form->Module(ciKalib), nullptr);
    accept = true;
    justage->trigger();
    EXPECT_NE(form->Module(ciKalib), nullptr);
    EXPECT_EQ(asked, 2);
}

TEST_F(core_MainWindow, closingStoresGeometryAndOpenFlagsAndReopensThem)
{
    create();
    form->show();
    TPLXForm* w = form->OpenModule(ciBedien);
    ASSERT_TRUE(waitFor([&] { return w->isVisible(); }));
    w->FrameWindow()->setGeometry(30, 40, 350, 250);
    form->CloseWithoutQuestion();
    EXPECT_TRUE(questions.isEmpty());
    form.reset();

    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[settings/WinPos/Client_2]")));

    create();
    form->show();
    ASSERT_TRUE(waitFor([&] { return form->Module(ciBedien) != nullptr; })) << "open at exit: reopened";
    EXPECT_EQ(form->Module(ciBedien)->FrameWindow()->geometry(), QRect(30, 40, 350, 250));
    EXPECT_EQ(form->Module(ciProbedaten), nullptr);
}

TEST_F(core_MainWindow, exitQuestionCanCancelAndFailedSaveWarns)
{
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[settings/General]\nConfirmExit=1\n");
    f.close();
    create();
    form->show();
    answerYes = false;
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions, QStringList{QStringLiteral("Programm wirklich beenden?")});
    // The file's place becomes a directory: the save must fail and say so.
    QFile::remove(ini);
    ASSERT_TRUE(QDir().mkpath(ini));
    answerYes = true;
    EXPECT_TRUE(form->close());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("Konfiguration konnte nicht gespeichert werden.\r\nFehlermeldung:\r\n")));
}

TEST_F(core_MainWindow, onlineChangeReachesEveryVisibleModuleAndTheCaption)
{
    create();
    form->show();
    auto* w = static_cast<FakeModule*>(form->OpenModule(ciBedien));
    ASSERT_TRUE(waitFor([&] { return w->isVisible(); }));
    w->onlineCalls.clear();
    form->SetOnOffline(true);
    EXPECT_EQ(w->onlineCalls, std::vector<int>{1});
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SarvikControl")) << "serial number not known yet";
    form->ProcessFinishedOrder(finished(ciMain, kOrderDone, "TIN;SV42;"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SV42 - SarvikControl"));
    form->SetOnOffline(false);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SarvikControl"));
}

QStringList sysMessages()
{
    TfSysMeld* w = SysMeldWindow();
    return w ? w->mem1->toPlainText().split(QLatin1Char('\n')) : QStringList();
}

bool anyMessageContains(const QString& text)
{
    for (const QString& line : sysMessages()) {
        if (line.contains(text))
            return true;
    }
    return false;
}

TEST_F(core_MainWindow, findsTheVirtualDeviceReconnectsAfterReplug)
{
    QTemporaryDir root;
    TVirtualSarvikOptions options;
    options.root = root.path();
    TVirtualSarvik device(options);
    QString error;
    ASSERT_TRUE(device.start(&error)) << error.toStdString();
    create({QStringLiteral("--device-root"), root.path()});
    form->show();
    const QString firstPort = device.portPath();
    ASSERT_TRUE(waitFor([&] { return anyMessageContains(QStringLiteral("Verbunden mit Sarvik2V2 an ") + firstPort); }));
    EXPECT_EQ(form->Connection().State(), TConnectionMachine::csConnected);
    // The offline poll reaches the device over the opened port and takes the program online.
    ASSERT_TRUE(waitFor([&] { return form->Context().Online && !form->Context().Device.SerialNo.isEmpty(); }));
    EXPECT_EQ(form->Context().Device.SerialNo, QStringLiteral("SV2000123"));
    EXPECT_EQ(form->Context().Device.FirmwareText, QStringLiteral("3.6.0"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SV2000123 - SarvikControl"));

    ASSERT_TRUE(device.unplug(&error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] {
        return anyMessageContains(QStringLiteral("Geräte-Verbindung unterbrochen. Versuche erneut zu verbinden..."));
    }));
    ASSERT_TRUE(device.plug(&error)) << error.toStdString();
    const QString secondPort = device.portPath();
    EXPECT_NE(secondPort, firstPort);
    EXPECT_FALSE(form->Context().Online);
    ASSERT_TRUE(waitFor([&] { return anyMessageContains(QStringLiteral("Verbunden mit Sarvik2V2 an ") + secondPort); }));
    ASSERT_TRUE(waitFor([&] { return form->Context().Online; }));
    form->CloseWithoutQuestion();
    form.reset();
    device.stop();
}

}  // namespace

namespace {

TEST_F(core_MainWindow, languageOfTheSettingsFileTranslatesTheFrame)
{
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[settings/General]\nProgLang=English\nConfirmExit=1\n");
    f.close();
    create();
    form->show();
    EXPECT_EQ(form->findChild<QMenu*>(QStringLiteral("mnuDatei"))->title(), QStringLiteral("&File"));
    EXPECT_EQ(form->findChild<QToolBar*>(QStringLiteral("ToolBar"))->windowTitle(), QStringLiteral("Toolbar"));
    // Qt's own buttons follow the program language as well.
    auto yesText = [] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("SarvikControl"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text();
    };
    EXPECT_EQ(yesText(), QStringLiteral("&Yes"));
    answerYes = false;
    form->close();
    EXPECT_EQ(questions, QStringList{QStringLiteral("Really exit the program?")});
    // Back to German for whatever runs next in this process.
    SetProgramLanguage(kLangGerman);
    EXPECT_EQ(yesText(), QStringLiteral("&Ja"));
}

QString rectText(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

TEST_F(core_MainWindow, alarmPopUpLeavesTheErrorPanelInView)
{
    create();
    form->show();
    form->ProcessFinishedOrder(finished(ciMain, kOrderDone, "TIS;4;9;0;0;2;0;0;"));
    TfSysMeld* sysmeld = SysMeldWindow();
    ASSERT_TRUE(sysmeld && sysmeld->isVisible());
    QWidget* panel = form->findChild<QWidget*>(QStringLiteral("pnlError"));
    ASSERT_TRUE(panel && panel->isVisible());
    const QRect panelOnScreen(panel->mapToGlobal(QPoint(0, 0)), panel->size());
    EXPECT_FALSE(sysmeld->frameGeometry().intersects(panelOnScreen))
        << rectText(sysmeld->frameGeometry()) << " covers " << rectText(panelOnScreen);
}

TEST_F(core_MainWindow, missingManualIsReportedWithItsPath)
{
    create();
    form->show();
    // The build writes the manuals; look for them in an empty folder instead.
    QTemporaryDir empty;
    SetManualDirs({empty.path()});
    form->Dialogs().openDocument = [](const QString&) {
        ADD_FAILURE() << "no manual exists in the folder searched";
        return true;
    };
    form->Action(QStringLiteral("actHandbuch"))->trigger();
    SetManualDirs({});
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("Die Handbuchdatei \"")));
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("SarvikControl_Handbuch.pdf")));
    EXPECT_TRUE(warnings[0].endsWith(QStringLiteral("\" wurde nicht gefunden.")));
}

}  // namespace

namespace {

TEST_F(core_MainWindow, manualOfTheFolderSearchedIsOpened)
{
    create();
    form->show();
    QTemporaryDir docs;
    QFile pdf(docs.filePath(QStringLiteral("SarvikControl_Handbuch.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
    pdf.close();
    SetManualDirs({QStringLiteral("/nonexistent-sarvik"), docs.path()});
    QString opened;
    form->Dialogs().openDocument = [&opened](const QString& path) {
        opened = path;
        return true;
    };
    form->Action(QStringLiteral("actHandbuch"))->trigger();
    SetManualDirs({});
    EXPECT_EQ(opened, pdf.fileName());
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
