#pragma once
// The program's one serial port and the assembly of received bytes into lines or blocks.
// Everything here runs on the user-interface thread.

#include "devicecommthread.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>

// Assembly of received bytes: lines ended by CR or LF (control characters dropped, overlong
// lines discarded), or a counted block of raw bytes. Plain state, fed one byte at a time.
struct TRxAssembly {
    enum TStep { Pending, LineDone, BlockDone };
    static constexpr int kMaxLineLength = 256;

    QByteArray Buffer;
    bool Complete = false;  // a block waits to be fetched
    int Expected = 0;       // bytes still missing of a counted block; 0 in line mode

    // LineDone: Buffer holds the line (more than 4 characters, its end byte not stored).
    // BlockDone: Buffer holds the block and Complete is set.
    TStep Take(char byte);
};

class TfRS232 : public QObject, public TDeviceCommPort {
    Q_OBJECT
public:
    static constexpr int kIdleCountdownMs = 50;
    static constexpr int kMaxLineLength = TRxAssembly::kMaxLineLength;
    static constexpr int kBaudRate = 115200;

    using ReceiveHandler = std::function<void(const QByteArray& line)>;

    explicit TfRS232(QObject* parent = nullptr);
    ~TfRS232() override;

    // Closes an open port, then opens name (a port name or a device path). A blank name only
    // closes and returns true.
    bool RS232Open(const QString& name);
    bool RS232Connected();
    bool RS232Send(const QByteArray& data);
    void RS232SetReceiveHandler(ReceiveHandler handler) { FReceiveHandler = std::move(handler); }
    void RS232ExpectBytes(int count);
    void RS232ResetReceive();
    bool RS232GetData(QByteArray& data);
    void RS232Purge();
    bool RS232SetRTS(bool on);

    // Why the last open failed (NoError after a successful one).
    QSerialPort::SerialPortError RS232LastOpenError() const { return FLastOpenError; }
    QString RS232LastOpenErrorText() const { return FLastOpenErrorText; }
    QString RS232PortName() const { return ComP1.portName(); }

    // Called when a counted reception is complete (once per block, from the receive handler;
    // queue the reaction, the handler is still reading).
    void SetBlockCompleteHandler(std::function<void()> handler) { FBlockComplete = std::move(handler); }
    // Waits up to timeoutMs until what was written has left the program; false if it had not.
    bool RS232Drain(int timeoutMs);

    // Called whenever bytes go out (the status bar's "Data" panel).
    void SetDataActivityHandler(std::function<void()> handler) { FDataActivity = std::move(handler); }

    // TDeviceCommPort
    bool IsConnected() override { return RS232Connected(); }
    bool Send(const QByteArray& frame) override { return RS232Send(frame); }

Q_SIGNALS:
    // The port hung up (device unplugged) and was closed; the connection logic reacts at once.
    void RS232PortLost();

private:
    void ComP1RxChar();
    void ReadPending();
    void IdleTimerTick();
    void ComP1Error(QSerialPort::SerialPortError error);
    void LineComplete();

    QSerialPort ComP1;
    QTimer FIdleTimer;
    TRxAssembly FRx;
    bool FConnected = false;
    bool FRereadQueued = false;
    ReceiveHandler FReceiveHandler;
    std::function<void()> FDataActivity;
    std::function<void()> FBlockComplete;
    QSerialPort::SerialPortError FLastOpenError = QSerialPort::NoError;
    QString FLastOpenErrorText;
};
