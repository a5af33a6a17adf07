#pragma once
// Shared set-up of the device settings window tests: program settings, German display notation,
// and the orders the window sends.

#include "appcontext.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "wireformat.h"

#include <QRegularExpression>
#include <QStringList>

#include "qtprinters.h"

// The command text of a frame: everything before the checksum field.
inline QString CommandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

struct TSentOrder {
    int client = 0;
    int tag = 0;
    QString command;
};

// Collects what SendOrder queues while it lives.
struct TOrderCapture {
    TOrderCapture()
    {
        SetOrderSink([this](const TOrder& o) { Orders.push_back({o.Sender, o.TXTag, CommandOf(o)}); });
    }
    ~TOrderCapture() { SetOrderSink({}); }
    TOrderCapture(const TOrderCapture&) = delete;
    TOrderCapture& operator=(const TOrderCapture&) = delete;

    QStringList Commands() const
    {
        QStringList list;
        for (const TSentOrder& o : Orders)
            list << o.command;
        return list;
    }
    // Commands sent with a set command's word ("SS.").
    QStringList SetCommands() const { return Commands().filter(QRegularExpression(QStringLiteral("^SS"))); }
    void Clear() { Orders.clear(); }

    std::vector<TSentOrder> Orders;
};

struct TEinstellTestEnv {
    TEinstellTestEnv()
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
};
