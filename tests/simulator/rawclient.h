#pragma once
// A bare client on the virtual device's port: POSIX open and termios, frames from BuildFrame,
// lines read back as bytes. Nothing of the program's own link code.

#include <QByteArray>
#include <QString>

#include <optional>

constexpr int kAnswerTimeoutMs = 3000;  // generous: the machine is shared
constexpr int kSilenceMs = 300;         // how long "no answer" is waited for

class TRawClient {
public:
    ~TRawClient() { close(); }
    bool open(const QString& path);
    void close();
    bool isOpen() const { return FFd >= 0; }

    bool send(const QString& command);  // framed with checksum and CR LF
    bool sendRaw(const QByteArray& bytes);
    // The next line without CR LF; nullopt on time-out or a closed port.
    std::optional<QByteArray> readLine(int timeoutMs = kAnswerTimeoutMs);
    // send + readLine.
    std::optional<QByteArray> exchange(const QString& command, int timeoutMs = kAnswerTimeoutMs);
    // True when the other side closed the port within the time.
    bool waitHangUp(int timeoutMs = kAnswerTimeoutMs);

    int lastLineReads() const { return FLastLineReads; }  // read() calls that made up the last line

private:
    int FFd = -1;
    QByteArray FBuffer;
    int FReads = 0;
    int FLastLineReads = 0;
};

// Payload of a line whose trailing five-digit checksum is right; nullopt otherwise.
std::optional<QByteArray> VerifiedPayload(const QByteArray& line);
