#include "presetfile.h"

#include "formatsettings.h"
#include "i18n.h"
#include "settingsini.h"
#include "settingstexts.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <array>
#include <cmath>

namespace {

constexpr int kMaxLogIntervalS = 240;
constexpr double kMaxVolume = 5000.0;
constexpr qint64 kMaxDelayS = 86400;
constexpr qint64 kMinSetTimeS = 1500;
constexpr qint64 kMaxSetTimeS = 3600000;

QString channelKey(const char* key, int channel)
{
    return QLatin1String(key) + QLatin1Char('_') + QString::number(channel);
}

// Windows-1252 at 0x80..0x9F; the rest of the code page is Latin-1. Undefined bytes stay as
// their C1 control characters.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        text += (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

bool isPresetSection(const QString& line, QString& name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
        return false;
    name = t.mid(1, t.size() - 2).trimmed();
    static const QRegularExpression preset(QStringLiteral("^preset_\\d\\d+$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return preset.match(name).hasMatch();
}

}  // namespace

QString PresetSection(int number)
{
    return QString::asprintf("preset_%.2d", number);
}

QString ProposedPresetFileName(const QString& serialNo, const QDateTime& when)
{
    return serialNo + when.toString(QStringLiteral("_yyyyMMdd_HHmmss"));
}

QString PresetFileDecimal(float value, const QLocale& locale)
{
    QString text = QString::number(static_cast<double>(value), 'g', 15);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

double ReadPresetFileDecimal(const QString& text)
{
    static const QRegularExpression strict(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)([eE][+-]?\\d+)?$"));
    QString t = text.trimmed();
    if (!strict.match(t).hasMatch())
        return 0.0;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

void WritePresets(TSettingsIni& ini, const TPresetTable& table, const QLocale& locale)
{
    for (const TPreSet& p : table) {
        // A gap in the table (a preset the device never sent) is no preset.
        if (p.ilfdNr < 1 || p.ilfdNr > kPresetCount)
            continue;
        const QString section = PresetSection(p.ilfdNr);
        ini.WriteString(section, QStringLiteral("name"), p.strBez);
        ini.WriteInteger(section, QStringLiteral("loginterval"), p.iLoginterv);
        for (int c = 1; c <= 2; ++c) {
            const TSampleSet& s = p.aSet[static_cast<size_t>(c - 1)];
            ini.WriteBool(section, channelKey("active", c), s.bActive);
            ini.WriteString(section, channelKey("flow", c), PresetFileDecimal(s.fFlow, locale));
            ini.WriteString(section, channelKey("volume", c), PresetFileDecimal(s.fVolume, locale));
            ini.WriteInteger(section, channelKey("delay", c), s.iDelay);
            ini.WriteInteger(section, channelKey("settime", c), s.iSetTime);
            ini.WriteInteger(section, channelKey("voltype", c), s.iVolType);
            ini.WriteBool(section, channelKey("intervalmode", c), s.bIntervalMode);
            ini.WriteBool(section, channelKey("flowmonitor", c), s.bFlowMonitor);
        }
    }
}

QString PresetFileText(const TSettingsIni& ini)
{
    QStringList lines = ini.ToText().split(QLatin1Char('\n'));
    const bool crlf = !lines.isEmpty() && lines.first().endsWith(QLatin1Char('\r'));
    for (QString& l : lines) {
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QStringList out;
    bool inPreset = false;
    for (const QString& line : std::as_const(lines)) {
        QString name;
        const bool header = line.trimmed().startsWith(QLatin1Char('['));
        if (header) {
            if (inPreset && !out.isEmpty() && !out.last().trimmed().isEmpty())
                out << QString();
            inPreset = isPresetSection(line, name);
        }
        out << line;
    }
    if (inPreset && !out.isEmpty() && !out.last().trimmed().isEmpty())
        out << QString();
    const QString lineBreak = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    return out.join(lineBreak) + lineBreak;
}

bool LoadPresetFile(const QString& fileName, TSettingsIni& ini, QString& error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = fromWindows1252(bytes);
    text.remove(QLatin1Char('\r'));
    ini.LoadFromText(text);
    return true;
}

QString ExportPresetFile(const QString& fileName, const TPresetTable& table, const QLocale& locale)
{
    TSettingsIni ini;
    if (QFile::exists(fileName)) {
        QString error;
        if (!LoadPresetFile(fileName, ini, error))
            return error;
    }
    WritePresets(ini, table, locale);
    try {
        WriteFileAtomically(fileName, PresetFileText(ini).toUtf8());
    } catch (const ESettingsError& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

TPreSet ReadPreset(const TSettingsIni& ini, int number)
{
    const QString section = PresetSection(number);
    TPreSet p;
    p.ilfdNr = number;
    p.strBez = ini.ReadString(section, QStringLiteral("name"), QStringLiteral("Import P %1").arg(number))
                   .left(kPresetNameMaxChars);
    p.iLoginterv = ini.ReadInteger(section, QStringLiteral("loginterval"), 0);
    for (int c = 1; c <= 2; ++c) {
        TSampleSet& s = p.aSet[static_cast<size_t>(c - 1)];
        s.bActive = ini.ReadBool(section, channelKey("active", c), false);
        s.fFlow = static_cast<float>(ReadPresetFileDecimal(ini.ReadString(section, channelKey("flow", c), QString())));
        s.fVolume =
            static_cast<float>(ReadPresetFileDecimal(ini.ReadString(section, channelKey("volume", c), QString())));
        s.iDelay = ini.ReadInteger(section, channelKey("delay", c), 0);
        s.iSetTime = ini.ReadInteger(section, channelKey("settime", c), 0);
        s.iVolType = ini.ReadInteger(section, channelKey("voltype", c), 0);
        s.bIntervalMode = ini.ReadBool(section, channelKey("intervalmode", c), false);
        s.bFlowMonitor = ini.ReadBool(section, channelKey("flowmonitor", c), false);
        s.iTime = (s.fVolume > 0.0f && s.fFlow > 0.0f) ? SampleTimeOf(s.fVolume, s.fFlow) : 0;
    }
    return p;
}

QString CheckImportedPreset(const TPreSet& p, double maxFlow)
{
    const TFormatSettings& fmt = FmtDisplay();
    const QString br = QStringLiteral("\r\n");
    QString errors;
    if (p.iLoginterv < 0 || p.iLoginterv > kMaxLogIntervalS)
        errors += br + fmt.Format(Tr("  Loggingintervall liegt außerhalb des gültigen Bereichs (%d)"), {p.iLoginterv});
    for (int c = 1; c <= 2; ++c) {
        const TSampleSet& s = p.aSet[static_cast<size_t>(c - 1)];
        if (s.iVolType < 0 || s.iVolType > 2)
            errors += br + fmt.Format(Tr("  Kanal %d: Wert für Volumentyp ungütig (%d)"), {c, s.iVolType});
        if (!(s.fFlow >= 0.0f && s.fFlow <= maxFlow))
            errors += br
                      + fmt.Format(Tr("  Kanal %d: Volumenstrom liegt außerhalb des gültigen Bereichs (%.2f)"),
                                   {c, static_cast<double>(s.fFlow)});
        if (!(s.fVolume >= 0.0f && s.fVolume <= kMaxVolume))
            errors += br
                      + fmt.Format(Tr("  Kanal %d: Volumen liegt außerhalb des gültigen Bereichs (%.1f)"),
                                   {c, static_cast<double>(s.fVolume)});
        if (s.iDelay < 0 || s.iDelay > kMaxDelayS)
            errors += br
                      + fmt.Format(Tr("  Kanal %d: Startverzögerung liegt außerhalb des gültigen Bereichs (%d)"),
                                   {c, s.iDelay});
        if (s.bIntervalMode) {
            // In 64 bits: a set time near 2^32 / 60 would wrap into the accepted range.
            const qint64 setTimeS = qint64(s.iSetTime) * 60;
            QString message;
            if (setTimeS < kMinSetTimeS || setTimeS > kMaxSetTimeS)
                errors += br
                          + fmt.Format(Tr("  Kanal %d: Vorgabezeit liegt außerhalb des gültigen Bereichs (%d)"),
                                       {c, s.iSetTime});
            else if (!CheckIntervalTimes(p, message))
                errors += br
                          + fmt.Format(Tr("  Kanal %d: Vorgabezeit ist ungültig: %s (%d)"), {c, message, s.iSetTime});
        }
    }
    return errors;
}

TPresetImport ImportPresets(const TSettingsIni& ini, const TPresetTable& table, double maxFlow)
{
    TPresetImport result;
    for (const TPreSet& known : table) {
        const int n = known.ilfdNr;
        if (n < 1 || n > kPresetCount || !ini.SectionExists(PresetSection(n)))
            continue;
        const TPreSet p = ReadPreset(ini, n);
        const QString errors = CheckImportedPreset(p, maxFlow);
        if (errors.isEmpty())
            result.Accepted << p;
        else
            result.Rejections << FmtDisplay().Format(
                                     Tr("Voreinstellprogramm Nummer %d konnte nicht importiert werden:"), {n})
                                     + errors;
    }
    return result;
}
