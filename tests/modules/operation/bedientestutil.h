#pragma once
// Shared set-up of the operation window tests: the program settings with a private log folder,
// German display notation, and the orders the window sends.

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

#include <ostream>
#include <vector>

#include "qtprinters.h"

// The command text of a frame: everything before the checksum field.
inline QString CommandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

struct TBedienTestEnv {
    TBedienTestEnv()
    {
        BuildProgramSettings(Settings);
        Settings.SetStr(QStringLiteral("Paths/Log"), LogDir.path());
        SetProgramLanguage(kLangGerman);
    }

    QStringList LogFiles() const { return QDir(LogDir.path()).entryList(QDir::Files); }
    QStringList ReadLog(const QString& name) const
    {
        QFile f(QDir(LogDir.path()).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir LogDir;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
};
