// Round trips through the whole device link against a pseudo-terminal peer, compared with a
// bare write-frame/read-line loop on the same pseudo-terminal.
//
// The paced peer stands for a device behind a 115200 baud wire. The wire starts carrying a frame
// when the writer's write call has returned (each writer notes that moment), not when the peer
// thread happens to wake up and read it: the peer's own wake-up is the pseudo-terminal's cost,
// not the wire's. The answer is released when its last byte would have arrived; everything after
// that (delivery, wake-ups, the link's own work) counts against the writer.

#include "devicecommthread.h"
#include "sendorder.h"
#include "serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr double kWireBytesPerSecond = 11520.0;  // 115200 baud, 10 bits per byte
const QByteArray kCommand = "GIS";

QByteArray answerFor()
{
    const QByteArray payload = "TIS;4;0;0;0;0;1;1;";
    return payload + QByteArray::number(CalcChecksum(payload)).rightJustified(5, '0') + "\r\n";
}

void makeRaw(int fd)
{
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

// When the last write to the wire returned, in steady-clock ticks; 0 when the peer has taken it.
class WriteMark {
public:
    void wrote() { FAt.store(std::chrono::steady_clock::now().time_since_epoch().count()); }
    // The mark of the frame just received, or `fallback` when its writer left none.
    std::chrono::steady_clock::time_point take(std::chrono::steady_clock::time_point fallback)
    {
        const auto at = FAt.exchange(0);
        return at == 0 ? fallback : std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(at));
    }

private:
    std::atomic<std::chrono::steady_clock::rep> FAt{0};
};

WriteMark gWriteMark;

// The device: answers every complete frame, optionally as slowly as the real wire would.
class Peer {
public:
    Peer(int master, bool paced) : FMaster(master), FPaced(paced) { FThread = std::thread([this] { run(); }); }
    ~Peer()
    {
        FStop = true;
        FThread.join();
    }
    bool realTime() const { return FRealTime; }

private:
    void run()
    {
        // A wire is not late because the machine is busy: the pacing device thread sleeps with
        // the finest timer slack and, where allowed, ahead of ordinary threads. The program's
        // own threads keep their usual scheduling.
        if (FPaced) {
            ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
            sched_param sp{};
            sp.sched_priority = 1;
            FRealTime = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &sp) == 0;
        }
        const QByteArray answer = answerFor();
        QByteArray pending;
        char buf[256];
        while (!FStop) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            // Only a fallback for a writer that leaves no mark: the frame was on the wire before.
            const auto arrived = std::chrono::steady_clock::now();
            const ssize_t n = ::read(FMaster, buf, sizeof buf);
            if (n <= 0)
                continue;
            pending.append(buf, n);
            int end;
            while ((end = pending.indexOf("\r\n")) >= 0) {
                const qsizetype frameLen = end + 2;
                pending.remove(0, frameLen);
                if (FPaced) {
                    // The frame's last byte reaches the device, then the answer's last byte comes back.
                    const double seconds = double(frameLen + answer.size()) / kWireBytesPerSecond;
                    const auto onWire = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(seconds));
                    // Sleep most of the way, then spin: a plain sleep overshoots by far more
                    // than the link's own overhead. The writer's mark is read only after the
                    // sleep: its write call may return after the peer has read the frame.
                    std::this_thread::sleep_until(arrived + onWire - std::chrono::microseconds(300));
                    const auto due = gWriteMark.take(arrived) + onWire;
                    while (std::chrono::steady_clock::now() < due) {
                    }
                }
                [[maybe_unused]] ssize_t w = ::write(FMaster, answer.constData(), size_t(answer.size()));
            }
        }
    }

    int FMaster;
    bool FPaced;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FRealTime{false};
    std::thread FThread;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

double sum(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return s;
}

// Bare loop: write the frame, read until the line ends. Returns per-trip microseconds.
std::vector<double> rawTrips(const char* slavePath, int count)
{
    std::vector<double> us;
    const int fd = ::open(slavePath, O_RDWR | O_NOCTTY);
    if (fd < 0)
        return us;
    makeRaw(fd);
    const QByteArray frame = BuildFrame(QString::fromLatin1(kCommand));
    char buf[256];
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        [[maybe_unused]] ssize_t w = ::write(fd, frame.constData(), size_t(frame.size()));
        gWriteMark.wrote();
        QByteArray line;
        while (!line.endsWith("\r\n")) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, n);
        }
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    ::close(fd);
    return us;
}

// The program's serial layer, marking the wire's start when a frame has been written.
class MarkingPort : public TDeviceCommPort {
public:
    explicit MarkingPort(TfRS232& port) : FPort(port) {}
    bool IsConnected() override { return FPort.IsConnected(); }
    bool Send(const QByteArray& frame) override
    {
        const bool sent = FPort.Send(frame);
        if (sent)
            gWriteMark.wrote();
        return sent;
    }

private:
    TfRS232& FPort;
};

