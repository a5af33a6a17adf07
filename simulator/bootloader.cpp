#include "bootloader.h"

#include <QList>

#include <algorithm>

namespace {

const QByteArray kHandshake = QByteArray::fromHex("55AA0B");
const QByteArray kStart = QByteArray::fromHex("5802");
const QByteArray kEnd = QByteArray::fromHex("FFFF03");
const QByteArray kRestart = QByteArray::fromHex("0452");

// What the real bootloader says on a handshake: its name and version, with a NUL and a line
// end inside, so a receiver that treats the answer as text loses bytes.
QByteArray handshakeAnswer()
{
    QByteArray a = QByteArrayLiteral("SV2 BOOT 1.4");
    a.append('\0');
    a.append("\r\n");
    a.append(QByteArrayLiteral("STM32F4 2048K"));
    a.append('\0');
    for (int i = 0; a.size() < kBootHandshakeBytes; ++i)
        a.append(char(0x80 + i));
    return a;
}

}  // namespace

QString FirmwareVersionInImage(const QByteArray& image)
{
    if (image.size() < kFirmwareTagOffset + kFirmwareTag.size())
        return {};
    if (image.mid(kFirmwareTagOffset, kFirmwareTag.size()) != kFirmwareTag)
        return {};
    QByteArray version;
    for (qsizetype i = kFirmwareTagOffset + kFirmwareTag.size(); i < image.size() && version.size() < 16; ++i) {
        const char c = image.at(i);
        if (c == '\0' || c == char(0xFF))
            break;
        version.append(c);
    }
    return QString::fromLatin1(version);
}

TSimBootloader::TSimBootloader(bool paced)
    : FPaced(paced)
    , FFlash(kBootFlashBytes, char(0xFF))
{
}

void TSimBootloader::Reset()
{
    FState = bsIdle;
    FCmd.clear();
    FOut.clear();
    FAnswerOwedUntilUs = -1;
    FEvent = evNone;
    FZeroDone = false;
}

TSimBootloader::TEvent TSimBootloader::TakeEvent()
{
    const TEvent e = FEvent;
    FEvent = evNone;
    return e;
}

bool TSimBootloader::Block0Erased() const
{
    for (int i = 0; i < kBootBlockBytes; ++i) {
        if (FFlash.at(i) != char(0xFF))
            return false;
    }
    return true;
}

void TSimBootloader::violation()
{
    ++FViolations;
}

void TSimBootloader::Feed(const QByteArray& bytes, qint64 nowUs)
{
    if (bytes.isEmpty())
        return;
    // The PC must wait for each answer; bytes before it are not part of the exchange.
    if (FAnswerOwedUntilUs >= 0 && nowUs < FAnswerOwedUntilUs)
        violation();
    for (char b : bytes) {
        if (FEvent == evVanish)
            return;
        qint64 atUs = nowUs;
        if (FPaced) {
            // Each byte takes one byte time from when it is read; idle time gives no credit.
            const qint64 startNs = std::max(nowUs * 1000, FLineFreeNs);
            FLineFreeNs = startNs + kBootByteNs;
            atUs = FLineFreeNs / 1000;
        }
        handleByte(b, atUs);
    }
    FLastByteUs = nowUs;
}

void TSimBootloader::Tick(qint64 nowUs)
{
    if (FAnswerOwedUntilUs >= 0 && nowUs >= FAnswerOwedUntilUs)
        FAnswerOwedUntilUs = -1;
    if (!FCmd.isEmpty() && nowUs - FLastByteUs > kBootSilenceUs) {
        violation();
        FCmd.clear();
    }
}

void TSimBootloader::answer(const QByteArray& bytes, qint64 endUs, qint64 extraUs)
{
    // The answer leaves once its own bytes have been on the line after the command's last byte.
    const qint64 due = endUs + (FPaced ? (kBootByteNs * bytes.size()) / 1000 : 0) + extraUs;
    FOut.push_back({due, bytes});
    FAnswerOwedUntilUs = due;
}

void TSimBootloader::handleByte(char byte, qint64 atUs)
{
    FCmd.append(byte);
    if (FState == bsTransfer) {
        // 55 AA is no block number: a new handshake after an interrupted transfer.
        if (FCmd.size() == kHandshake.size() && FCmd == kHandshake) {
            FState = bsIdle;
            matchCommand(atUs);
            return;
        }
        if (FCmd.size() == 3 && FCmd.startsWith(kEnd.left(2))) {
            if (FCmd == kEnd) {
                FCmd.clear();
                FState = bsEnded;
                unsigned sum = (1 + FSum) & 0xFF;
                if (FFaults.badChecksum)
                    sum = (sum + 0xFF) & 0xFF;
                answer(QByteArray(1, char(sum)), atUs);
            } else {
                violation();
                FCmd.clear();
            }
            return;
        }
        if (FCmd.size() == 2 + kBootBlockBytes)
            handleBlock(atUs);
        return;
    }
    matchCommand(atUs);
}

bool TSimBootloader::matchCommand(qint64 endUs)
{
    QList<QByteArray> allowed{kHandshake, kRestart};
    if (FState == bsReady)
        allowed << kStart;
    for (const QByteArray& cmd : allowed) {
        if (!cmd.startsWith(FCmd))
            continue;
        if (FCmd.size() < cmd.size())
            return true;
        FCmd.clear();
        if (cmd == kHandshake) {
            FFlash.fill(char(0xFF));
            FSum = 0;
            FBlocks = 0;
            FZeroDone = false;
            FState = bsReady;
            if (!FFaults.noHandshake)
                answer(handshakeAnswer(), endUs);
        } else if (cmd == kStart) {
            FState = bsTransfer;
        } else {
            FState = bsIdle;
            FEvent = evRestart;
        }
        return true;
    }
    // Fits no command here: a stray byte.
    violation();
    FCmd.clear();
    return false;
}

void TSimBootloader::handleBlock(qint64 endUs)
{
    const int number = (uchar(FCmd.at(0))) | (uchar(FCmd.at(1)) << 8);
    const QByteArray data = FCmd.mid(2);
    FCmd.clear();
    ++FBlocks;
    if (number >= kBootBlockCount) {
        violation();
        answer(QByteArray(1, '\0'), endUs);
        return;
    }
    if (number == FFaults.vanishAtBlock) {
        FEvent = evVanish;
        return;
    }
    if (number == FFaults.zeroAtBlock && !FZeroDone) {
        FZeroDone = true;
        answer(QByteArray(1, '\0'), endUs);
        return;
    }
    FFlash.replace(number * kBootBlockBytes, kBootBlockBytes, data);
    FSum += uchar(number & 0xFF) + uchar(number >> 8);
    for (char c : data)
        FSum += uchar(c);
    // Any value but 00 means accepted; it varies so that no receiver can count on one.
    const char accepted = char(1 + number % 255);
    const qint64 extra = number == FFaults.slowAtBlock ? qint64(FFaults.slowMs) * 1000 : 0;
    answer(QByteArray(1, accepted), endUs, extra);
}
