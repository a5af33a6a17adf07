// The memory monitor logic against a scripted order channel: orders are collected, answers fed
// to RXData.

#include "i18n.h"
#include "memlogic.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "wireformat.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "qtprinters.h"

#include <memory>
#include <vector>

namespace {

QString commandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

class memory_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        SetOrderSink([this](const TOrder& o) { Sent.push_back(o); });
        Context.Online = true;
        Logic = std::make_unique<TMemLogic>(Context);
        Logic->SetMessageBox([this](const QString& text) { Messages << text; });
        Logic->FormShow();
    }
    void TearDown() override
    {
        Logic.reset();
        SetOrderSink({});
    }
    void inputs(int target, const QString& address, const QString& count, const QString& write = {}, bool hex = false)
    {
        Logic->SetInputs(TMemInputs{target, address, count, write, hex});
    }
    QStringList takeCommands()
    {
        QStringList list;
        for (const TOrder& o : Sent)
            list << commandOf(o);
        Sent.clear();
        return list;
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TMemLogic> Logic;
    std::vector<TOrder> Sent;
    QStringList Messages;
};

TEST(memory_Input, decimalAndDollarHexOnly)
{
    const struct {
        QString text;
        bool ok;
        int value;
    } cases[] = {
        {QStringLiteral("12"), true, 12},      {QStringLiteral(" $ef "), true, 239},
        {QStringLiteral("$FF"), true, 255},    {QStringLiteral("-3"), true, -3},
        {QStringLiteral("0xEF"), false, 0},    {QStringLiteral("$"), false, 0},
        {QStringLiteral("x"), false, 0},       {QString(), false, 0},
        {QStringLiteral("1 2"), false, 0},     {QStringLiteral("99999999999"), false, 0},
    };
    for (const auto& c : cases) {
        int v = 0;
        EXPECT_EQ(ParseMemInt(c.text, v), c.ok) << c.text.toStdString();
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text.toStdString();
        }
    }
}

TEST_F(memory_Logic, read_limitsTheCount_andNumbersTheRequests)
{
    const struct {
        QString count;
        int sent;
    } cases[] = {{QStringLiteral("0"), 1}, {QStringLiteral("25"), 20}, {QStringLiteral("$A"), 10}};
    for (const auto& c : cases) {
        inputs(1, QStringLiteral("$100"), c.count);
        Logic->btnReadClick();
        ASSERT_EQ(Sent.size(), 1U);
        EXPECT_EQ(commandOf(Sent.front()), QStringLiteral("GHM;2;256;%1").arg(c.sent));
        EXPECT_EQ(Sent.front().TXTag, Logic->RequestCounter());
        const TMemRow& row = Logic->Rows().last();
        EXPECT_EQ(row.Nr, Logic->RequestCounter());
        EXPECT_FALSE(row.Write);
        EXPECT_EQ(row.Count, c.sent);
        EXPECT_EQ(Settings.GetInt(QStringLiteral("MemoryMon/Len")), c.sent);
        EXPECT_EQ(Logic->Inputs().Count, QString::number(c.sent));
        Sent.clear();
    }
    EXPECT_EQ(Settings.GetInt(QStringLiteral("MemoryMon/Address")), 256);
    EXPECT_EQ(Settings.GetInt(QStringLiteral("MemoryMon/Target")), 1);
    EXPECT_EQ(Logic->AddressState(), TFieldState::Sent);

    inputs(0, QStringLiteral("0x10"), QStringLiteral("1"));
    Logic->btnReadClick();
    EXPECT_EQ(Logic->AddressState(), TFieldState::Invalid);
    inputs(0, QStringLiteral("16"), QStringLiteral("viele"));
    Logic->btnReadClick();
    EXPECT_EQ(Logic->CountState(), TFieldState::Invalid);
    EXPECT_TRUE(Sent.empty());
    EXPECT_EQ(Logic->Rows().size(), 3);
}

TEST_F(memory_Logic, write_sendsEveryValue_orRefuses)
{
    inputs(0, QStringLiteral("16"), QStringLiteral("1"), QStringLiteral("1;$FF;3"));
    Logic->btnWriteClick();
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SHM;1;16;3;1;255;3;")});
    EXPECT_EQ(Settings.GetStr(QStringLiteral("MemoryMon/WriteVal")), QStringLiteral("1;$FF;3"));
    EXPECT_EQ(Settings.GetInt(QStringLiteral("MemoryMon/Len")), 3);
    ASSERT_EQ(Logic->Rows().size(), 1);
    EXPECT_TRUE(Logic->Rows().at(0).Write);

    inputs(0, QStringLiteral("16"), QStringLiteral("1"), QStringLiteral("1;x;3"));
    Logic->btnWriteClick();
    EXPECT_EQ(Messages, QStringList{QStringLiteral("Fehler im Byte Nr. 2")});
    inputs(3, QStringLiteral("16"), QStringLiteral("1"), QStringLiteral("1"));
    Logic->btnWriteClick();
    EXPECT_EQ(Messages.last(), QStringLiteral("FLASH kann nicht beschrieben werden!"));
    inputs(0, QStringLiteral("16"), QStringLiteral("1"), QString());
    Logic->btnWriteClick();
    EXPECT_EQ(Logic->WriteState(), TFieldState::Invalid);
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_EQ(Logic->Rows().size(), 1);

    // More values than list columns: all are sent and the row counts them all.
    QStringList many;
    for (int i = 1; i <= 22; ++i)
        many << QString::number(i);
    inputs(2, QStringLiteral("0"), QStringLiteral("1"), many.join(QLatin1Char(';')));
    Logic->btnWriteClick();
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SHM;3;0;22;") + many.join(QLatin1Char(';')) + QLatin1Char(';')});
    Logic->RXData(kOrderDone, Logic->RequestCounter(), QStringLiteral("THM;3;0;22;") + many.join(QLatin1Char(';')) + QLatin1Char(';'));
    EXPECT_EQ(Logic->Rows().last().Data.size(), 22);
    EXPECT_EQ(Logic->Rows().last().Data.last(), QStringLiteral(" 22"));
}

