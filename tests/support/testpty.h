#pragma once
// A pseudo-terminal pair for tests: the slave path is a port the program can open, the master
// side plays the device.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class TestPty {
public:
    TestPty()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&FMaster, &slave, name, nullptr, nullptr) != 0)
            return;
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        tcgetattr(FMaster, &tio);
        cfmakeraw(&tio);
        tcsetattr(FMaster, TCSANOW, &tio);
        // Keep the slave open so the master never sees a hang-up between the program's opens.
        FSlave = slave;
        FPath = QString::fromLocal8Bit(name);
    }
    ~TestPty()
    {
        if (FSlave >= 0)
            ::close(FSlave);
        if (FMaster >= 0)
            ::close(FMaster);
    }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool ok() const { return FMaster >= 0 && !FPath.isEmpty(); }
    QString path() const { return FPath; }
    int master() const { return FMaster; }

    bool write(const QByteArray& bytes) const
    {
        return ::write(FMaster, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Reads what the program wrote, waiting up to timeoutMs for the first byte.
    QByteArray read(int timeoutMs = 2000) const
    {
        QByteArray out;
        pollfd p{FMaster, POLLIN, 0};
        int wait = timeoutMs;
        while (::poll(&p, 1, wait) > 0 && (p.revents & POLLIN)) {
            char buf[512];
            const ssize_t n = ::read(FMaster, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, n);
            wait = 20;
        }
        return out;
    }

    void closeMaster()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }
    void closeSlave()
    {
        if (FSlave >= 0)
            ::close(FSlave);
        FSlave = -1;
    }

private:
    int FMaster = -1;
    int FSlave = -1;
    QString FPath;
};
