#pragma once
// Shared set-up of the adjustment tests: program settings with a private adjustment-log folder,
// German display notation, the orders the window sends, and the log file read back as bytes.

#include "appcontext.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "wireformat.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "qtprinters.h"

inline QString CommandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

struct TKalibTestEnv {
    TKalibTestEnv()
    {
        BuildProgramSettings(Settings);
        Settings.SetStr(QStringLiteral("Paths/AdjustLog"), LogDir.path());
        Settings.SetStr(QStringLiteral("Paths/Log"), LogDir.path());
        SetProgramLanguage(kLangGerman);
    }

    QStringList LogFiles() const { return QDir(LogDir.path()).entryList({QStringLiteral("*.csv")}, QDir::Files); }
    // The raw bytes of a log file.
    QByteArray LogBytes(const QString& name) const
    {
        QFile f(QDir(LogDir.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The lines of a log file without their CR LF (the file in Windows-1252).
    QStringList LogLines(const QString& name) const
    {
        QString text = FromWire(LogBytes(name));
        if (text.endsWith(QStringLiteral("\r\n")))
            text.chop(2);
        return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
    }

    QTemporaryDir LogDir;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
};
