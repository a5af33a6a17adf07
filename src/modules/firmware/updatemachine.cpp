#include "updatemachine.h"

#include "answerfields.h"
#include "formatsettings.h"
#include "hexfile.h"
#include "i18n.h"
#include "rounding.h"
#include "wireformat.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFirmware)

namespace {

// Texts of the reader, marked here so the catalogue carries them; the reader hands them over
// untranslated.
[[maybe_unused]] constexpr const char* kReaderTexts[] = {
    TrNoop("HEX-Datei enthält ungültige Zeichen"),
    TrNoop("HEX-Datei enthält nicht unterstütztes Feld: RECTYPE"),
    TrNoop("HEX-Datei enthält Daten außerhalb des Flash-Bereichs"),
    TrNoop("HEX-Datei kann nicht gelesen werden"),
};

const char* const kTimeoutText = TrNoop("Zeitüberschreitung beim Empfang - Abbruch");
const char* const kNoCommunicationText = TrNoop("Keine gültige Kommunikation zu Sarvik2V2");

QString hex2(unsigned value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

// Fills the first "%s" of a translated text.
QString fillText(QString text, const QString& value)
{
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, value);
    return text;
}

template <typename Fn, typename... Args>
void call(const Fn& fn, Args&&... args)
{
    if (fn)
        fn(std::forward<Args>(args)...);
}

}  // namespace

TUpdateMachine::TUpdateMachine(TUpdateEnv env)
    : FEnv(std::move(env))
{
}

void TUpdateMachine::SetBootloaderIds(int vid, int pid)
{
    FBootVid = vid;
    FBootPid = pid;
}

bool TUpdateMachine::Start()
{
    // A press while a run goes on would restart the procedure in the middle of a transfer.
    if (FState != usIdle)
        return false;
    FState = usCheckFile;
    return true;
}

void TUpdateMachine::Cancel()
{
    if (FView.CancelVisible)
        FCancel = true;
}

void TUpdateMachine::log(const QString& text, TLogColour colour)
{
    call(FEnv.log, text, colour);
}

void TUpdateMachine::setView(const TUpdateView& view)
{
    if (view == FView)
        return;
    FView = view;
    call(FEnv.viewChanged);
}

bool TUpdateMachine::send(const QByteArray& bytes)
{
    return FEnv.send && FEnv.send(bytes);
}

void TUpdateMachine::tick(qint64 nowMs)
{
    switch (FState) {
    case usIdle:
        break;
    case usCheckFile:
        checkFile(nowMs);
        break;
    case usWaitRestart:
        if (nowMs <= FRestartDeadline) {
            if (FAnswerReceived && FAnswerCode == 0) {
                call(FEnv.disconnect);
                FRestartDeadline = nowMs + kRestartPauseMs;
                FState = usRestartPause;
            }
        } else {
            // No (good) answer: the device may have restarted anyway; look for the bootloader.
            call(FEnv.disconnect);
            FState = usClosePort;
        }
        break;
    case usRestartPause:
        if (nowMs > FRestartDeadline)
            FState = usClosePort;
        break;
    case usClosePort:
        call(FEnv.closePort);
        FStepDeadline = nowMs + kFindTimeoutMs;
        FState = usFindBootloader;
        break;
    case usFindBootloader:
        findBootloader(nowMs);
        break;
    case usOpenBootloader:
        openBootloader(nowMs);
        break;
    case usHandshake:
        handshake(nowMs);
        break;
    case usWaitHandshake:
        waitHandshake(nowMs);
        break;
    case usFirstBlock:
        firstBlock(nowMs);
        break;
    case usBlocks:
        blocks(nowMs);
        break;
    case usEnd:
        send(QByteArray::fromHex("FFFF03"));
        call(FEnv.expectBytes, 1);
        FStepDeadline = nowMs + kAnswerTimeoutMs;
        FState = usWaitChecksum;
        break;
    case usWaitChecksum:
        waitChecksum(nowMs);
        break;
    case usFinish:
        finish();
        break;
    }
}

