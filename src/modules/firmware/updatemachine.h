#pragma once
// The firmware update without widgets: reads the HEX file, restarts the device into its
// bootloader, halts the normal link, finds the bootloader's own USB serial device and sends the
// image block by block with raw bytes. One step per tick(nowMs); everything it touches outside
// itself goes through TUpdateEnv, so tests run it on a fake clock against a fake port.
// User-interface thread only.

#include "connection.h"
#include "hexparser.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

enum class TLogColour { Red, Green, Blue };

// Serial number the bootloader reports on USB.
inline constexpr char kBootloaderSerial[] = "00000000001A";

// Tag of the restart order.
constexpr int kUpdateTagRestart = 1;

// What the machine needs of the program. Unset members are skipped (a missing query answers
// "no").
struct TUpdateEnv {
    // Main window and connection.
    std::function<bool()> isOnline;
    std::function<void(int clientId, const QString& command, int tag)> sendOrder;
    std::function<void()> disconnect;        // halts SendOrder, drops orders, closes the port
    std::function<void()> startConnecting;   // releases the halt, searches the device again
    std::function<void()> setOffline;        // SetOnOffline(false)
    std::function<void()> showUpdateState;   // device state display: "Firmwareaktualisierung"
    // Menu actions that would lift the halt or take the port away during a run.
    std::function<void(bool locked)> lockLinkActions;
    std::function<void(const QString& port)> statusSetPort;
    std::function<void(bool online)> statusSetOnline;

    // Discovery.
    std::function<bool(int vid, int pid, const QString& serialNo)> isDevicePresent;
    std::function<QString(int vid, int pid, const QString& serialNo)> getPortName;

    // Serial layer.
    std::function<TPortOpenResult(const QString& port)> openPort;  // RS232Open(port)
    std::function<void()> closePort;                               // RS232Open("")
    std::function<void()> drainPort;   // waits until what was written has left
    std::function<void()> purge;       // RS232Purge
    std::function<bool(const QByteArray& bytes)> send;
    std::function<void(int count)> expectBytes;
    std::function<bool(QByteArray& data)> getData;
    std::function<void()> resetReceive;

    // The window's coloured log; texts arrive translated.
    std::function<void(const QString& text, TLogColour colour)> log;
    // Buttons, progress, cursor or the fast timer changed.
    std::function<void()> viewChanged;
    // Observer: a block went out (number, tick time). Benchmarks and tests.
    std::function<void(int block, qint64 nowMs)> blockSent;
};

// What the window shows besides the log.
struct TUpdateView {
    bool StartEnabled = true;
    bool CloseEnabled = true;
    bool CancelVisible = false;
    bool ProgressVisible = false;
    int Progress = 0;
    bool Busy = false;       // busy cursor
    bool FastTimer = false;  // the window's own 1 ms timer runs
    bool operator==(const TUpdateView&) const = default;
};

class TUpdateMachine {
public:
    enum TState {
        usIdle = 0,
        usCheckFile = 10,
        usWaitRestart = 20,
        usRestartPause = 30,
        usClosePort = 40,
        usFindBootloader = 45,
        usOpenBootloader = 50,
        usHandshake = 55,
        usWaitHandshake = 60,
        usFirstBlock = 70,
        usBlocks = 80,
        usEnd = 90,
        usWaitChecksum = 100,
        usFinish = 1000,
    };

    static constexpr qint64 kRestartWaitMs = 1000;
    static constexpr qint64 kRestartPauseMs = 200;
    static constexpr qint64 kFindTimeoutMs = 15000;
    static constexpr qint64 kPortNameTimeoutMs = 5000;
    static constexpr qint64 kOpenPauseMs = 1000;
    static constexpr qint64 kHandshakeTimeoutMs = 5000;
    static constexpr qint64 kAnswerTimeoutMs = 2000;
    static constexpr int kHandshakeAnswerBytes = 62;

    explicit TUpdateMachine(TUpdateEnv env);

    void SetFileName(const QString& fileName) { FFileName = fileName; }
    // Replaces the blockSent observer of the environment (benchmarks).
    void SetBlockObserver(std::function<void(int block, qint64 nowMs)> observer) { FEnv.blockSent = std::move(observer); }
    const QString& FileName() const { return FFileName; }
    // "Connection/Bootloader/USB_VID", "USB_PID".
    void SetBootloaderIds(int vid, int pid);

    // "Aktualisierung starten": only from idle; false (nothing happens) in any other state.
    bool Start();
    // "Abbrechen": the transfer ends after the current block with the end exchange.
    void Cancel();
    // One step of the procedure at most.
    void tick(qint64 nowMs);
    // A finished order of the window.
    void RXData(int status, int tag, const QString& data);

    TState State() const { return FState; }
    // A run is going on: the window must not close.
    bool Running() const { return FState != usIdle; }
    const TUpdateView& View() const { return FView; }
    const THexImage& Image() const { return FImage; }
    int Block() const { return FBlock; }
    std::uint8_t Checksum() const { return FChecksum; }
    bool CancelRequested() const { return FCancel; }
    int AnswerCode() const { return FAnswerCode; }
    // The last run ended with the device's checksum confirmed.
    bool Succeeded() const { return FSucceeded; }

private:
    void checkFile(qint64 nowMs);
    void findBootloader(qint64 nowMs);
    void openBootloader(qint64 nowMs);
    void handshake(qint64 nowMs);
    void waitHandshake(qint64 nowMs);
    void firstBlock(qint64 nowMs);
    void blocks(qint64 nowMs);
    void waitChecksum(qint64 nowMs);
    void finish();
    void timeout();
    // Answer byte of a counted reception; false when nothing (or nothing usable) came.
    bool takeAnswerByte(std::uint8_t& byte);
    void sendBlock(int block, qint64 nowMs);
    bool send(const QByteArray& bytes);
    void log(const QString& text, TLogColour colour);
    void setView(const TUpdateView& view);

    TUpdateEnv FEnv;
    QString FFileName;
    int FBootVid = 0x0483;
    int FBootPid = 0xA2BA;

    TState FState = usIdle;
    qint64 FRestartDeadline = 0;
    qint64 FStepDeadline = 0;
    bool FAnswerReceived = false;
    int FAnswerCode = -1;
    bool FCancel = false;
    int FBlock = 0;
    std::uint8_t FChecksum = 0;
    qint64 FStartMs = 0;
    THexImage FImage;

    bool FReachedBootloader = false;  // the device may be left in its bootloader
    bool FSucceeded = false;
    bool FDeniedReported = false;
    TUpdateView FView;
};
