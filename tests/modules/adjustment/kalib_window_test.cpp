// The adjustment window's widgets: typing through the key filters, field colours that only the
// user's edit resets, the pages by service mode and the buttons by online state.

#include "fieldstatecolor.h"
#include "kalibtestutil.h"
#include "tfkalib.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class adjustment_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOrderSink([this](const TOrder& o) { Sent << CommandOf(o); });
        Env.Context.Device.SerialNo = QStringLiteral("SV2000123");
    }
    void TearDown() override
    {
        Window.reset();
        SetOrderSink({});
    }
    void open(bool online, bool service)
    {
        Env.Context.Online = online;
        Env.Context.ServiceMode = service;
        Window = std::make_unique<TfKalib>(Env.Context);
        Window->show();
    }
    QColor base(const QString& name) const { return Window->Field(name)->palette().color(QPalette::Base); }
    QColor normalBase(const QString& name) const
    {
        return QApplication::palette(Window->Field(name)).color(QPalette::Base);
    }

    TKalibTestEnv Env;
    std::unique_ptr<TfKalib> Window;
    QStringList Sent;
};

TEST_F(adjustment_Window, typingPassesTheFilter_decimalMarkBecomesTheDisplaysOwn_otherKeysRefused)
{
    open(true, false);
    QLineEdit* flow = Window->Field(QStringLiteral("eV01"));
    QTest::keyClicks(flow, QStringLiteral("0.3"));
    EXPECT_EQ(flow->text(), QStringLiteral("0,3"));
    EXPECT_EQ(Window->Logic().Text(QStringLiteral("eV01")), QStringLiteral("0,3"));
    QTest::keyClicks(flow, QStringLiteral("a"));
    EXPECT_EQ(flow->text(), QStringLiteral("0,3"));
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Nur Zeichen \"0123456789.,\" möglich!"));
    EXPECT_TRUE(Window->FStatusAlarm);
    // Editing keys pass without a message; Ctrl+A selects so the next digit replaces all.
    QTest::keyClick(flow, Qt::Key_Left);
    QTest::keyClick(flow, Qt::Key_Delete);
    EXPECT_EQ(flow->text(), QStringLiteral("0,"));
    QTest::keyClick(flow, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(flow, QStringLiteral("7"));
    EXPECT_EQ(flow->text(), QStringLiteral("7"));
    EXPECT_EQ(Window->FStatusText, QString());

    QLineEdit* monthYear = Window->Field(QStringLiteral("enextWartungDatum"));
    QTest::keyClicks(monthYear, QStringLiteral("06/2027."));
    EXPECT_EQ(monthYear->text(), QStringLiteral("06/2027"));
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Nur Zeichen \"0123456789/\" möglich!"));
    EXPECT_TRUE(Window->Field(QStringLiteral("eV00"))->isReadOnly());
}

TEST_F(adjustment_Window, aFieldReturnsToNormalOnlyWhenTheUserEditsIt)
{
    open(true, false);
    const QString name = QStringLiteral("eJust13");
    Window->RXData(10, 13, QStringLiteral("TCF;1;3;0.5;"));
    EXPECT_EQ(Window->Field(name)->text(), QStringLiteral("0,5000000"));
    EXPECT_EQ(base(name), FieldStateColor(TFieldState::Confirmed));
    // The program's own fill keeps the state it gives.
    Window->btnReadData->click();
    EXPECT_EQ(base(name), FieldStateColor(TFieldState::Pending));
    Window->RXData(10, 13, QStringLiteral("TCF;1;3;0.25;"));
    EXPECT_EQ(base(name), FieldStateColor(TFieldState::Confirmed));
    QTest::keyClicks(Window->Field(name), QStringLiteral("1"));
    EXPECT_EQ(Window->Logic().State(name), TFieldState::Normal);
    EXPECT_EQ(base(name), normalBase(name));
    Window->RXData(10, 3, QStringLiteral("TCF;1;3;0.5;"));
    EXPECT_EQ(base(QStringLiteral("eJust03")), FieldStateColor(TFieldState::Invalid));
}

TEST_F(adjustment_Window, regulatorPageOnlyInServiceMode_generalPageFirst)
{
    for (bool service : {false, true}) {
        SCOPED_TRACE(service);
        open(true, service);
        EXPECT_EQ(Window->pcKalib->isTabVisible(Window->pcKalib->indexOf(Window->tsRegler)), service);
        EXPECT_EQ(Window->pcKalib->currentWidget(), Window->tsAllg);
        EXPECT_EQ(Window->windowTitle(), QStringLiteral("Justagedaten"));
    }
}