void TUpdateMachine::checkFile(qint64 nowMs)
{
    // A TAR of an earlier run whose code was no number must not pass for success now.
    FAnswerCode = -1;
    FAnswerReceived = false;
    if (FFileName.isEmpty()) {
        log(Tr("Es ist keine Aktualisierungsdatei ausgewählt"), TLogColour::Red);
        FState = usIdle;
        return;
    }
    if (!QFileInfo::exists(FFileName)) {
        log(Tr("Firmwaredatei nicht vorhanden"), TLogColour::Red);
        FState = usIdle;
        return;
    }
    log(Tr("Prüfe Firmwaredatei"), TLogColour::Green);
    const bool good = ReadHexFile(FFileName, FImage, [this](const QString& text) {
        log(Tr(text.toUtf8().constData()), TLogColour::Red);
    });
    if (good && FImage.FImageSize <= kBlockBytes) {
        // The transfer needs at least one block after block 0; refuse before the device is
        // touched.
        log(Tr("Firmwaredatei enthält zu wenig Daten"), TLogColour::Red);
    }
    if (!good || FImage.FImageSize <= kBlockBytes) {
        log(Tr("Firmwaredatei fehlerhaft"), TLogColour::Red);
        FState = usIdle;
        return;
    }

    TUpdateView view = FView;
    view.StartEnabled = false;
    view.CloseEnabled = false;
    setView(view);
    call(FEnv.lockLinkActions, true);
    FReachedBootloader = false;
    FSucceeded = false;
    FDeniedReported = false;
    FCancel = false;
    log(Tr("Firmwareaktualisierung gestartet"), TLogColour::Blue);
    call(FEnv.showUpdateState);
    if (FEnv.isOnline && FEnv.isOnline()) {
        log(Tr("Kommunikation zu Sarvik2V2 beendet"), TLogColour::Blue);
        call(FEnv.sendOrder, int(4), QStringLiteral("SAR;"), kUpdateTagRestart);
        FRestartDeadline = nowMs + kRestartWaitMs;
        FState = usWaitRestart;
    } else {
        call(FEnv.disconnect);
        FState = usClosePort;
    }
}

void TUpdateMachine::findBootloader(qint64 nowMs)
{
    if (nowMs <= FStepDeadline) {
        if (FEnv.isDevicePresent && FEnv.isDevicePresent(FBootVid, FBootPid, QString::fromLatin1(kBootloaderSerial))) {
            FStepDeadline = nowMs + kPortNameTimeoutMs;
            FState = usOpenBootloader;
        }
        return;
    }
    timeout();
}

void TUpdateMachine::openBootloader(qint64 nowMs)
{
    // From here on the device may be left in its bootloader when the run fails.
    FReachedBootloader = true;
    if (nowMs > FStepDeadline) {
        timeout();
        return;
    }
    const QString port =
        FEnv.getPortName ? FEnv.getPortName(FBootVid, FBootPid, QString::fromLatin1(kBootloaderSerial)) : QString();
    if (port.isEmpty())
        return;
    call(FEnv.statusSetPort, port);
    // A fresh port may refuse access until udev has applied its rule: tried again every tick.
    const TPortOpenResult result = FEnv.openPort ? FEnv.openPort(port) : TPortOpenResult::Failed;
    if (result == TPortOpenResult::Opened) {
        FRestartDeadline = nowMs + kOpenPauseMs;
        FState = usHandshake;
        TUpdateView view = FView;
        view.FastTimer = true;
        setView(view);
        return;
    }
    if (result == TPortOpenResult::PermissionDenied && !FDeniedReported) {
        FDeniedReported = true;
        log(fillText(Tr("Keine Zugriffsrechte für den Anschluss %s. Bitte die mitgelieferte udev-Regel "
                        "installieren oder den Benutzer in die Gruppe \"dialout\" aufnehmen und neu anmelden."),
                     port),
            TLogColour::Red);
    }
}

void TUpdateMachine::handshake(qint64 nowMs)
{
    if (nowMs <= FRestartDeadline)
        return;
    log(Tr("Initialisiere Sarvik2V2 für Aktualisierung"), TLogColour::Green);
    TUpdateView view = FView;
    view.Busy = true;
    view.ProgressVisible = true;
    view.Progress = 0;
    view.FastTimer = true;
    setView(view);
    FStartMs = nowMs;
    call(FEnv.purge);
    send(QByteArray::fromHex("55AA0B"));
    call(FEnv.expectBytes, kHandshakeAnswerBytes);
    FStepDeadline = nowMs + kHandshakeTimeoutMs;
    FState = usWaitHandshake;
}

void TUpdateMachine::waitHandshake(qint64 nowMs)
{
    if (nowMs > FStepDeadline) {
        timeout();
        return;
    }
    QByteArray data;
    if (!FEnv.getData || !FEnv.getData(data) || data.size() < kHandshakeAnswerBytes)
        return;
    call(FEnv.statusSetOnline, true);
    send(QByteArray::fromHex("5802"));
    log(FmtDisplay().Format(Tr("Aktualisierung gestartet, Dateigröße: %d"), {qlonglong(FImage.FImageSize)}), TLogColour::Green);
    FState = usFirstBlock;
}

void TUpdateMachine::firstBlock(qint64 nowMs)
{
    TUpdateView view = FView;
    view.CancelVisible = true;
    setView(view);
    FCancel = false;
    // Block 0 all FF first: the bootloader takes the application as missing until the real
    // block 0 comes last.
    send(QByteArray(1, '\0'));
    send(QByteArray(1, '\0'));
    send(QByteArray(int(kBlockBytes), char(0xFF)));
    call(FEnv.blockSent, 0, nowMs);
    call(FEnv.expectBytes, 1);
    FBlock = 1;
    FChecksum = 1;
    FStepDeadline = nowMs + kAnswerTimeoutMs;
    FState = usBlocks;
}

