#include "tclogic.h"

#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmessages.h"
#include "wireformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTextConfig, "sarvik.modules.textconfig")

namespace {

constexpr int kClientId = ciTc;
const QString kConfigPath = QStringLiteral("Paths/Config");
const QString kNamePrefix = QStringLiteral("Sarvik2V2Konfig_");
const QString kStampFormat = QStringLiteral("yyyyMMddHHmmss");
const QString kDatePlaceholder = QStringLiteral("§DATE§");
const QString kTimePlaceholder = QStringLiteral("§TIME§");

QString format(const char* msgid, const QVariantList& args)
{
    return FmtDisplay().Format(Tr(msgid), args);
}

bool isSkipped(const QString& line)
{
    return line.isEmpty() || line.startsWith(QLatin1Char('#'));
}

// Qt filter of a load or save dialog: the kind's own files, text files, all files.
QString dialogFilter(const char* caption, const QString& ext)
{
    const auto pattern = [](const QString& e) {
        return QStringLiteral(" (*.%1 *.%2)").arg(e.toLower(), e.toUpper());
    };
    return Tr(caption) + pattern(ext) + QStringLiteral(";;") + Tr("Textdateien") + pattern(QStringLiteral("txt"))
           + QStringLiteral(";;") + Tr("Alle Dateien") + QStringLiteral(" (*)");
}

// A serial number as part of a file name: without "/" and control characters.
QString fileNamePart(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (c != QLatin1Char('/') && c.category() != QChar::Other_Control)
            out += c;
    }
    return out.trimmed();
}

}  // namespace

// ---- text helpers ----

QStringList SplitTextLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

QStringList DescriptionFields(const QString& line)
{
    return line.split(QLatin1Char('@'));
}

QString DecodeTextFile(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    return FromWire(data);
}

QByteArray EncodeTextFile(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += ToWire(line) + "\r\n";
    return out;
}

