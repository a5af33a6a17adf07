// The device settings window's widgets over its logic: the refocus of a refused field, the key
// filters and the list's colours.

#include "einstellungtestutil.h"
#include "frpresetchannel.h"
#include "tfeinstellung.h"
#include "waitfor.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class presets_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        Env.Context.Online = true;
        Env.Context.Device.LanguageCount = 3;
        auto* layout = new QVBoxLayout(&Top);
        Window = new TfEinstellung(Env.Context, &Top);
        Outside = new QLineEdit(&Top);
        Outside->setObjectName(QStringLiteral("outside"));
        layout->addWidget(Window);
        layout->addWidget(Outside);
        Top.show();
        QApplication::setActiveWindow(&Top);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Top));
        Window->RXData(kOrderDone, 1, QStringLiteral("TSP;1;Innen;60;21;150;1200;0;0;0;0;0;0;0;"));
        Window->RXData(kOrderDone, 1, QStringLiteral("TSP;2;Aussen;0;18;100;600;30;0;26;50;300;120;70;"));
        Window->pcPages->setCurrentWidget(Window->tsPreset);
        Window->lvPreset->setCurrentItem(Window->lvPreset->topLevelItem(0));
        ASSERT_EQ(Window->ePresNr->text(), QStringLiteral("1"));
    }

    // Focus moves as a mouse click moves it.
    static void clickInto(QWidget* w) { w->setFocus(Qt::MouseFocusReason); }

    TEinstellTestEnv Env;
    TOrderCapture Sent;
    QWidget Top;
    TfEinstellung* Window = nullptr;
    QLineEdit* Outside = nullptr;
};

TEST_F(presets_Window, refusedField_getsTheFocusBackOnce_twoRefusedFieldsDoNotBounce)
{
    QLineEdit* log = Window->ePresLogIntervall;
    QLineEdit* delay = Window->ChannelFrame(0)->eDelay;
    clickInto(delay);
    delay->selectAll();
    QTest::keyClicks(delay, QStringLiteral("25:00 h:m"));
    clickInto(log);
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == delay; }));
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Wert muss kleiner oder gleich 24:00 h:m sein"));
    EXPECT_TRUE(Window->FStatusAlarm);

    // Both fields refused now: leaving the delay for the log interval gives it the focus back,
    // and the log interval losing it that way does not pull it back again.
    log->selectAll();
    QTest::keyClicks(log, QStringLiteral("300"));
    int focusChanges = 0;
    const QMetaObject::Connection counting =
        QObject::connect(qApp, &QApplication::focusChanged, [&focusChanges] { ++focusChanges; });
    clickInto(log);
    spinFor(300);
    QObject::disconnect(counting);
    EXPECT_EQ(QApplication::focusWidget(), delay);
    EXPECT_LE(focusChanges, 2);
    EXPECT_EQ(Window->Logic().Presets().at(0).aSet[0].iDelay, 0);

    // Focus leaving the window is not taken back.
    clickInto(Outside);
    spinFor(100);
    EXPECT_EQ(QApplication::focusWidget(), Outside);
    EXPECT_TRUE(Sent.Orders.empty());
}

TEST_F(presets_Window, keyFilters)
{
    QLineEdit* name = Window->ePresBez;
    name->clear();
    QTest::keyClicks(name, QStringLiteral("a;b"));
    EXPECT_EQ(name->text(), QStringLiteral("ab"));

    QLineEdit* vol = Window->ChannelFrame(1)->eVol;
    vol->clear();
    QTest::keyClicks(vol, QStringLiteral("1x2.5"));
    EXPECT_EQ(vol->text(), QStringLiteral("12,5"));
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Nur Zeichen \"0123456789.,\" möglich!"));

    QLineEdit* temp = Window->eSLTemp;
    temp->clear();
    QTest::keyClicks(temp, QStringLiteral("2-0.5"));
    EXPECT_EQ(temp->text(), QStringLiteral("20,5"));
    temp->setCursorPosition(0);
    QTest::keyClicks(temp, QStringLiteral("--"));
    EXPECT_EQ(temp->text(), QStringLiteral("-20,5"));
    EXPECT_EQ(Window->Logic().SLTemp(), QStringLiteral("-20,5"));
    EXPECT_TRUE(Window->FStatusText.isEmpty());
    QTest::keyClick(temp, Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), temp) << "Enter moves on";
}

TEST_F(presets_Window, rowColours_followTheNumberOfPresets)
{
    Window->RXData(kOrderDone, 1, QStringLiteral("TSM;1;"));
    const QTreeWidgetItem* first = Window->lvPreset->topLevelItem(0);
    const QTreeWidgetItem* second = Window->lvPreset->topLevelItem(1);
    EXPECT_EQ(first->foreground(1).color(), QColor(0, 128, 0));
    EXPECT_NE(second->foreground(1).color(), QColor(0, 128, 0));
    EXPECT_EQ(first->background(2).color(), Window->ChannelFrame(0)->Background());
    EXPECT_EQ(first->background(7).color(), Window->ChannelFrame(1)->Background());
    EXPECT_NE(Window->ChannelFrame(0)->Background(), Window->ChannelFrame(1)->Background());
    Window->RXData(kOrderDone, 1, QStringLiteral("TSM;2;"));
    EXPECT_EQ(Window->lvPreset->topLevelItem(1)->foreground(1).color(), QColor(0, 128, 0));
    EXPECT_TRUE(Sent.Orders.empty());
}

}  // namespace
