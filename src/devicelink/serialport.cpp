#include "serialport.h"

#include "linklog.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

TfRS232::TfRS232(QObject* parent)
    : QObject(parent)
{
    ComP1.setPortName(QStringLiteral("COM1"));
    // One shot 50 ms after the last notification, and only while a short fragment waits: a
    // running 4 ms countdown would wake the program a dozen times after every answer.
    FIdleTimer.setInterval(kIdleCountdownMs);
    FIdleTimer.setSingleShot(true);
    connect(&FIdleTimer, &QTimer::timeout, this, &TfRS232::IdleTimerTick);
    connect(&ComP1, &QSerialPort::readyRead, this, &TfRS232::ComP1RxChar);
    connect(&ComP1, &QSerialPort::errorOccurred, this, &TfRS232::ComP1Error);
}

TfRS232::~TfRS232()
{
    if (ComP1.isOpen())
        ComP1.close();
}

bool TfRS232::RS232Open(const QString& name)
{
    FIdleTimer.stop();
    if (ComP1.isOpen())
        ComP1.close();
    FConnected = false;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return true;

    ComP1.setPortName(trimmed);
    ComP1.setBaudRate(kBaudRate);
    ComP1.setDataBits(QSerialPort::Data8);
    ComP1.setParity(QSerialPort::NoParity);
    ComP1.setStopBits(QSerialPort::OneStop);
    ComP1.setFlowControl(QSerialPort::NoFlowControl);
    ComP1.setReadBufferSize(0);
    const bool opened = ComP1.open(QIODevice::ReadWrite);
    FLastOpenError = opened ? QSerialPort::NoError : ComP1.error();
    FLastOpenErrorText = opened ? QString() : ComP1.errorString();
    if (opened) {
        // Pseudo-terminals have no modem lines; failing to drop them is not an open failure.
        ComP1.setDataTerminalReady(false);
        ComP1.setRequestToSend(false);
        ComP1.clearError();
    } else {
        qCDebug(lcLink) << "open" << trimmed << "failed:" << FLastOpenErrorText;
    }
    FConnected = opened;
    return opened;
}

bool TfRS232::RS232Connected()
{
    FConnected = ComP1.isOpen();
    return FConnected;
}

bool TfRS232::RS232Send(const QByteArray& data)
{
    if (!ComP1.isOpen())
        return false;
    if (FDataActivity)
        FDataActivity();
    const qint64 written = ComP1.write(data);
    if (written > 0)
        ComP1.flush();
    // A partial line from before the write cannot belong to the coming answer.
    FRx.Buffer.clear();
    return written > 0;
}

bool TfRS232::RS232Drain(int timeoutMs)
{
    if (!ComP1.isOpen())
        return true;
    QDeadlineTimer deadline(timeoutMs);
    while (ComP1.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !ComP1.waitForBytesWritten(int(deadline.remainingTime())))
            return ComP1.bytesToWrite() == 0;
    }
    return true;
}

void TfRS232::RS232ExpectBytes(int count)
{
    if (count <= 0)
        return;
    FRx.Buffer.clear();
    FRx.Complete = false;
    FRx.Expected = count;
}

void TfRS232::RS232ResetReceive()
{
    FRx.Buffer.clear();
    FRx.Complete = false;
    FRx.Expected = 0;
}

bool TfRS232::RS232GetData(QByteArray& data)
{
    if (!FRx.Complete)
        return false;
    data = FRx.Buffer;
    FRx.Complete = false;
    FRx.Buffer.clear();
    return true;
}

void TfRS232::RS232Purge()
{
    if (!ComP1.isOpen())
        return;
    if (!FRx.Buffer.isEmpty())
        TLinkLog::instance().write(QStringLiteral("Gerät Rest:"), FRx.Buffer);
    ComP1.clear(QSerialPort::AllDirections);
    FRx.Complete = false;
}

bool TfRS232::RS232SetRTS(bool on)
{
    if (!ComP1.isOpen())
        return false;
    const bool done = ComP1.setRequestToSend(on);
    if (!done)
        ComP1.clearError();
    return done;
}

void TfRS232::ComP1RxChar()
{
    FRereadQueued = false;
    ReadPending();
    if (ComP1.isOpen() && !FRx.Buffer.isEmpty() && FRx.Buffer.size() <= 4)
        FIdleTimer.start();  // restarts the wait
    else
        FIdleTimer.stop();
}

void TfRS232::ReadPending()
{
    char byte = 0;
    while (ComP1.bytesAvailable() > 0) {
        if (FRx.Complete)
            return;  // a block waits to be fetched; the rest stays pending
        if (!ComP1.getChar(&byte))
            return;
        switch (FRx.Take(byte)) {
        case TRxAssembly::BlockDone:
            if (FBlockComplete)
                FBlockComplete();
            break;
        case TRxAssembly::LineDone:
            LineComplete();
            // Line ends right behind the line (CR LF) would be dropped anyway; taken here they
            // need no second pass.
            while (FRx.Expected == 0 && !FRx.Complete && FRx.Buffer.isEmpty() && ComP1.bytesAvailable() > 0) {
                if (!ComP1.peek(&byte, 1) || (byte != '\r' && byte != '\n'))
                    break;
                ComP1.skip(1);
            }
            // The port only notifies on new bytes; without this a second line that came in
            // the same burst would wait for the device's next transmission.
            if (ComP1.bytesAvailable() > 0 && !FRereadQueued) {
                FRereadQueued = true;
                QMetaObject::invokeMethod(this, &TfRS232::ComP1RxChar, Qt::QueuedConnection);
            }
            return;
        case TRxAssembly::Pending:
            break;
        }
    }
}

TRxAssembly::TStep TRxAssembly::Take(char byte)
{
    const auto b = static_cast<unsigned char>(byte);
    if (Expected > 0) {
        Buffer += byte;
        if (--Expected == 0) {
            Complete = true;
            return BlockDone;
        }
        return Pending;
    }
    if ((b == 13 || b == 10) && Buffer.size() > 4)
        return LineDone;
    if (b < 32)
        return Pending;
    Buffer += byte;
    if (Buffer.size() > kMaxLineLength)
        Buffer.clear();
    return Pending;
}

void TfRS232::LineComplete()
{
    FRx.Complete = true;
    TLinkLog::instance().write(QStringLiteral("DEVICE"), FRx.Buffer);
    if (FReceiveHandler) {
        const QByteArray line = FRx.Buffer;
        FRx.Buffer.clear();
        FRx.Complete = false;
        FReceiveHandler(line);
    }
}

void TfRS232::IdleTimerTick()
{
    if (!FRx.Buffer.isEmpty() && FRx.Buffer.size() <= 4) {
        TLinkLog::instance().write(QStringLiteral("Gerät TimeOut:"), FRx.Buffer);
        FRx.Buffer.clear();
    }
}

void TfRS232::ComP1Error(QSerialPort::SerialPortError error)
{
    // A vanished device (unplugged, pty closed) leaves the port unusable; closing it lets the
    // connection logic notice at its next tick.
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && ComP1.isOpen()) {
        qCDebug(lcLink) << "port lost:" << ComP1.errorString();
        FIdleTimer.stop();
        ComP1.close();
        FConnected = false;
        Q_EMIT RS232PortLost();
    }
}