bool TUpdateMachine::takeAnswerByte(std::uint8_t& byte)
{
    QByteArray data;
    // An empty reception is no answer: there is no byte to judge.
    if (!FEnv.getData || !FEnv.getData(data) || data.isEmpty())
        return false;
    byte = static_cast<std::uint8_t>(data.at(0));
    return true;
}

void TUpdateMachine::blocks(qint64 nowMs)
{
    if (FCancel) {
        FState = usEnd;
        return;
    }
    if (nowMs > FStepDeadline) {
        timeout();
        return;
    }
    std::uint8_t answer = 0;
    if (!takeAnswerByte(answer))
        return;
    if (answer == 0) {
        log(Tr("Unbekannter Fehler aufgetreten"), TLogColour::Red);
        FState = usFinish;
        return;
    }
    if (FBlock < 0) {
        FState = usEnd;
        return;
    }
    sendBlock(FBlock, nowMs);
    if (FBlock == FImage.FLastBlock)
        FBlock = 0;
    else if (FBlock == 0)
        FBlock = -1;
    else
        ++FBlock;
}

void TUpdateMachine::sendBlock(int block, qint64 nowMs)
{
    QByteArray header;
    header.append(char(block & 0xFF));
    header.append(char((block >> 8) & 0xFF));
    const auto* first = FImage.FImage.data() + std::size_t(block) * std::size_t(kBlockBytes);
    const QByteArray data(reinterpret_cast<const char*>(first), int(kBlockBytes));
    send(header.left(1));
    send(header.mid(1, 1));
    send(data);
    unsigned sum = FChecksum;
    for (char c : header)
        sum += static_cast<std::uint8_t>(c);
    for (char c : data)
        sum += static_cast<std::uint8_t>(c);
    FChecksum = static_cast<std::uint8_t>(sum & 0xFF);
    call(FEnv.blockSent, block, nowMs);

    TUpdateView view = FView;
    view.Progress = int(RoundHalfEven(double(block) / double(FImage.FLastBlock) * 100.0));
    setView(view);
    call(FEnv.expectBytes, 1);
    FStepDeadline = nowMs + kAnswerTimeoutMs;
}

void TUpdateMachine::waitChecksum(qint64 nowMs)
{
    if (nowMs > FStepDeadline) {
        timeout();
        return;
    }
    std::uint8_t answer = 0;
    if (!takeAnswerByte(answer))
        return;
    if (FCancel || answer == FChecksum) {
        if (!send(QByteArray::fromHex("0452"))) {
            log(Tr(kNoCommunicationText), TLogColour::Red);
        } else if (FCancel) {
            // The device got its end bytes but not the whole image: no success to report.
            log(Tr("Firmwareaktualisierung abgebrochen"), TLogColour::Red);
        } else {
            const double seconds = double(nowMs - FStartMs) / 1000.0;
            log(FmtDisplay().Format(Tr("Firmwareaktualisierung nach %.3f Sekunden beendet"), {seconds}),
                TLogColour::Green);
            FSucceeded = true;
        }
    } else {
        log(fillText(fillText(Tr("Prüfsummenfehler: %s != %s"), hex2(answer)), hex2(FChecksum)), TLogColour::Red);
    }
    FState = usFinish;
}

void TUpdateMachine::timeout()
{
    log(Tr(kTimeoutText), TLogColour::Red);
    FState = usFinish;
}

void TUpdateMachine::finish()
{
    if (FReachedBootloader && !FSucceeded) {
        log(Tr("Das Gerät befindet sich noch im Bootloader. Die Aktualisierung kann einfach erneut gestartet werden."),
            TLogColour::Red);
    }
    TUpdateView view;
    setView(view);
    call(FEnv.setOffline);
    call(FEnv.resetReceive);
    // Out with the last bytes, and the bootloader's port closed, before the link may write
    // its first poll.
    call(FEnv.drainPort);
    call(FEnv.closePort);
    call(FEnv.lockLinkActions, false);
    call(FEnv.startConnecting);
    FCancel = false;
    FState = usIdle;
}

void TUpdateMachine::RXData(int status, int tag, const QString& data)
{
    Q_UNUSED(tag);
    if (!data.startsWith(QLatin1String("TAR")))
        return;
    // Only the wait for the restart answer takes it: a late retried TAR must not end a run.
    if (FState != usWaitRestart)
        return;
    if (status == kOrderDone) {
        FAnswerReceived = true;
        const TField<int> code = TAnswerFields(data).intAt(2);
        if (code.ok())
            FAnswerCode = code.Value;
        return;
    }
    log(Tr(kNoCommunicationText), TLogColour::Red);
    FState = usFinish;
}
