// The counters window's widgets: device values shown without sending anything back, the count
// dialog only on the user's click, typing limits that never cut the device's values.

#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "tfzaehler.h"
#include "wireformat.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

class counters_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        SetOrderSink([this](const TOrder& o) {
            const QString frame = FromWire(o.TXData);
            Sent << frame.left(frame.lastIndexOf(QLatin1Char(';')));
        });
        Context.Online = true;
        Window = std::make_unique<TfZaehler>(Context);
        Window->SetCountDialog([this](QWidget*, const QString&, const QString& prompt, const QString&) -> std::optional<QString> {
            Dialogs << prompt;
            return QStringLiteral("12");
        });
        Window->show();
        Sent.clear();
    }
    void TearDown() override
    {
        Window.reset();
        SetOrderSink({});
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TfZaehler> Window;
    QStringList Sent;
    QStringList Dialogs;
};

TEST_F(counters_Window, deviceFlagsAndRowsAreShownWithoutSendingOrAsking)
{
    Window->RXData(10, 0, QStringLiteral("TMM;5;"));
    EXPECT_EQ(Window->clbMonitorFlags->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(Window->clbMonitorFlags->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(Window->clbMonitorFlags->item(2)->checkState(), Qt::Checked);
    Window->RXData(10, 2, QStringLiteral("TLR;2;11;14.10.2026;"));
    EXPECT_EQ(Window->lvEC->topLevelItem(2)->foreground(1).color(), QColor(255, 0, 0));
    Window->lvEC->setCurrentItem(Window->lvEC->topLevelItem(3));
    EXPECT_TRUE(Sent.isEmpty());
    EXPECT_TRUE(Dialogs.isEmpty());

    // The user's check sends the flags as they stand.
    Window->clbMonitorFlags->item(3)->setCheckState(Qt::Checked);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SMM;13")}));
    // The user's click asks for the count.
    QTreeWidgetItem* row = Window->lvEC->topLevelItem(1);
    QTest::mouseClick(Window->lvEC->viewport(), Qt::LeftButton, {}, Window->lvEC->visualItemRect(row).center());
    EXPECT_EQ(Dialogs, QStringList({QStringLiteral("Unbekannter Fehler eingeben")}));
    EXPECT_EQ(Window->lvEC->topLevelItem(1)->text(1), QStringLiteral("12"));
}

TEST_F(counters_Window, lengthLimitsTypingOnly)
{
    QLineEdit* line = Window->Field(QStringLiteral("ePerso1"));
    const QString longText(30, QLatin1Char('x'));
    Window->RXData(10, 1, QStringLiteral("TLP;0;") + longText + QLatin1Char(';'));
    EXPECT_EQ(line->text(), longText);
    QTest::keyClicks(line, QStringLiteral("y"));
    EXPECT_EQ(line->text(), longText);
    Window->Button(QStringLiteral("btnSetPerso"))->click();
    EXPECT_EQ(Sent.value(0), QStringLiteral("SLP;0;") + longText);
    line->clear();
    QTest::keyClicks(line, QString(27, QLatin1Char('z')));
    EXPECT_EQ(line->text().size(), 25);
}

}  // namespace
