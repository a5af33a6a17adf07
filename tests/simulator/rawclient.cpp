#include "rawclient.h"

#include "wireformat.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

bool TRawClient::open(const QString& path)
{
    close();
    FFd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0)
        return false;
    termios tio {};
    tcgetattr(FFd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(FFd, TCSANOW, &tio);
    FBuffer.clear();
    return true;
}

void TRawClient::close()
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
}

bool TRawClient::sendRaw(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (FFd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(FFd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (n > 0)
            done += n;
    }
    return done == bytes.size();
}

bool TRawClient::send(const QString& command)
{
    return sendRaw(BuildFrame(command));
}

std::optional<QByteArray> TRawClient::readLine(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const qsizetype nl = FBuffer.indexOf('\n');
        if (nl >= 0) {
            QByteArray line = FBuffer.left(nl);
            FBuffer.remove(0, nl + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            FLastLineReads = FReads;
            FReads = 0;
            return line;
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (FFd < 0 || left <= 0)
            return std::nullopt;
        pollfd pfd {FFd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[512];
        const ssize_t n = ::read(FFd, buf, sizeof buf);
        if (n > 0) {
            FBuffer.append(buf, n);
            ++FReads;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return std::nullopt;
        }
    }
}

std::optional<QByteArray> TRawClient::exchange(const QString& command, int timeoutMs)
{
    if (!send(command))
        return std::nullopt;
    return readLine(timeoutMs);
}

bool TRawClient::waitHangUp(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (FFd >= 0 && timer.elapsed() < timeoutMs) {
        pollfd pfd {FFd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0)
            continue;
        if (pfd.revents & (POLLHUP | POLLERR))
            return true;
        char buf[512];
        const ssize_t n = ::read(FFd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno == EIO))
            return true;
    }
    return false;
}

std::optional<QByteArray> VerifiedPayload(const QByteArray& line)
{
    TOrder order;
    if (!CheckAnswer(line, order, {}))
        return std::nullopt;
    return order.RXData;
}
