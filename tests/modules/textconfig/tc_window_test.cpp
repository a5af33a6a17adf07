// The text configuration window over its logic: enabled buttons, the text area as the user and
// the transfer change it, the counter panel and the colours of the system messages.

#include "tctestutil.h"
#include "tftc.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class textconfig_Window : public ::testing::Test {
protected:
    void SetUp() override { SetOrderSink([this](const TOrder& o) { FSent.push_back(o); }); }
    void TearDown() override
    {
        Window.reset();
        SetSysMeldWindow(nullptr);
        SetOrderSink({});
    }
    void open(bool online, bool service)
    {
        Env.Context.Online = online;
        Env.Context.ServiceMode = service;
        Window = std::make_unique<Tftc>(Env.Context);
        Window->show();
    }
    void tickUntilSent()
    {
        for (int i = 0; i < 50 && FSent.empty(); ++i)
            Window->TimerEvent(50);
    }

    TTcTestEnv Env;
    std::unique_ptr<Tftc> Window;
    std::vector<TOrder> FSent;
};

TEST_F(textconfig_Window, serviceButtonsAndTheOnlineState)
{
    for (bool service : {false, true}) {
        open(false, service);
        EXPECT_EQ(Window->btnKonfDateiLaden->isVisible(), service);
        EXPECT_EQ(Window->btnAuslesen->isVisible(), service);
        EXPECT_EQ(Window->btnKonfDatSpeichern->isVisible(), service);
        EXPECT_TRUE(Window->btnDateiLaden->isVisible());
        EXPECT_FALSE(Window->btnUebertragen->isEnabled());
        EXPECT_FALSE(Window->btnAbbrechen->isEnabled());
        Env.Context.Online = true;
        Window->SetOnOffLine(1);
        EXPECT_TRUE(Window->btnUebertragen->isEnabled());
        EXPECT_EQ(Window->memKonfig->accessibleName(), QStringLiteral("Konfigurationsdaten"));
    }
}

TEST_F(textconfig_Window, typedLinesAreSent_areaReadOnlyWhileTheTransferRuns)
{
    auto sysMeld = std::make_unique<TfSysMeld>(Env.Context);
    SetSysMeldWindow(sysMeld.get());
    open(true, true);
    QTest::keyClicks(Window->memKonfig, QStringLiteral("# Test"));
    QTest::keyClick(Window->memKonfig, Qt::Key_Return);
    QTest::keyClicks(Window->memKonfig, QStringLiteral("SSB;4"));
    EXPECT_EQ(Window->Logic().Lines(), (QStringList{QStringLiteral("# Test"), QStringLiteral("SSB;4")}));
    QTest::mouseClick(Window->btnUebertragen, Qt::LeftButton);
    EXPECT_TRUE(Window->memKonfig->isReadOnly());
    EXPECT_FALSE(Window->btnLoeschen->isEnabled());
    EXPECT_FALSE(Window->btnKonfDatSpeichern->isEnabled());
    EXPECT_TRUE(Window->btnAbbrechen->isEnabled());
    tickUntilSent();
    ASSERT_EQ(FSent.size(), 1U);
    EXPECT_EQ(CommandOf(FSent.front()), QStringLiteral("SSB;4"));
    EXPECT_EQ(Window->panZeile->text(), QStringLiteral("2 von 2"));
    EXPECT_EQ(Window->pbFortschritt->value(), 2);
    EXPECT_EQ(Window->pbFortschritt->maximum(), 2);
    Window->RXData(kOrderDone, FSent.front().TXTag, QStringLiteral("TSB;4;"));
    Window->TimerEvent(50);
    EXPECT_FALSE(Window->memKonfig->isReadOnly());
    EXPECT_TRUE(Window->btnUebertragen->isEnabled());

    const QTextDocument* doc = sysMeld->mem1->document();
    const auto lineWith = [doc](const QString& text) {
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (b.text().endsWith(text))
                return b;
        }
        return QTextBlock();
    };
    const QTextBlock answer = lineWith(QStringLiteral("Nr.1 >SSB;4< Antwort:>TSB;4;<)!"));
    ASSERT_TRUE(answer.isValid());
    EXPECT_EQ(answer.begin().fragment().charFormat().foreground().color(), QColor(128, 0, 128));
    EXPECT_TRUE(lineWith(QStringLiteral("Übertragung beendet")).isValid());
}

TEST_F(textconfig_Window, readBackShowsInTheTextArea)
{
    open(true, true);
    Window->Logic().SetLines({QStringLiteral("GSB@SSB@2"), QStringLiteral("%@§TIME§")});
    EXPECT_EQ(Window->memKonfig->toPlainText(), QStringLiteral("GSB@SSB@2\n%@§TIME§"));
    Window->Logic().ParseItems();
    QTest::mouseClick(Window->btnAuslesen, Qt::LeftButton);
    tickUntilSent();
    ASSERT_EQ(FSent.size(), 1U);
    Window->RXData(kOrderDone, 0, QStringLiteral("TSB;6;"));
    Window->TimerEvent(50);
    Window->TimerEvent(50);
    EXPECT_EQ(Window->memKonfig->toPlainText(), QStringLiteral("SSB;6;\n§TIME§"));
    // Shown, not typed: the logic's lines stay as they are.
    EXPECT_EQ(Window->Logic().Lines(), (QStringList{QStringLiteral("SSB;6;"), QStringLiteral("§TIME§")}));
    QTest::mouseClick(Window->btnLoeschen, Qt::LeftButton);
    EXPECT_TRUE(Window->memKonfig->toPlainText().isEmpty());
    EXPECT_TRUE(Window->Logic().Lines().isEmpty());
}

}  // namespace