QString WithDefaultSuffix(const QString& path, const QString& suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

QString ApplyPlaceholders(const QString& line, const QDateTime& now)
{
    if (line.contains(kTimePlaceholder))
        return QStringLiteral("SST;") + now.time().toString(QStringLiteral("HH:mm:ss"));
    if (line.contains(kDatePlaceholder))
        return QStringLiteral("SSD;") + now.date().toString(QStringLiteral("dd.MM.yyyy"));
    return line;
}

// ---- logic ----

TTcLogic::TTcLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
    , FNow(&QDateTime::currentDateTime)
{
    updateControls();
}

void TTcLogic::SetNow(TNow now)
{
    FNow = now ? std::move(now) : TNow(&QDateTime::currentDateTime);
}

void TTcLogic::updateControls()
{
    const bool busy = Busy();
    FControls.Uebertragen = FContext.Online && !busy;
    FControls.Auslesen = !busy;
    FControls.Abbrechen = FRunning;
    FControls.Edit = !busy;
    Q_EMIT ViewChanged();
}

void TTcLogic::SetText(const QString& text)
{
    if (Busy())
        return;
    FLines = SplitTextLines(text);
}

void TTcLogic::SetLines(const QStringList& lines)
{
    if (Busy())
        return;
    FLines = lines;
    Q_EMIT LinesChanged();
}

QString TTcLogic::lineAt(int index) const
{
    return index >= 0 && index < FLines.size() ? FLines.at(index) : QString();
}

void TTcLogic::setLine(int index, const QString& text)
{
    if (index < 0)
        return;
    // The text area may have become shorter than the item list (cleared or edited).
    while (FLines.size() <= index)
        FLines.append(QString());
    FLines[index] = text;
    Q_EMIT LinesChanged();
}

// ---- description ----

void TTcLogic::ParseItems()
{
    if (Busy())
        return;
    FItems.clear();
    for (int i = 0; i < FLines.size(); ++i) {
        const QString& line = FLines.at(i);
        T_KONFDATA item;
        if (!line.trimmed().isEmpty()) {
            const QStringList fields = DescriptionFields(line);
            item.sRequest = fields.at(0).trimmed();
            const bool comment = item.sRequest.startsWith(QLatin1Char('#'));
            const bool literal = item.sRequest.startsWith(QLatin1Char('%'));
            if (!comment) {
                if (fields.size() < 2) {
                    Q_EMIT Status(format("Fehler bei Token %d in Zeile %d Satz: %s", {2, i + 1, line}), true);
                } else {
                    item.sWrite = fields.at(1);
                    bool ok = literal;
                    if (!literal && fields.size() >= 3)
                        item.iFromTok = fields.at(2).trimmed().toInt(&ok);
                    if (ok) {
                        ShowSysMessage(FmtPoint().Format(QStringLiteral("%d: %8s  %4s  %d"),
                                                         {i, item.sRequest, item.sWrite, item.iFromTok}),
                                       false);
                    } else {
                        Q_EMIT Status(format("Fehler bei Token %d in Zeile %d Satz: %s", {3, i + 1, line}), true);
                    }
                }
            }
        }
        FItems.append(item);
    }
}

// ---- transfer ----

void TTcLogic::StartTransfer(TTcMode mode)
{
    if (Busy())
        return;
    if (mode == TTcMode::Send && !FContext.Online) {
        Q_EMIT Status(Tr("Funktion nur online möglich"), true);
        return;
    }
    const int total = mode == TTcMode::Send ? static_cast<int>(FLines.size()) : static_cast<int>(FItems.size());
    FMode = mode;
    FNextIndex = 0;
    FTotal = total;
    FProgressMax = total;
    if (total == 0) {
        Q_EMIT ViewChanged();
        return;
    }
    FRunning = true;
    FAborted = false;
    FReady = true;
    FAwaitedIndex = -1;
    FCounterText.clear();
    FProgressValue = 0;
    updateControls();
}

void TTcLogic::btnAbbrechenClick()
{
    if (FRunning)
        FAborted = true;
}

void TTcLogic::TimerEvent()
{
    if (!FRunning)
        return;
    if (FReady && FContext.Online && !FAborted && FNextIndex < FTotal) {
        const int index = FNextIndex;
        const QString line = FMode == TTcMode::Send ? lineAt(index).trimmed() : FItems.at(index).sRequest.trimmed();
        if (!isSkipped(line)) {
            if (FMode == TTcMode::ReadBack && line.startsWith(QLatin1Char('%'))) {
                setLine(index, FItems.at(index).sWrite.trimmed());
            } else {
                FAwaitedIndex = index;
                FReady = false;
                FAnswerPending = true;
                FCounterText = format("%d von %d", {index + 1, FTotal});
                FProgressValue = index + 1;
                SendOrder(kClientId, ApplyPlaceholders(line, now()), index);
                Q_EMIT ViewChanged();
            }
        }
        ++FNextIndex;
    }
    // Over when the last answer is in: a save right after the end has every converted line.
    if (FAborted || (FNextIndex >= FTotal && FReady))
        endTransfer();
}

void TTcLogic::endTransfer()
{
    FRunning = false;
    if (FAborted)
        Q_EMIT Status(Tr("Übertragung abgebrochen"), true);
    else
        ShowSysMessage(Tr("Übertragung beendet"), false);
    updateControls();
}

void TTcLogic::RXData(int status, int tag, const QString& data)
{
    if (!FAnswerPending || tag != FAwaitedIndex)
        return;
    FAnswerPending = false;
    FReady = true;
    if (status == kOrderDone) {
        if (FMode == TTcMode::ReadBack) {
            if (tag < FItems.size() && FItems.at(tag).iFromTok > 0) {
                T_KONFDATA& item = FItems[tag];
                QString rest;
                int index = -item.iFromTok;
                if (GetToken(data, QStringLiteral(";"), rest, index)) {
                    item.sVal = rest;
                    setLine(tag, QStringLiteral("%1;%2").arg(item.sWrite, item.sVal));
                } else {
                    Q_EMIT Status(format("Ungültige Parameter bei Zeile %d", {tag + 1}), true);
                    FAborted = true;
                }
            }
        } else {
            ShowSysMessageColor(format("Nr.%d >%s< Antwort:>%s<)!", {tag, lineAt(tag), data}), kTcAnswerColour);
        }
    } else {
        FAborted = true;
        ShowSysMessage(format("Satz Nr. %d (%s) war nicht OK (RX:%s)!", {tag, lineAt(tag), data}), true);
    }
    updateControls();
}

void TTcLogic::SetOnOffLine(int online)
{
    // Orders the link dropped or discarded while offline are never answered.
    if (online == 0 && FAnswerPending)
        abortAwaited(QString());
    updateControls();
}

void TTcLogic::abortAwaited(const QString& answer)
{
    FAnswerPending = false;
    FReady = true;
    ShowSysMessage(format("Satz Nr. %d (%s) war nicht OK (RX:%s)!", {FAwaitedIndex, lineAt(FAwaitedIndex), answer}),
                   true);
    if (FRunning) {
        FAborted = true;
        endTransfer();
    }
}

// ---- files ----

QString TTcLogic::configDir() const
{
    try {
        return FContext.Settings().GetStr(kConfigPath);
    } catch (const std::exception& e) {
        qCWarning(lcTextConfig) << "config directory not read:" << e.what();
        return {};
    }
}

void TTcLogic::setConfigDir(const QString& filePath)
{
    try {
        FContext.Settings().SetStr(kConfigPath, QFileInfo(filePath).absolutePath());
    } catch (const std::exception& e) {
        qCWarning(lcTextConfig) << "config directory not stored:" << e.what();
    }
}

bool TTcLogic::LoadFile(const QString& path, bool description)
{
    if (Busy())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Q_EMIT Status(format("Datei %s konnte nicht gelesen werden", {path}), true);
        if (FDialogs.errorBox)
            FDialogs.errorBox(file.errorString());
        return false;
    }
    FLines = SplitTextLines(DecodeTextFile(file.readAll()));
    setConfigDir(path);
    FTotal = static_cast<int>(FLines.size());
    FProgressMax = FTotal;
    FProgressValue = 0;
    FCounterText.clear();
    Q_EMIT Status(format("Konfigurationsdaten aus Datei %s geladen", {path}), false);
    // An empty description leaves nothing to read back (no items of an earlier file).
    if (description)
        ParseItems();
    Q_EMIT LinesChanged();
    Q_EMIT ViewChanged();
    return true;
}