TEST_F(adjustment_Window, deviceButtonsFollowTheOnlineState_adjustmentButtonsCheckItThemselves)
{
    open(false, false);
    const QStringList deviceButtons{QStringLiteral("btnReadData"), QStringLiteral("btnReadSensorOffset0"),
                                    QStringLiteral("btnSetSensorOffset1"), QStringLiteral("btnSetBaro"),
                                    QStringLiteral("btnCheckRTC"), QStringLiteral("btnSetServo1"),
                                    QStringLiteral("btnTouchJustage")};
    for (const QString& b : deviceButtons)
        EXPECT_FALSE(Window->Button(b)->isEnabled()) << b.toStdString();
    for (const QString& b : {QStringLiteral("btnJ00"), QStringLiteral("btnCalc1"), QStringLiteral("btnSetJustData0")})
        EXPECT_TRUE(Window->Button(b)->isEnabled()) << b.toStdString();
    Window->Button(QStringLiteral("btnJ01"))->click();
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Funktion nur online möglich"));

    Env.Context.Online = true;
    Window->SetOnOffLine(1);
    for (const QString& b : deviceButtons)
        EXPECT_TRUE(Window->Button(b)->isEnabled()) << b.toStdString();
}

TEST_F(adjustment_Window, transferAsksThroughTheReplaceableDialog_andFocusesAFailingField)
{
    open(true, false);
    int asked = 0;
    Window->SetSerialDialog([&asked](QWidget*) -> std::optional<QString> {
        ++asked;
        return QStringLiteral("SV2000123");
    });
    for (int i = 0; i < kKalibPoints; ++i)
        QTest::keyClicks(Window->Field(TKalibLogic::JustName(0, i)), QStringLiteral("0.1"));
    QTest::keyClicks(Window->Field(TKalibLogic::OffsetName(0)), QStringLiteral("1"));
    Window->Button(QStringLiteral("btnSetJustData0"))->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Sent.size(), 6);
    EXPECT_EQ(Sent.value(1), QStringLiteral("SCF;0;0;0.1000000"));
    EXPECT_EQ(base(TKalibLogic::JustName(0, 0)), FieldStateColor(TFieldState::Sent));

    // A failing check shows its page and selects the field.
    Window->pcKalib->setCurrentWidget(Window->tsAllg);
    QTest::keyClicks(Window->Field(TKalibLogic::FlowName(1, 1)), QStringLiteral("x"));
    Window->Button(QStringLiteral("btnCalc1"))->click();
    EXPECT_EQ(Window->pcKalib->currentWidget(), Window->tsFlow2);
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Volumenstom bei Justagepunkt 2 ist ungültig"));
}

TEST_F(adjustment_Window, backupBatteryLabelAndTheDatePickerFollowTheAnswers)
{
    open(true, false);
    EXPECT_FALSE(Window->lblRTCCheck->isVisibleTo(Window->tsSensoren));
    Window->RXData(10, 4, QStringLiteral("TIB;7.40;45;4;80;0;2.50;30.01.2024;"));
    EXPECT_TRUE(Window->lblRTCCheck->isVisibleTo(Window->tsSensoren));
    EXPECT_EQ(Window->lblRTCCheck->text(), QStringLiteral("Batterie erneuern"));
    Window->RXData(10, 4, QStringLiteral("TIB;7.40;45;4;80;0;3.01;30.01.2024;"));
    EXPECT_EQ(Window->lblRTCCheck->text(), QStringLiteral("Batterie ist ok"));

    Window->RXData(10, 4, QStringLiteral("TCL;15.01.2026;1200;"));
    EXPECT_EQ(Window->dtpLastWartungDatum->date(), QDate(2026, 1, 15));
    // The answer's date is the device's; nothing was sent for it.
    EXPECT_TRUE(Sent.isEmpty());
}

}  // namespace

TEST_F(adjustment_Window, restoreFromMinimised_isNoNewShow_thePageStays)
{
    Env.Context.Online = true;
    Env.Context.ServiceMode = true;
    Window = std::make_unique<TfKalib>(Env.Context);
    QMdiArea mdi;
    const auto release = qScopeGuard([this] { Window.reset(); });
    QMdiSubWindow* frame = mdi.addSubWindow(Window.get());
    mdi.show();
    frame->show();
    Window->pcKalib->setCurrentWidget(Window->tsFlow1);

    frame->showMinimized();
    frame->showNormal();
    ASSERT_TRUE(Window->isVisible());
    // A new show would open the general page again.
    EXPECT_EQ(Window->pcKalib->currentWidget(), Window->tsFlow1);
}
