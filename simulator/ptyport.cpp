#include "ptyport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kMaxOpenAttempts = 4;

bool makeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

QString errnoText(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

TPtyPort::~TPtyPort()
{
    close();
}

bool TPtyPort::open(const QString& avoidPath, QString* error)
{
    close();
    // A closed pair's number is handed out again at once; keep the unwanted one open while
    // asking for the next, then let it go.
    int spareMaster = -1;
    int spareSlave = -1;
    bool ok = false;
    for (int attempt = 0; attempt < kMaxOpenAttempts && !ok; ++attempt) {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            if (error)
                *error = errnoText("openpty");
            break;
        }
        const QString path = QString::fromLocal8Bit(name);
        if (!avoidPath.isEmpty() && path == avoidPath && spareMaster < 0) {
            spareMaster = master;
            spareSlave = slave;
            continue;
        }
        if (!makeRaw(master) || !makeRaw(slave)) {
            if (error)
                *error = errnoText("tcsetattr");
            ::close(master);
            ::close(slave);
            break;
        }
        const int flags = fcntl(master, F_GETFL);
        fcntl(master, F_SETFL, flags | O_NONBLOCK);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        FMaster = master;
        FSlave = slave;
        FSlavePath = path;
        ok = true;
    }
    if (spareMaster >= 0) {
        ::close(spareSlave);
        ::close(spareMaster);
    }
    if (!ok && error && error->isEmpty())
        *error = QStringLiteral("no new pseudo-terminal");
    return ok;
}

void TPtyPort::close()
{
    if (FSlave >= 0)
        ::close(FSlave);
    if (FMaster >= 0)
        ::close(FMaster);
    FSlave = -1;
    FMaster = -1;
    FSlavePath.clear();
}

QByteArray TPtyPort::read(int maxBytes)
{
    if (FMaster < 0 || maxBytes <= 0)
        return {};
    QByteArray buf(maxBytes, Qt::Uninitialized);
    const ssize_t n = ::read(FMaster, buf.data(), static_cast<size_t>(maxBytes));
    if (n <= 0)
        return {};
    buf.truncate(n);
    return buf;
}

qsizetype TPtyPort::write(const QByteArray& bytes)
{
    if (FMaster < 0)
        return -1;
    const ssize_t n = ::write(FMaster, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (n < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
    return n;
}
