#include "protocolfile.h"

#include "formatsettings.h"
#include "i18n.h"
#include "linklog.h"
#include "logfiles.h"
#include "sysmessages.h"

#include <QDir>

#include <cerrno>

namespace {

constexpr int kRuleWidth = 74;

std::unique_ptr<TProtocolFile>& connectedProtocol()
{
    static std::unique_ptr<TProtocolFile> protocol;
    return protocol;
}

}  // namespace

QString ProtocolTimeText(const QDateTime& time)
{
    // TRANSLATORS: between date and time, "31.01.2024 um 17:45:02 Uhr"
    const QString at = Tr("um");
    // TRANSLATORS: after the time, "31.01.2024 um 17:45:02 Uhr"
    const QString clock = Tr("Uhr");
    return time.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') + at + QLatin1Char(' ') +
           time.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char(' ') + clock;
}

TProtocolFile::TProtocolFile(TFSettingsForm& settings, QString programVersion, TClock clock)
    : FSettings(settings)
    , FProgramVersion(std::move(programVersion))
    , FClock(std::move(clock))
{
}

// Only closes the file: the end line needs the translation, which may be gone at exit.
TProtocolFile::~TProtocolFile() = default;

QDateTime TProtocolFile::now() const
{
    return FClock ? FClock() : QDateTime::currentDateTime();
}

QStringList TProtocolFile::HeaderLines(const QDateTime& time) const
{
    const TFormatSettings& fmt = FmtDisplay();
    return {
        fmt.Format(Tr("SarvikControl - Protokolldatei Datenverkehr Sarvik2V2 (Version %s)"), {FProgramVersion}),
        QStringLiteral(" "),
        fmt.Format(Tr("Protokollstart am %s"), {ProtocolTimeText(time)}),
        QStringLiteral(" "),
        Tr("Sender") + QStringLiteral(" \t") + Tr("Zeit") + QStringLiteral("   \t") + Tr("Daten"),
        QString(kRuleWidth, QLatin1Char('-')),
    };
}

QByteArray TProtocolFile::EventLine(const QString& tag, const QTime& time, const QByteArray& data)
{
    QByteArray line = tag.toUtf8();
    line += '\t';
    line += time.toString(QStringLiteral("hh:mm:ss:zzz")).toLatin1();
    line += '\t';
    line.reserve(line.size() + data.size() + 8);
    for (const char c : data) {
        if (c == '\r')
            line += "<CR>";
        else if (c == '\n')
            line += "<LF>";
        else
            line += c;
    }
    return line;
}

void TProtocolFile::writeLine(const QByteArray& line)
{
    FFile.write(line + kLineEnd);
}

bool TProtocolFile::Open()
{
    StatusMessage(QString(), false);
    if (FFile.isOpen())
        FFile.close();
    const QDateTime opened = now();
    const QString name = QStringLiteral("SarvikControl_") + opened.toString(QStringLiteral("yyyyMMddhhmmss")) +
                         QStringLiteral(".txt");
    FFile.setFileName(QDir(LogDirectory(FSettings)).filePath(name));
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    StatusMessage(FmtDisplay().Format(Tr("Protokolldatei \"%s\" geöffnet"), {FFile.fileName()}), false);
    for (const QString& line : HeaderLines(opened))
        writeLine(line.toUtf8());
    FFile.flush();
    return true;
}

bool TProtocolFile::Write(const QString& tag, const QByteArray& data)
{
    if (!FFile.isOpen() && !Open()) {
        failed(FFile.errorString());
        return false;
    }
    // A vanished folder takes the open file with it: its lines would go nowhere.
    if (!FFile.exists()) {
        failed(qt_error_string(ENOENT));
        return false;
    }
    const QByteArray line = EventLine(tag, now().time(), data) + kLineEnd;
    if (FFile.write(line) != line.size() || !FFile.flush()) {
        failed(FFile.errorString());
        return false;
    }
    NoteFileWriteWorked(TFileKind::Protocol);
    return true;
}

void TProtocolFile::failed(const QString& reason)
{
    const QString name = FFile.fileName();
    // Closed, so the unwritten lines are not kept piling up in memory.
    if (FFile.isOpen())
        FFile.close();
    NoteFileWriteFailed(TFileKind::Protocol, name, reason);
}

void TProtocolFile::Close()
{
    if (!FFile.isOpen())
        return;
    writeLine(FmtDisplay().Format(Tr("Protokollende am %s"), {ProtocolTimeText(now())}).toUtf8());
    FFile.close();
}

void ConnectProtocolToLink(TFSettingsForm& settings, const QString& programVersion, TProtocolFile::TClock clock)
{
    ProtocolClose();
    connectedProtocol() = std::make_unique<TProtocolFile>(settings, programVersion, std::move(clock));
    TLinkLog::instance().setHook([](const QString& tag, const QByteArray& data) { ProtocolWrite(tag, data); });
}

TProtocolFile* Protocol()
{
    return connectedProtocol().get();
}

void ProtocolOpen()
{
    if (TProtocolFile* p = Protocol())
        p->Open();
}

bool ProtocolWrite(const QString& tag, const QByteArray& data)
{
    TProtocolFile* p = Protocol();
    return p && p->Write(tag, data);
}

void ProtocolClose()
{
    if (TProtocolFile* p = Protocol())
        p->Close();
}