TEST_F(memory_Logic, answers_fillTheRowOfTheirRequest)
{
    inputs(1, QStringLiteral("100"), QStringLiteral("3"), QString(), true);
    Logic->btnReadClick();
    const int first = Logic->RequestCounter();
    Logic->SetInputs(TMemInputs{0, QStringLiteral("5"), QStringLiteral("2"), QString(), false});
    Logic->btnReadClick();
    const int second = Logic->RequestCounter();
    // The second answer first; the first one after the hex option was switched off.
    Logic->RXData(kOrderDone, second, QStringLiteral("THM;1;5;2;7;x;"));
    Logic->RXData(kOrderDone, first, QStringLiteral("THM;2;100;3;1;2;255;"));
    ASSERT_EQ(Logic->Rows().size(), 2);
    EXPECT_EQ(Logic->Rows().at(0).Data, (QStringList{QStringLiteral("  1"), QStringLiteral("  2"), QStringLiteral("255")}));
    EXPECT_EQ(Logic->Rows().at(1).Data, (QStringList{QStringLiteral("  7"), QStringLiteral("??")}));

    inputs(1, QStringLiteral("100"), QStringLiteral("3"), QString(), true);
    Logic->btnReadClick();
    Logic->RXData(kOrderDone, Logic->RequestCounter(), QStringLiteral("THM;2;100;3;1;2;255"));
    EXPECT_EQ(Logic->Rows().last().Data, (QStringList{QStringLiteral("$01"), QStringLiteral("$02"), QStringLiteral("$FF")}));
    // A missing field adds nothing.
    Logic->btnReadClick();
    Logic->RXData(kOrderDone, Logic->RequestCounter(), QStringLiteral("THM;2;100;3;1"));
    EXPECT_EQ(Logic->Rows().last().Data, QStringList{QStringLiteral("$01")});

    // After "Löschen" a late answer finds no row and is dropped.
    Logic->btnReadClick();
    Logic->btnClearClick();
    Logic->RXData(kOrderDone, Logic->RequestCounter(), QStringLiteral("THM;2;100;3;1;2;3;"));
    EXPECT_TRUE(Logic->Rows().isEmpty());

    Logic->RXData(kOrderFailed, Logic->RequestCounter(), QString());
    EXPECT_EQ(Logic->AddressState(), TFieldState::Invalid);
    EXPECT_EQ(Logic->WriteState(), TFieldState::Invalid);
}

TEST_F(memory_Logic, doubleClick_loadsTheRequestBack)
{
    inputs(1, QStringLiteral("$10"), QStringLiteral("1"), QStringLiteral("$0A;2"), true);
    Logic->btnWriteClick();
    Logic->RXData(kOrderDone, Logic->RequestCounter(), QStringLiteral("THM;2;16;2;10;2;"));
    inputs(2, QStringLiteral("7"), QStringLiteral("4"));
    Logic->btnReadClick();
    inputs(0, QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("99"));
    EXPECT_FALSE(Logic->RowDoubleClick(1));
    EXPECT_EQ(Logic->Inputs().Target, 2);
    EXPECT_EQ(Logic->Inputs().Address, QStringLiteral("7"));
    EXPECT_EQ(Logic->Inputs().Count, QStringLiteral("4"));
    EXPECT_EQ(Logic->Inputs().WriteText, QStringLiteral("99"));
    EXPECT_TRUE(Logic->RowDoubleClick(0));
    EXPECT_EQ(Logic->Inputs().Target, 1);
    EXPECT_EQ(Logic->Inputs().Address, QStringLiteral("16"));
    EXPECT_EQ(Logic->Inputs().WriteText, QStringLiteral("$0A;$02"));
}

TEST_F(memory_Logic, storedTargetOutsideTheFour_selectsRam)
{
    for (int stored : {7, 4, -1, 3}) {
        Settings.SetInt(QStringLiteral("MemoryMon/Target"), stored);
        Logic->FormShow();
        EXPECT_EQ(Logic->Inputs().Target, stored == 3 ? 3 : 0) << stored;
    }
    Settings.SetBool(QStringLiteral("MemoryMon/Hex"), true);
    Settings.SetStr(QStringLiteral("MemoryMon/WriteVal"), QStringLiteral("1;2"));
    Settings.SetInt(QStringLiteral("MemoryMon/Address"), 300);
    Logic->FormShow();
    EXPECT_TRUE(Logic->Inputs().Hex);
    EXPECT_EQ(Logic->Inputs().WriteText, QStringLiteral("1;2"));
    EXPECT_EQ(Logic->Inputs().Address, QStringLiteral("300"));
}

}  // namespace
