#pragma once
// Small time-stamped text logs in the log directory for the modules. Each call opens, appends
// and closes, so a crash loses at most the line being written. Texts are written as UTF-8.
// User-interface thread only (the settings tree has no lock).

#include <QDateTime>
#include <QString>

class QFile;
class TFSettingsForm;

// "Paths/Log"; an empty setting is first set to "." (the current directory).
QString LogDirectory(TFSettingsForm& settings);

// Opens name in the log directory for appending, creating it when missing. A name that is an
// absolute path is used as it is. False when the file can be neither opened nor created.
bool OpenLogFile(TFSettingsForm& settings, QFile& file, const QString& name);

// The name of the file in the log directory that is name but for case, or name when there is
// none: on a file system that tells case apart, "x.CSV" and "x.csv" would be two files.
QString ExistingLogFileName(TFSettingsForm& settings, const QString& name);

// Appends "dd.mm.yyyy hh:nn:ss,zzz  ;" + text to prefix + "yyyymmdd" + ".log" of the day of now.
// A file that cannot be opened drops the line.
void WriteDailyLog(TFSettingsForm& settings, const QString& prefix, const QString& text,
                   const QDateTime& now = QDateTime::currentDateTime());

// Appends "dd.mm.yyyy;hh:nn:ss,zzz;" + text to fileName in the log directory.
void WriteLogLine(TFSettingsForm& settings, const QString& fileName, const QString& text,
                  const QDateTime& now = QDateTime::currentDateTime());

// Files the program keeps writing while it runs. When one cannot be written (its folder vanished
// or is full) the program goes on without it, and the user is told once per kind; told again
// only after a write of that kind has worked in between.
enum class TFileKind { Log, Protocol };
void NoteFileWriteFailed(TFileKind kind, const QString& fileName, const QString& reason);
void NoteFileWriteWorked(TFileKind kind);

// The line end of text files on this platform.
inline constexpr const char* kLineEnd =
#ifdef Q_OS_WIN
    "\r\n";
#else
    "\n";
#endif
