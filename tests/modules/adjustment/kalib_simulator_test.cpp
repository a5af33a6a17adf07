// The virtual device's calibration commands: answers in their read layout, refusals of what the
// device cannot store, and the `flow` control that moves a channel's sensor voltage.

#include "calibrationstate.h"
#include "commandtable.h"
#include "controlcommands.h"
#include "devicemodel.h"
#include "families.h"
#include "virtualsarvik.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "qtprinters.h"

namespace {

class adjustment_Simulator : public ::testing::Test {
protected:
    void SetUp() override { RegisterAllCommands(Table); }
    QString ask(const QString& command) { return AnswerPayload(Table, Model, command); }

    TCommandTable Table;
    TDeviceModel Model{TSimIdentity{}, 5u, QDateTime(QDate(2024, 1, 31), QTime(12, 0))};
};

TEST_F(adjustment_Simulator, setsAnswerWithTheReadLayout_andRefuseWhatTheDeviceCannotStore)
{
    const std::pair<const char*, const char*> exchanges[] = {
        {"SCF;1;3;0.5", "TCF;1;3;0.5000000;"},
        {"GCF;1;3", "TCF;1;3;0.5000000;"},
        {"SCF;0;4;0.8812000", "TCF;0;4;0.8812000;"},
        {"SCF;0;6;1.0", "TCF;?;"},
        {"SCF;2;0;1.0", "TCF;?;"},
        {"SCF;0;0;1,0", "TCF;?;"},
        {"GCF;0", "TCF;?;"},
        {"SCS;1;800;200", "TCS;1;800;200;"},
        {"GCS;1", "TCS;1;800;200;"},
        {"SCS;2;800;200", "TCS;?;"},
        {"SCC;2;10;5;0", "TCC;2;10;5;0;"},
        {"GCC;2", "TCC;2;10;5;0;"},
        {"SCC;2;10;x;0", "TCC;?;"},
        {"SCR;120;-7", "TCR;120;-7;"},
        {"SCD;06/2027;1500", "TCD;06/2027;1500;"},
        {"SCD;2027;1500", "TCD;?;"},
        {"SCL;07.03.2025;1234", "TCL;07.03.2025;1234;"},
        {"GCL", "TCL;07.03.2025;1234;"},
        {"SCL;31.02.2025;1234", "TCL;?;"},
        {"SAT", "TAT;0;"},
    };
    for (const auto& [command, answer] : exchanges)
        EXPECT_EQ(ask(QString::fromUtf8(command)), QString::fromUtf8(answer)) << command;
}

TEST_F(adjustment_Simulator, peripheralSetsStoreAnOffsetThatMakesTheReadingTrue)
{
    EXPECT_EQ(ask(QStringLiteral("SCA;10132")).section(QLatin1Char(';'), 1, 1), QStringLiteral("10132"));
    EXPECT_EQ(ask(QStringLiteral("GCA")).section(QLatin1Char(';'), 1, 1), QStringLiteral("10132"));
    EXPECT_EQ(ask(QStringLiteral("SCB;12.600")).section(QLatin1Char(';'), 1, 1), QStringLiteral("12.60"));
    // The reading moves in the offset's steps: within half a step of the true value.
    EXPECT_NEAR(ask(QStringLiteral("SCV;5.000")).section(QLatin1Char(';'), 1, 1).toDouble(), 5.0, 0.0025);
    EXPECT_EQ(ask(QStringLiteral("SCI;50")).section(QLatin1Char(';'), 1, 2), QStringLiteral("50;5"));
    EXPECT_EQ(ask(QStringLiteral("SCA;1")), QStringLiteral("TCA;?;"));
}

TEST_F(adjustment_Simulator, sensorVoltageRisesWithTheFlow_andTheFlowControlMovesIt)
{
    EXPECT_NEAR(SensorVoltage(0.0), 0.95, 1e-9);
    EXPECT_NEAR(SensorVoltage(2.0), 4.5, 1e-9);
    for (double f = 0.0; f < 2.0; f += 0.1)
        EXPECT_LT(SensorVoltage(f), SensorVoltage(f + 0.1)) << f;

    QTemporaryDir root;
    TVirtualSarvikOptions o;
    o.root = root.path();
    TVirtualSarvik device(o);
    ASSERT_TRUE(device.start());
    EXPECT_EQ(ExecuteControlCommand(device, QStringLiteral("flow 2 1.5")), QStringLiteral("ok flow 2 1.500"));
    EXPECT_TRUE(ExecuteControlCommand(device, QStringLiteral("flow 3 1")).startsWith(QStringLiteral("error")));
    EXPECT_TRUE(ExecuteControlCommand(device, QStringLiteral("flow 1 -1")).startsWith(QStringLiteral("error")));
    QString answer;
    TCommandTable table;
    RegisterAllCommands(table);
    device.withModel([&](TDeviceModel& m) { answer = AnswerPayload(table, m, QStringLiteral("GMV;0")); });
    const QStringList fields = answer.split(QLatin1Char(';'));
    ASSERT_EQ(fields.size(), 4) << answer.toStdString();
    EXPECT_NEAR(fields[1].toDouble(), SensorVoltage(0.0), 0.002);
    EXPECT_NEAR(fields[2].toDouble(), SensorVoltage(1.5), 0.002);
    EXPECT_EQ(ExecuteControlCommand(device, QStringLiteral("flow 2 off")), QStringLiteral("ok flow 2 off"));
    device.withModel([&](TDeviceModel& m) { answer = AnswerPayload(table, m, QStringLiteral("GMV;0")); });
    EXPECT_NEAR(answer.section(QLatin1Char(';'), 2, 2).toDouble(), SensorVoltage(0.0), 0.002);
    device.stop();
}

}  // namespace