// The program's path: SendOrder -> worker -> serial layer -> pty -> peer -> callback -> SendOrder.
// One port and one worker for the whole run, as in the program; the port is closed between
// blocks so that the bare loop has the pseudo-terminal to itself.
class ProgramLink {
public:
    explicit ProgramLink(const QString& slavePath)
        : FPath(slavePath)
    {
        FWorker = std::make_unique<TDeviceCommThread>(&FMarking, nullptr, [this](const TOrder& o) { Finished(o); });
        FPort.RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& o) { FWorker->AddOrder(o); });
        FWorker->Start();
    }
    ~ProgramLink()
    {
        FWorker.reset();
        SetOrderSink({});
    }

    // Runs count orders back to back; false when the port did not open or an order failed.
    bool Trips(int count, std::vector<double>& us)
    {
        if (!FPort.RS232Open(FPath))
            return false;
        FUs = &us;
        FCount = count;
        FFinished = 0;
        FOk = true;
        QTimer::singleShot(0, [this] {
            FPerOrder.start();
            SendOrder(0, QString::fromLatin1(kCommand), 0);
        });
        QCoreApplication::exec();
        FPort.RS232Open(QString());
        return FOk && FFinished == count;
    }

private:
    void Finished(const TOrder& o)
    {
        FUs->push_back(double(FPerOrder.nsecsElapsed()) / 1000.0);
        FOk = FOk && o.Status == kOrderDone;
        if (++FFinished < FCount) {
            FPerOrder.start();
            SendOrder(0, QString::fromLatin1(kCommand), 0);
        } else {
            QCoreApplication::quit();
        }
    }

    QString FPath;
    TfRS232 FPort;
    MarkingPort FMarking{FPort};
    std::unique_ptr<TDeviceCommThread> FWorker;
    QElapsedTimer FPerOrder;
    std::vector<double>* FUs = nullptr;
    int FCount = 0;
    int FFinished = 0;
    bool FOk = true;
};

// The bare loop and the program take turns in blocks, so that a change in the machine's load
// during the run falls on both alike.
bool sideBySide(const char* slavePath, int trips, std::vector<double>& raw, std::vector<double>& program)
{
    constexpr int kBlock = 100;
    ProgramLink link(QString::fromLocal8Bit(slavePath));
    for (int done = 0; done < trips; done += kBlock) {
        const int n = std::min(kBlock, trips - done);
        const std::vector<double> r = rawTrips(slavePath, n);
        if (int(r.size()) != n)
            return false;
        raw.insert(raw.end(), r.begin(), r.end());
        if (!link.Trips(n, program))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    makeRaw(master);
    makeRaw(slave);
    const int trips = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    // Enough paced orders that one stall of the machine does not decide the figure.
    const int pacedTrips = std::max(10, trips / 2);

    std::vector<double> raw;
    std::vector<double> program;
    std::vector<double> rawPaced;
    std::vector<double> paced;
    bool okFast = false;
    bool okPaced = false;
    bool peerRealTime = false;
    {
        Peer peer(master, false);
        okFast = sideBySide(name, trips, raw, program);
    }
    {
        Peer peer(master, true);
        okPaced = sideBySide(name, pacedTrips, rawPaced, paced);
        peerRealTime = peer.realTime();
    }
    double pacedSeconds = 0;
    for (double v : paced)
        pacedSeconds += v / 1e6;
    ::close(slave);
    ::close(master);
    if (!okFast || !okPaced || raw.empty()) {
        std::fprintf(stderr, "link_bench: an exchange failed\n");
        return 1;
    }

    double rawSum = 0;
    for (double v : raw)
        rawSum += v;
    double programSum = 0;
    for (double v : program)
        programSum += v;
    const double rawPerS = double(raw.size()) / (rawSum / 1e6);
    const double programPerS = double(program.size()) / (programSum / 1e6);
    const double overheadUs = median(program) - median(raw);
    const QByteArray frame = BuildFrame(QString::fromLatin1(kCommand));
    const double wireRate = kWireBytesPerSecond / double(frame.size() + answerFor().size());
    const double pacedRate = double(paced.size()) / pacedSeconds;
    const double efficiency = std::min(1.0, pacedRate / wireRate);

    std::printf("device thread: %s scheduling\n", peerRealTime ? "real-time" : "ordinary");
    std::printf("raw: %zu trips, median %.1f us\n", raw.size(), median(raw));
    std::printf("program: %zu orders, median %.1f us\n", program.size(), median(program));
    std::printf("raw paced: median %.1f us per trip\n", median(rawPaced));
    std::printf("paced: median %.1f us per order, 90%% %.1f us, 99%% %.1f us (raw: 90%% %.1f us, 99%% %.1f us)\n",
                median(paced), percentile(paced, 0.9), percentile(paced, 0.99), percentile(rawPaced, 0.9),
                percentile(rawPaced, 0.99));
    std::printf("paced: %zu orders in %.2f s, %.1f/s against a wire limit of %.1f/s\n", paced.size(),
                pacedSeconds, pacedRate, wireRate);
    // What the bare loop reaches on the same wire: the share lost to the machine, not the program.
    std::printf("raw paced efficiency %.3f\n",
                std::min(1.0, (double(rawPaced.size()) / (sum(rawPaced) / 1e6)) / wireRate));
    std::printf("link_bench raw_per_s=%.0f program_per_s=%.0f overhead_us=%.1f paced_efficiency=%.3f\n",
                rawPerS, programPerS, overheadUs, efficiency);
    return 0;
}
