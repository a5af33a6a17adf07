#pragma once
// A pseudo-terminal pair standing in for the device's USB serial port. The device works on the
// master side; the slave path is what the program opens.

#include <QByteArray>
#include <QString>

class TPtyPort {
public:
    TPtyPort() = default;
    ~TPtyPort();
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    // Opens a new pair, both ends raw, the master non-blocking. A path equal to avoidPath is not
    // taken (a replugged device gets a new port, as real hardware does).
    bool open(const QString& avoidPath, QString* error);
    void close();
    bool isOpen() const { return FMaster >= 0; }

    int masterFd() const { return FMaster; }
    QString slavePath() const { return FSlavePath; }

    // Up to maxBytes that are waiting; empty when none (or on error).
    QByteArray read(int maxBytes);
    // Bytes written (possibly fewer than given when the port's buffer is full); -1 on error.
    qsizetype write(const QByteArray& bytes);

private:
    int FMaster = -1;
    // Held open so the line keeps its settings and the master never sees a hang-up while the
    // program has the port closed.
    int FSlave = -1;
    QString FSlavePath;
};
