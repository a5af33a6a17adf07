#pragma once
// Shared set-up of the text configuration tests: program settings with private folders, German
// texts, the orders sent and the system messages shown.

#include "appcontext.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "wireformat.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "qtprinters.h"

// The command text of a frame: everything before the checksum field.
inline QString CommandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

struct TSysLine {
    QString Text;
    bool Alarm = false;
    bool operator==(const TSysLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TSysLine& l)
{
    return os << (l.Alarm ? "ALARM " : "") << l.Text.toStdString();
}

struct TTcTestEnv {
    TTcTestEnv()
    {
        BuildProgramSettings(Settings);
        Settings.SetStr(QStringLiteral("Paths/Log"), Dir.path());
        Settings.SetStr(QStringLiteral("Paths/Config"), Dir.path());
        SetProgramLanguage(kLangGerman);
        SetStatusMessageHook([this](const QString& text, bool alarm) { SysLines.push_back({text, alarm}); });
    }
    ~TTcTestEnv() { SetStatusMessageHook({}); }

    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    bool Write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(Path(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    QByteArray Read(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool HasSysLine(const QString& text, bool alarm) const
    {
        for (const TSysLine& l : SysLines) {
            if (l.Text == text && l.Alarm == alarm)
                return true;
        }
        return false;
    }

    QTemporaryDir Dir;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::vector<TSysLine> SysLines;
};
