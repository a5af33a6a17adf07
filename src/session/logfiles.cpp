#include "logfiles.h"

#include "formatsettings.h"
#include "i18n.h"
#include "settingsform.h"
#include "sysmessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kLogDirPath = QStringLiteral("Paths/Log");

bool& toldAbout(TFileKind kind)
{
    static bool told[2] = {false, false};
    return told[kind == TFileKind::Log ? 0 : 1];
}

void appendLine(TFSettingsForm& settings, const QString& name, const QString& line)
{
    QFile file;
    if (!OpenLogFile(settings, file, name)) {
        NoteFileWriteFailed(TFileKind::Log, file.fileName(), file.errorString());
        return;
    }
    const QByteArray bytes = (line + QLatin1String(kLineEnd)).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        NoteFileWriteFailed(TFileKind::Log, file.fileName(), file.errorString());
        return;
    }
    NoteFileWriteWorked(TFileKind::Log);
}

}  // namespace

QString LogDirectory(TFSettingsForm& settings)
{
    QString dir = settings.GetStr(kLogDirPath);
    if (dir.isEmpty()) {
        dir = QStringLiteral(".");
        QString err;
        settings.SetStr(kLogDirPath, dir, err);
    }
    return dir;
}

bool OpenLogFile(TFSettingsForm& settings, QFile& file, const QString& name)
{
    file.setFileName(QDir(LogDirectory(settings)).filePath(name));
    // Append creates a missing file; a second try covers a file that vanished in between.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

QString ExistingLogFileName(TFSettingsForm& settings, const QString& name)
{
    const QDir dir(LogDirectory(settings));
    if (QFileInfo::exists(dir.filePath(name)))
        return name;
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& f : files) {
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    return name;
}

void WriteDailyLog(TFSettingsForm& settings, const QString& prefix, const QString& text, const QDateTime& now)
{
    const QString name = prefix + now.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
    appendLine(settings, name, now.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss,zzz  ")) + QLatin1Char(';') + text);
}

void WriteLogLine(TFSettingsForm& settings, const QString& fileName, const QString& text, const QDateTime& now)
{
    appendLine(settings, fileName, now.toString(QStringLiteral("dd.MM.yyyy;hh:mm:ss,zzz;")) + text);
}

void NoteFileWriteFailed(TFileKind kind, const QString& fileName, const QString& reason)
{
    bool& told = toldAbout(kind);
    if (told)
        return;
    // Set first: showing the message may itself write a log.
    told = true;
    ShowSysMessage(FmtDisplay().Format(Tr("Datei %s konnte nicht geschrieben werden: %s"), {fileName, reason}), true);
}

void NoteFileWriteWorked(TFileKind kind)
{
    toldAbout(kind) = false;
}
