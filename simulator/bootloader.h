#pragma once
// The Sarvik2V2's bootloader as the virtual device runs it: the raw byte protocol on its own
// USB serial port and the 2 MiB flash image of the application. Not thread-safe; the device's
// thread owns it. Times are microseconds of the device's clock.
//
//   PC sends            bootloader answers
//   55 AA 0B            62 bytes (handshake; the flash is erased)
//   58 02               nothing (transfer starts)
//   lo hi + 256 bytes   1 byte: 00 error, anything else accepted (block numbers >= 8192: 00)
//   FF FF 03            1 byte: (1 + sum of all block bytes since the handshake) mod 256
//   04 52               nothing; the device restarts
//
// Bytes that fit no command (a framed line of the application protocol, for instance), bytes
// that arrive while an answer is still owed, and a partial command dropped after 500 ms of
// silence are counted as violations.

#include <QByteArray>
#include <QString>

#include <deque>

constexpr int kBootFlashBytes = 0x200000;
constexpr int kBootBlockBytes = 256;
constexpr int kBootBlockCount = kBootFlashBytes / kBootBlockBytes;
constexpr int kBootHandshakeBytes = 62;
constexpr qint64 kBootSilenceUs = 500000;
// One byte at 115200 baud, 8N1, in nanoseconds.
constexpr qint64 kBootByteNs = 86806;

inline const QString kBootSerial = QStringLiteral("00000000001A");
inline const QString kBootProductId = QStringLiteral("a2ba");

// Where an application image carries its version: the text "SV2FW=" at this image offset,
// followed by the version ("3.7.1"), ended by a NUL or FF byte.
constexpr int kFirmwareTagOffset = 0x200;
inline const QByteArray kFirmwareTag = QByteArrayLiteral("SV2FW=");
// The version text of image; empty when the tag is missing.
QString FirmwareVersionInImage(const QByteArray& image);

struct TBootFaults {
    bool noHandshake = false;  // the handshake gets no answer
    int zeroAtBlock = -1;      // this block number is answered 00 (its first time)
    int slowAtBlock = -1;      // this block's answer comes slowMs late
    int slowMs = 0;
    bool badChecksum = false;  // the end answer is one below the right one
    int vanishAtBlock = -1;    // the device leaves the bus on this block instead of answering
};

class TSimBootloader {
public:
    struct TOut {
        qint64 dueUs = 0;
        QByteArray bytes;
    };
    enum TEvent { evNone, evRestart, evVanish };

    explicit TSimBootloader(bool paced = false);

    void SetPaced(bool paced) { FPaced = paced; }
    // After a start of the bootloader: no command in progress; the flash stays.
    void Reset();
    // Bytes read from the port at nowUs.
    void Feed(const QByteArray& bytes, qint64 nowUs);
    // Time passes (silence check).
    void Tick(qint64 nowUs);

    // Answers with the time they are due; the owner writes and pops them.
    std::deque<TOut>& Output() { return FOut; }
    // What the last Feed asked the owner to do (cleared by the call).
    TEvent TakeEvent();

    const QByteArray& Flash() const { return FFlash; }
    bool Block0Erased() const;
    qint64 Violations() const { return FViolations; }
    int BlocksReceived() const { return FBlocks; }
    TBootFaults& Faults() { return FFaults; }

private:
    enum TState { bsIdle, bsReady, bsTransfer, bsEnded };
    void handleByte(char byte, qint64 atUs);
    bool matchCommand(qint64 endUs);
    void handleBlock(qint64 endUs);
    void answer(const QByteArray& bytes, qint64 endUs, qint64 extraUs = 0);
    void violation();

    bool FPaced = false;
    TState FState = bsIdle;
    QByteArray FFlash;
    QByteArray FCmd;
    qint64 FLineFreeNs = 0;    // when the byte being read is done (paced)
    qint64 FLastByteUs = 0;
    qint64 FAnswerOwedUntilUs = -1;  // an answer is due and not yet out
    unsigned FSum = 0;
    int FBlocks = 0;
    qint64 FViolations = 0;
    bool FZeroDone = false;
    TBootFaults FFaults;
    std::deque<TOut> FOut;
    TEvent FEvent = evNone;
};