void TTcLogic::load(bool description)
{
    if (Busy() || !FDialogs.openFile)
        return;
    const QString ext = QLatin1String(description ? kTcDescriptionExt : kTcCommandExt);
    const QString filter = dialogFilter(description ? "Sarvik2V2-Konfigdateien" : "Sarvik2V2-Textdateien", ext);
    QString path = FDialogs.openFile(Tr(description ? "KonfDatei laden" : "Datei laden"), configDir(), filter, ext);
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path))
        path = WithDefaultSuffix(path, ext);
    LoadFile(path, description);
}

void TTcLogic::btnDateiLadenClick()
{
    load(false);
}

void TTcLogic::btnKonfDateiLadenClick()
{
    load(true);
}

bool TTcLogic::SaveFile(const QString& path)
{
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        const QByteArray bytes = EncodeTextFile(FLines);
        ok = file.write(bytes) == bytes.size();
        ok = ok && file.commit();
    }
    if (!ok) {
        const QString error = file.errorString();
        file.cancelWriting();
        Q_EMIT Status(Tr("Konfigurationsdaten nicht gespeichert!"), true);
        if (FDialogs.errorBox)
            FDialogs.errorBox(path + QStringLiteral("\n") + error);
        return false;
    }
    setConfigDir(path);
    Q_EMIT Status(format("Konfigurationsdaten in Datei %s gespeichert.", {path}), false);
    return true;
}

QString TTcLogic::ProposedName() const
{
    return kNamePrefix + now().toString(kStampFormat) + QLatin1Char('.') + QLatin1String(kTcCommandExt);
}

QString TTcLogic::ProposedDeviceName() const
{
    const QString serial = fileNamePart(FContext.Device.SerialNo);
    if (serial.isEmpty())
        return ProposedName();
    return kNamePrefix + serial + QLatin1Char('_') + now().toString(kStampFormat) + QLatin1Char('.')
           + QLatin1String(kTcCommandExt);
}

void TTcLogic::save(const QString& proposedName)
{
    if (Busy() || !FDialogs.saveFile)
        return;
    const QString ext = QLatin1String(kTcCommandExt);
    const QString path = FDialogs.saveFile(Tr("Speichern"), configDir(), proposedName,
                                           dialogFilter("Sarvik2V2-Textdateien", ext), ext);
    if (path.isEmpty()) {
        Q_EMIT Status(Tr("Konfigurationsdaten nicht gespeichert!"), true);
        return;
    }
    SaveFile(WithDefaultSuffix(path, ext));
}

void TTcLogic::btnSpeichernClick()
{
    save(ProposedName());
}

void TTcLogic::btnKonfDatSpeichernClick()
{
    save(ProposedDeviceName());
}

void TTcLogic::btnLoeschenClick()
{
    if (Busy())
        return;
    FLines.clear();
    Q_EMIT LinesChanged();
}
