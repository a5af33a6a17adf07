// The manual control window's sliders: what the user does with mouse, keys and wheel reaches the
// logic as releases and wheel steps.

#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "tfmanuell.h"
#include "wireformat.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "qtprinters.h"

#include <memory>
#include <vector>

namespace {

class manual_Window : public ::testing::Test {
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
        Window = std::make_unique<TfManuell>(Context);
        Window->resize(600, 700);
        Window->show();
        Window->RXData(kOrderDone, 0, QStringLiteral("TCS;0;800;200;"));
        Window->RXData(kOrderDone, 1, QStringLiteral("TMS;0;500;"));
        Window->TimerEvent(50);
        Sent.clear();
    }
    void TearDown() override
    {
        Window.reset();
        SetOrderSink({});
    }
    void wheel(QWidget* w, QPoint delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWheelEvent e(QPointF(10, 5), w->mapToGlobal(QPointF(10, 5)), QPoint(), delta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w, &e);
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TfManuell> Window;
    QStringList Sent;
};

TEST_F(manual_Window, grooveClickAndKeys_sendOnRelease)
{
    TSetSlider* pump = Window->sliderPumpe;
    // A click into the groove far right jumps a page; the release sends what it shows.
    QTest::mouseClick(pump, Qt::LeftButton, Qt::NoModifier, QPoint(pump->width() - 3, pump->height() / 2));
    ASSERT_EQ(Sent.size(), 1);
    EXPECT_EQ(Sent.at(0), QStringLiteral("SMW;%1").arg(PumpSetPoint(pump->value() / 10.0)));
    EXPECT_GT(pump->value(), 0);
    Sent.clear();
    pump->setFocus();
    QTest::keyClick(pump, Qt::Key_Right);
    ASSERT_EQ(Sent.size(), 1);
    EXPECT_EQ(Sent.at(0), QStringLiteral("SMW;%1").arg(PumpSetPoint(pump->value() / 10.0)));

    Sent.clear();
    Window->sliderRE[0]->setFocus();
    QTest::keyClick(Window->sliderRE[0], Qt::Key_End);
    EXPECT_EQ(Sent, QStringList{QStringLiteral("SMS;0;200")});
}

TEST_F(manual_Window, wheel_notchesFromSmallDeltas_noSliderMove)
{
    TSetSlider* s = Window->sliderRE[0];
    const int before = s->value();
    for (int i = 0; i < 3; ++i)
        wheel(s, QPoint(0, -40));
    EXPECT_EQ(Sent, QStringList{QStringLiteral("SMS;0;505")});
    EXPECT_EQ(s->value(), before);
    Sent.clear();
    wheel(s, QPoint(120, 0), Qt::ShiftModifier);  // horizontal only: a tilt wheel
    wheel(s, QPoint(0, 120), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Sent, (QStringList{QStringLiteral("SMS;0;499"), QStringLiteral("SMS;0;480")}));
}

TEST_F(manual_Window, offline_pumpAndStopDisabled_servoLimitsUnknown)
{
    Context.Online = false;
    Window->SetOnOffLine(0);
    Window->TimerEvent(50);
    EXPECT_FALSE(Window->sliderPumpe->isEnabled());
    EXPECT_FALSE(Window->btnStop->isEnabled());
    EXPECT_FALSE(Window->sliderRE[0]->isEnabled());
    EXPECT_EQ(Window->eREMin[0]->text(), QStringLiteral("?"));
    EXPECT_TRUE(Sent.isEmpty());
}

}  // namespace
