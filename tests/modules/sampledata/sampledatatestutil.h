#pragma once
// Shared set-up of the sample data tests: program settings, German display notation, the
// orders the window sends, the messages it leaves in the status bar, and record texts as the
// device sends them.

#include "appcontext.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "wireformat.h"

#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <vector>

#include "qtprinters.h"

inline QString CommandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

struct TSampleTestEnv {
    TSampleTestEnv()
    {
        BuildProgramSettings(Settings);
        Settings.SetStr(QStringLiteral("Paths/Log"), LogDir.path());
        SetProgramLanguage(kLangGerman);
        Context.Device.SerialNo = QStringLiteral("SV2000123");
        Context.Device.DeviceState = 4;
        Context.Online = true;
    }
    QTemporaryDir LogDir;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
};

// Collects what SendOrder queues and the system messages, for the life of the object.
struct TOrderRecorder {
    TOrderRecorder()
    {
        SetOrderSink([this](const TOrder& o) { Orders.push_back(o); });
        SetStatusMessageHook([this](const QString& text, bool alarm) { SysMessages << (alarm ? QStringLiteral("ALARM ") : QString()) + text; });
    }
    ~TOrderRecorder()
    {
        SetOrderSink({});
        SetStatusMessageHook({});
    }
    QStringList commands() const
    {
        QStringList list;
        for (const TOrder& o : Orders)
            list << CommandOf(o);
        return list;
    }
    QString last() const { return Orders.empty() ? QString() : CommandOf(Orders.back()); }
    int lastTag() const { return Orders.empty() ? -1 : Orders.back().TXTag; }
    std::vector<TOrder> Orders;
    QStringList SysMessages;
};

// Fields 3 .. 34 of a plausible "TDR" record, keyed by field number; replace what a case needs.
inline std::map<int, QString> DefaultRecordFields(int number)
{
    std::map<int, QString> f{
        {3, "1"},          {4, QString::number(number)}, {5, "03.03.2026"}, {6, "14:25:10"}, {7, "1"},
        {8, "0"},          {9, "0"},          {10, "2967"},       {11, "513"},       {12, "10132"},
        // channel 1: success, SL, flow monitor, 1.50 l/min, 120.0 l set, 123.45 l sampled, 82 min
        {13, "1"},         {14, "0"},         {15, "03.03.2026"}, {16, "13:02:00"},  {17, "21"},
        {18, "150"},       {19, "1200"},      {20, "0"},          {21, "1"},         {22, "12345"},
        {23, "4938"},
        // channel 2: inactive
        {24, "4"},         {25, "0"},         {26, ""},           {27, ""},          {28, "0"},
        {29, "0"},         {30, "0"},         {31, "0"},          {32, "0"},         {33, "0"},
        {34, "0"}};
    return f;
}

inline QString RecordLine(const std::map<int, QString>& fields)
{
    QStringList parts;
    for (int n = 3; n <= 34; ++n)
        parts << fields.at(n);
    return parts.join(QLatin1Char(';'));
}

inline QString TdrAnswer(int number, const std::map<int, QString>& changes = {})
{
    std::map<int, QString> f = DefaultRecordFields(number);
    for (const auto& [k, v] : changes)
        f[k] = v;
    return QStringLiteral("TDR;0;") + RecordLine(f) + QStringLiteral(";");
}

// Fields 4 .. 13 of a "TDN" entry.
inline QString LogLine(int second, int flow1 = 9500)
{
    return QStringLiteral("03.03.2026;13:%1:00;%2;0;0;0;0;2967;513;10132").arg(second, 2, 10, QLatin1Char('0')).arg(flow1);
}
