#pragma once
// The communication protocol: every line of device traffic, written to
// "SarvikControl_" + "yyyymmddhhnnss" + ".txt" in the log directory while "General/Logging" is on.
// The file stays open for the run and is flushed after every line, so a crash keeps the traffic
// that led up to it.
//
// Encoding: the header and the tags are UTF-8 ("Gerät" as two bytes for the "ä"); the data are
// the device's own bytes (Windows-1252) written as they are, apart from CR and LF, which appear as
// "<CR>" and "<LF>". A reader therefore sees exactly what went over the wire.
//
// User-interface thread only; the worker reaches it through TLinkLog's hook.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>

class TFSettingsForm;

class TProtocolFile {
public:
    using TClock = std::function<QDateTime()>;

    // programVersion is the "%d.%d.%d" of the header; an empty clock means the local time.
    TProtocolFile(TFSettingsForm& settings, QString programVersion, TClock clock = {});
    ~TProtocolFile();
    TProtocolFile(const TProtocolFile&) = delete;
    TProtocolFile& operator=(const TProtocolFile&) = delete;

    // Empties the status bar message, creates the file (overwriting one of the same name) and
    // writes the header. A file that cannot be created leaves the protocol closed, unreported.
    bool Open();
    // Opens first when needed; false when that fails. Appends tag, tab, "hh:nn:ss:zzz", tab, data.
    // A file that cannot be written (folder gone or full) is closed and the user told once; the
    // next line tries a new file.
    bool Write(const QString& tag, const QByteArray& data);
    // Writes "Protokollende am ..." and closes; nothing when not open.
    void Close();

    bool IsOpen() const { return FFile.isOpen(); }
    QString FileName() const { return FFile.fileName(); }

    // The header lines 1 to 6 for a start at time now (without line ends).
    QStringList HeaderLines(const QDateTime& now) const;
    // tag, tab, time, tab, data with CR and LF spelled out.
    static QByteArray EventLine(const QString& tag, const QTime& time, const QByteArray& data);

private:
    QDateTime now() const;
    void writeLine(const QByteArray& line);
    void failed(const QString& reason);

    TFSettingsForm& FSettings;
    QString FProgramVersion;
    TClock FClock;
    QFile FFile;
};

// "dd.mm.yyyy um hh:nn:ss Uhr" with the words translated.
QString ProtocolTimeText(const QDateTime& time);

// Creates the program's one protocol and makes it the target of the link's traffic log.
// Calling it again replaces the protocol (closing the old one).
void ConnectProtocolToLink(TFSettingsForm& settings, const QString& programVersion,
                           TProtocolFile::TClock clock = {});
// The connected protocol, or nullptr.
TProtocolFile* Protocol();

// The operations on the connected protocol; without one they do nothing (ProtocolWrite: false).
void ProtocolOpen();
bool ProtocolWrite(const QString& tag, const QByteArray& data);
void ProtocolClose();
