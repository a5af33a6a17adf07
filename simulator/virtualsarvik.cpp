#include "virtualsarvik.h"

#include "bootloader.h"
#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"
#include "paramset.h"
#include "ptyport.h"
#include "simwire.h"
#include "sysfsentry.h"
#include "wireformat.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <poll.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kIdleTickMs = 20;
constexpr double kBaudBytesPerMs = 11.52;   // 115200 baud, 10 bits a byte
constexpr double kPaceBurstBytes = 64.0;  // a few milliseconds of line time, so a late tick loses nothing
constexpr int kReadChunkBytes = 512;
constexpr int kSplitFragments = 3;
constexpr int kSplitPauseMs = 30;
constexpr int kSwitchOffDrainMs = 1000;  // longest wait for queued output before leaving the bus
constexpr double kMaxSpeed = 100000.0;
constexpr qint64 kRestartLeaveMs = 30;  // after the restart answer has left

using TClock = std::chrono::steady_clock;

// One piece of output. An answer sent in fragments has its later pieces marked as continuation,
// so nothing is put between them.
struct TOutChunk {
    qint64 dueMs = 0;
    QByteArray bytes;
    qsizetype written = 0;
    bool continuation = false;
    QString logLine;  // logged as TX once the chunk is fully written
};

// Token bucket for --pace-baud.
struct TPacer {
    bool enabled = false;
    double allowance = kPaceBurstBytes;
    qint64 lastMs = 0;

    int available(qint64 nowMs)
    {
        if (!enabled)
            return kReadChunkBytes;
        allowance = std::min(kPaceBurstBytes, allowance + (nowMs - lastMs) * kBaudBytesPerMs);
        lastMs = nowMs;
        return static_cast<int>(allowance);
    }
    void consume(qsizetype bytes)
    {
        if (enabled)
            allowance -= static_cast<double>(bytes);
    }
};

}  // namespace

QString CheckVirtualSarvikOptions(const TVirtualSarvikOptions& o)
{
    if (o.serial.isEmpty() || o.serial.contains(QLatin1Char(';')) || o.serial.size() > 32)
        return QStringLiteral("serial number must be 1 to 32 characters without ';'");
    if (!IsValidFirmware(o.firmware))
        return QStringLiteral("firmware must look like 3.6.0");
    if (o.hardware.contains(QLatin1Char(';')))
        return QStringLiteral("hardware version must not contain ';'");
    if (o.variants < 0 || o.variants > 63)
        return QStringLiteral("variants must be 0 to 63");
    if (o.jumpers < 0 || o.jumpers > 3)
        return QStringLiteral("jumpers must be 0 to 3");
    if (o.languages < 1 || o.languages > kMaxLanguages)
        return QStringLiteral("languages must be 1 to %1").arg(kMaxLanguages);
    if (!(o.speed > 0.0 && o.speed <= kMaxSpeed))
        return QStringLiteral("speed must be above 0 and at most %1").arg(kMaxSpeed);
    if (o.switchOffMs < 0)
        return QStringLiteral("switch-off time must not be negative");
    if (!o.paramSet.isEmpty() && !ParameterSetNames().contains(o.paramSet))
        return QStringLiteral("unknown parameter set %1 (%2)").arg(o.paramSet, ParameterSetNames().join(QStringLiteral(", ")));
    return {};
}

QString DeviceStateText(int state)
{
    switch (state) {
    case kDevOff: return QStringLiteral("Aus");
    case 1: return QStringLiteral("Initialisierung");
    case 2: return QStringLiteral("Konfiguration");
    case kDevReady: return QStringLiteral("Bereit");
    case kDevSampling: return QStringLiteral("Probenahme");
    case kDevStandby: return QStringLiteral("Bereitschaft");
    case 32: return QStringLiteral("Servicemodus");
    case kDevSwitchingOff: return QStringLiteral("Ausschaltvorgang");
    case 128: return QStringLiteral("Firmwareaktualisierung");
    default: return QString::number(state);
    }
}

QString ChannelStateText(int state)
{
    switch (state) {
    case kChInactive: return QStringLiteral("Inaktiv");
    case kChWaiting: return QStringLiteral("Wartet");
    case kChActive: return QStringLiteral("Aktiv");
    case kChIntervalPause: return QStringLiteral("Intervallpause");
    case 5: return QStringLiteral("Pause");
    case kChFinished: return QStringLiteral("Beendet");
    case kChDisturbed: return QStringLiteral("Gestört");
    case kChAborted: return QStringLiteral("Abgebrochen");
    default: return QString::number(state);
    }
}

// Internal to the device; all of it is reached from the device thread only, except where noted.
struct TVirtualSarvik::TImpl {
    explicit TImpl(TVirtualSarvikOptions options)
        : FOptions(std::move(options)),
          FModel(identityFrom(FOptions), FOptions.seed ? FOptions.seed : std::random_device{}(),
                 QDateTime::currentDateTime()),
          FRandom(FOptions.seed ? FOptions.seed + 1 : std::random_device{}())
    {
        RegisterAllCommands(FTable);
        if (!FOptions.paramSet.isEmpty())
            ApplyParameterSet(FModel, FOptions.paramSet);
        FTxPacer.enabled = FOptions.paceBaud;
        FRxPacer.enabled = FOptions.paceBaud;
        FBoot.SetPaced(FOptions.paceBaud);
        FInBootloader = FOptions.bootloader;
        FBootDelayMs = FOptions.bootDelayMs;
    }

    ~TImpl() { stop(); }

    static TSimIdentity identityFrom(const TVirtualSarvikOptions& o)
    {
        TSimIdentity id;
        id.strSerial = o.serial;
        id.strFirmware = o.firmware;
        id.strHardware = o.hardware;
        id.iJumpers = o.jumpers;
        id.iVariants = o.variants;
        id.iLanguages = o.languages;
        return id;
    }

    bool start(QString* error)
    {
        std::lock_guard<std::mutex> life(FLifeMutex);
        if (FRunning)
            return true;
        const QString problem = CheckVirtualSarvikOptions(FOptions);
        if (!problem.isEmpty() || FOptions.root.isEmpty()) {
            if (error)
                *error = problem.isEmpty() ? QStringLiteral("no device root given") : problem;
            return false;
        }
        if (pipe2(FWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            if (error)
                *error = QStringLiteral("cannot create the wake-up pipe");
            return false;
        }
        if (!FOptions.logFile.isEmpty()) {
            FLog.setFileName(FOptions.logFile);
            if (!FLog.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
                if (error)
                    *error = QStringLiteral("cannot open the log file %1").arg(FOptions.logFile);
                closeWakePipe();
                return false;
            }
        }
        FStart = TClock::now();
        FLastAdvanceMs = 0;
        if (!goOnBus(error)) {
            FLog.close();
            closeWakePipe();
            return false;
        }
        FStopRequested = false;
        // The thread object is complete before anyone may queue work for it.
        FThread = std::thread([this] { run(); });
        FRunning = true;
        return true;
    }

    void stop()
    {
        std::lock_guard<std::mutex> life(FLifeMutex);
        if (!FRunning)
            return;
        FStopRequested = true;
        wake();
        if (FThread.joinable())
            FThread.join();
        {
            // Nothing runs on the device thread now; tasks still queued are carried out here so
            // that no caller waits for ever. The lock keeps invoke from queueing after this.
            std::lock_guard<std::mutex> lock(FInvokeMutex);
            FRunning = false;
            runTasks();
        }
        goOffBus();
        FLog.close();
        closeWakePipe();
    }

    // Runs f on the device thread and returns its result. Before start and after stop the
    // caller's thread runs it (there is no other).
    template <typename F>
    auto invoke(F f) -> decltype(f())
    {
        using R = decltype(f());
        std::unique_lock<std::mutex> startLock(FInvokeMutex);
        if (!FRunning || std::this_thread::get_id() == FThread.get_id())
            return f();
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
        std::future<R> result = task->get_future();
        {
            std::lock_guard<std::mutex> lock(FTaskMutex);
            FTasks.push_back([task] { (*task)(); });
        }
        wake();
        startLock.unlock();
        return result.get();
    }


    TVirtualSarvikOptions FOptions;
    TDeviceModel FModel;
    TCommandTable FTable;
    TPtyPort FPort;
    TSysfsEntry FEntry;
    QString FLastPortPath;
    bool FPlugged = true;

    int FDropCount = 0;
    int FCorruptCount = 0;
    int FSplitCount = 0;
    int FDelayMs = 0;
    TSimFaultRates FRates;
    std::mt19937 FFaultRandom;
    qint64 FDropped = 0;
    qint64 FCorrupted = 0;
    qint64 FSplit = 0;
    qint64 FAnswered = 0;
    qint64 FRejected = 0;
    qint64 FBytesIn = 0;
    qint64 FBytesOut = 0;

    qint64 nowMs() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - FStart).count();
    }

    bool goOnBus(QString* error)
    {
        if (FPort.isOpen() || !FPlugged || !FModel.isOn() || FModel.switchOffPending())
            return true;
        if (!FPort.open(FLastPortPath, error))
            return false;
        TSysfsIdentity id;
        id.serial = FOptions.serial;
        if (FInBootloader) {
            id.productId = kBootProductId;
            id.serial = kBootSerial;
            id.product = QStringLiteral("Sarvik2V2 Bootloader");
            FBoot.Reset();
        }
        if (!FEntry.add(FOptions.root, id, FPort.slavePath(), error)) {
            FPort.close();
            return false;
        }
        FLastPortPath = FPort.slavePath();
        return true;
    }

    void goOffBus()
    {
        FEntry.remove();
        FPort.close();
        FBoot.Reset();
        FOut.clear();
        FAssembler.clear();
        FLastAnswerDueMs = 0;
    }

    bool onBus() const { return FPort.isOpen(); }

    void queueNow(const QByteArray& bytes, const QString& logLine)
    {
        // Ahead of anything delayed, but never between the pieces of a fragmented answer.
        const qint64 now = nowMs();
        auto it = FOut.begin();
        while (it != FOut.end() && (it->written > 0 || it->dueMs <= now || it->continuation))
            ++it;
        TOutChunk chunk;
        chunk.dueMs = now;
        chunk.bytes = bytes;
        chunk.logLine = logLine;
        FOut.insert(it, chunk);
        wake();
    }

    QByteArray garbage(int count)
    {
        std::uniform_int_distribution<int> byte(0, 255);
        QByteArray bytes;
        bytes.reserve(count);
        while (bytes.size() < count) {
            const int b = byte(FRandom);
            if (b != '\r' && b != '\n')
                bytes.append(static_cast<char>(b));
        }
        return bytes;
    }

    TSimStatus status() const
    {
        TSimStatus s;
        s.powered = FModel.isOn();
        s.plugged = FPlugged;
        s.onBus = onBus();
        s.portPath = FPort.slavePath();
        s.ttyName = FEntry.ttyName();
        s.deviceState = FModel.deviceState();
        s.preset = FModel.FRun.iPreset;
        s.runElapsedS = FModel.FRun.fElapsedS;
        for (int c = 0; c < 2; ++c) {
            const TSimChannelRun& ch = FModel.FRun.aChannel[c];
            s.channels[c] = {ch.iState, ch.fFlow, ch.fVolume, ch.iVolType};
        }
        s.batteryPercent = FModel.FBatteryPercent;
        s.alarmCode = FModel.FAlarmCode;
        s.errorWords = {FModel.FErrorWord1, FModel.FErrorWord2, FModel.FErrorWord3};
        s.framesAnswered = FAnswered;
        s.framesRejected = FRejected;
        s.bytesIn = FBytesIn;
        s.bytesOut = FBytesOut;
        s.bootloader = FInBootloader;
        s.violations = FBoot.Violations();
        s.blocksReceived = FBoot.BlocksReceived();
        s.firmware = FModel.FIdentity.strFirmware;
        s.framesDropped = FDropped;
        s.answersCorrupted = FCorrupted;
        s.answersSplit = FSplit;
        return s;
    }

    void wake()
    {
        if (FWakePipe[1] >= 0) {
            const char c = 1;
            [[maybe_unused]] const ssize_t n = ::write(FWakePipe[1], &c, 1);
        }
    }

    void closeWakePipe()
    {
        for (int& fd : FWakePipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }

    void runTasks()
    {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard<std::mutex> lock(FTaskMutex);
            tasks.swap(FTasks);
        }
        for (auto& t : tasks)
            t();
    }

    // One draw per fault kind and frame, so that a rate of 0 leaves the others' sequence alone.
    bool chance(double percent)
    {
        const double draw = std::uniform_real_distribution<double>(0.0, 100.0)(FFaultRandom);
        return draw < percent;
    }

    void logEvent(const char* kind, const QString& text)
    {
        if (!FLog.isOpen())
            return;
        FLog.write(QByteArray::number(nowMs()) + ' ' + kind + ' ' + text.toUtf8() + '\n');
        FLog.flush();
    }

    void run()
    {
        while (!FStopRequested) {
            pollOnce();
            runTasks();
            const qint64 now = nowMs();
            FModel.advance(static_cast<double>(now - FLastAdvanceMs) * FOptions.speed);
            FLastAdvanceMs = now;
            handleSwitchOff(now);
            handleRestart(now);
            if (FInBootloader) {
                readBootInput();
                writeBootOutput();
                FBoot.Tick(nowUs());
            } else {
                readInput(now);
                writeOutput(now);
            }
        }
    }

    qint64 nowUs() const
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - FStart).count();
    }

    // SAR: off the bus once the answer is out, back as the bootloader after the boot delay.
    // The bootloader's 04 52: back as the application when block 0 holds one, else as the
    // bootloader again.
    void handleRestart(qint64 now)
    {
        if (FModel.FRestart.pending && FOut.empty()) {
            // A moment for the program to read the answer before the port goes away.
            if (FRestartLeaveMs < 0)
                FRestartLeaveMs = now + kRestartLeaveMs;
            if (now < FRestartLeaveMs)
                return;
            FRestartLeaveMs = -1;
            FModel.FRestart.pending = false;
            goOffBus();
            FInBootloader = true;
            scheduleBoot(now);
        }
        if (FBootAtMs >= 0 && now >= FBootAtMs) {
            FBootAtMs = -1;
            QString error;
            goOnBus(&error);
        }
    }

    void scheduleBoot(qint64 now)
    {
        FBootAtMs = FBootDelayMs < 0 ? -1 : now + FBootDelayMs;
    }

    void readBootInput()
    {
        if (!FPort.isOpen())
            return;
        for (;;) {
            const QByteArray bytes = FPort.read(kReadChunkBytes);
            if (bytes.isEmpty())
                break;
            if (FLog.isOpen())
                logEvent("RX", QString::fromLatin1(bytes.toHex(' ')));
            FBoot.Feed(bytes, nowUs());
            if (handleBootEvent())
                return;
        }
    }

    // True when the bootloader left the bus.
    bool handleBootEvent()
    {
        switch (FBoot.TakeEvent()) {
        case TSimBootloader::evNone:
            return false;
        case TSimBootloader::evVanish:
            FPlugged = false;
            goOffBus();
            return true;
        case TSimBootloader::evRestart: {
            goOffBus();
            if (!FBoot.Block0Erased()) {
                FInBootloader = false;
                const QString version = FirmwareVersionInImage(FBoot.Flash());
                if (IsValidFirmware(version))
                    FModel.FIdentity.strFirmware = version;
            }
            scheduleBoot(nowMs());
            return true;
        }
        }
        return false;
    }

    void writeBootOutput()
    {
        auto& out = FBoot.Output();
        while (FPort.isOpen() && !out.empty() && out.front().dueUs <= nowUs()) {
            TSimBootloader::TOut& chunk = out.front();
            const qsizetype n = FPort.write(chunk.bytes);
            if (n < 0) {
                out.clear();
                return;
            }
            chunk.bytes.remove(0, n);
            if (!chunk.bytes.isEmpty())
                return;
            if (FLog.isOpen())
                logEvent("TX", QString::fromLatin1(QByteArray::number(n) + " bytes"));
            out.pop_front();
        }
    }

    void pollOnce()
    {
        if (FInBootloader) {
            bootPollOnce();
            return;
        }
        const qint64 now = nowMs();
        int timeout = kIdleTickMs;
        bool wantWrite = false;
        if (!FOut.empty()) {
            const qint64 wait = FOut.front().dueMs - now;
            if (wait <= 0) {
                wantWrite = true;
                timeout = FOptions.paceBaud ? 1 : kIdleTickMs;
            } else {
                timeout = static_cast<int>(std::min<qint64>(timeout, wait));
            }
        }
        pollfd fds[2] = {{FWakePipe[0], POLLIN, 0}, {FPort.masterFd(), 0, 0}};
        int count = 1;
        if (FPort.isOpen()) {
            // While reading is paced, the line is read on readiness as long as the budget allows
            // and on the clock otherwise (a readable line with no budget would wake at once).
            const bool readNow = !FOptions.paceBaud || FRxPacer.available(now) > 0;
            fds[1].events = static_cast<short>((readNow ? POLLIN : 0) | (wantWrite ? POLLOUT : 0));
            if (FOptions.paceBaud)
                timeout = std::min(timeout, 2);
            count = 2;
        }
        const int r = ::poll(fds, static_cast<nfds_t>(count), timeout);
        if (r > 0 && (fds[0].revents & POLLIN)) {
            char buf[64];
            while (::read(FWakePipe[0], buf, sizeof buf) > 0) {
            }
        }
    }

    // The bootloader reads bytes as they come and answers to the microsecond.
    void bootPollOnce()
    {
        qint64 waitUs = qint64(kIdleTickMs) * 1000;
        bool wantWrite = false;
        const auto& out = FBoot.Output();
        if (!out.empty()) {
            // One sleep right up to the answer: every extra wake-up costs its latency.
            const qint64 left = out.front().dueUs - nowUs();
            if (left <= 0)
                wantWrite = true;
            else
                waitUs = left;
        }
        if (FBootAtMs >= 0)
            waitUs = std::min(waitUs, std::max<qint64>(0, (FBootAtMs - nowMs()) * 1000));
        pollfd fds[2] = {{FWakePipe[0], POLLIN, 0}, {FPort.masterFd(), 0, 0}};
        nfds_t count = 1;
        if (FPort.isOpen()) {
            fds[1].events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
            count = 2;
        }
        if (wantWrite)
            waitUs = 0;
        const timespec ts{static_cast<time_t>(waitUs / 1000000), static_cast<long>((waitUs % 1000000) * 1000)};
        const int r = ::ppoll(fds, count, &ts, nullptr);
        if (r > 0 && (fds[0].revents & POLLIN)) {
            char buf[64];
            while (::read(FWakePipe[0], buf, sizeof buf) > 0) {
            }
        }
    }

    void handleSwitchOff(qint64 now)
    {
        if (!FModel.switchOffPending()) {
            FSwitchOffAtMs = -1;
            return;
        }
        if (FSwitchOffAtMs < 0)
            FSwitchOffAtMs = now + FOptions.switchOffMs;
        const bool drained = FOut.empty() || now >= FSwitchOffAtMs + kSwitchOffDrainMs;
        if (now >= FSwitchOffAtMs && drained) {
            FModel.powerOff();
            goOffBus();
            FSwitchOffAtMs = -1;
        }
    }

    void readInput(qint64 now)
    {
        if (!FPort.isOpen())
            return;
        for (;;) {
            const int budget = std::min(kReadChunkBytes, FRxPacer.available(now));
            if (budget <= 0)
                return;
            const QByteArray bytes = FPort.read(budget);
            if (bytes.isEmpty())
                return;
            FRxPacer.consume(bytes.size());
            FBytesIn += bytes.size();
            for (const QByteArray& line : FAssembler.feed(bytes))
                handleLine(line);
            if (!FPort.isOpen())
                return;
        }
    }

    void handleLine(const QByteArray& line)
    {
        if (line.isEmpty())
            return;
        logEvent("RX", LogText(line));
        QByteArray command;
        if (CheckCommandFrame(line, command) != TFrameCheck::Valid) {
            ++FRejected;
            return;
        }
        const bool randomDrop = chance(FRates.dropPercent);
        const bool randomCorrupt = chance(FRates.corruptPercent);
        const bool randomSplit = chance(FRates.splitPercent);
        if (FDropCount > 0 || randomDrop) {
            if (FDropCount > 0)
                --FDropCount;
            ++FDropped;
            return;
        }
        const QByteArray payload = ToWire(AnswerPayload(FTable, FModel, FromWire(command)));
        if (FModel.FRestart.suppressAnswer) {
            // Restarts at once, as a device whose answer got lost.
            FModel.FRestart.suppressAnswer = false;
            return;
        }
        const bool corrupt = FCorruptCount > 0 || randomCorrupt;
        if (FCorruptCount > 0)
            --FCorruptCount;
        if (corrupt)
            ++FCorrupted;
        const QByteArray answer = AnswerLine(payload, corrupt);
        ++FAnswered;
        const qint64 due = std::max(nowMs() + FDelayMs, FLastAnswerDueMs);
        FLastAnswerDueMs = due;
        const QString logLine = LogText(answer.left(answer.size() - 2));
        if ((FSplitCount > 0 || randomSplit) && answer.size() >= kSplitFragments) {
            if (FSplitCount > 0)
                --FSplitCount;
            ++FSplit;
            const qsizetype piece = answer.size() / kSplitFragments;
            for (int i = 0; i < kSplitFragments; ++i) {
                TOutChunk chunk;
                chunk.dueMs = due + i * kSplitPauseMs;
                chunk.bytes = i + 1 < kSplitFragments ? answer.mid(i * piece, piece) : answer.mid(i * piece);
                chunk.continuation = i > 0;
                if (i + 1 == kSplitFragments)
                    chunk.logLine = logLine;
                FOut.push_back(chunk);
            }
            FLastAnswerDueMs = due + (kSplitFragments - 1) * kSplitPauseMs;
        } else {
            TOutChunk chunk;
            chunk.dueMs = due;
            chunk.bytes = answer;
            chunk.logLine = logLine;
            FOut.push_back(chunk);
        }
    }

    void writeOutput(qint64 now)
    {
        while (FPort.isOpen() && !FOut.empty() && FOut.front().dueMs <= now) {
            TOutChunk& chunk = FOut.front();
            const int budget = FTxPacer.available(now);
            if (budget <= 0)
                return;
            const QByteArray part = chunk.bytes.mid(chunk.written, budget);
            const qsizetype n = FPort.write(part);
            if (n < 0) {
                // The other end is gone for good; what was queued cannot arrive.
                FOut.clear();
                return;
            }
            FTxPacer.consume(n);
            FBytesOut += n;
            chunk.written += n;
            if (chunk.written < chunk.bytes.size())
                return;
            if (!chunk.logLine.isEmpty())
                logEvent("TX", chunk.logLine);
            FOut.pop_front();
        }
    }

    std::thread FThread;
    std::atomic<bool> FRunning {false};
    std::atomic<bool> FStopRequested {false};
    std::mutex FLifeMutex;    // start and stop
    std::mutex FInvokeMutex;  // FRunning against the task queue
    std::mutex FTaskMutex;
    std::deque<std::function<void()>> FTasks;
    int FWakePipe[2] = {-1, -1};

    TSimBootloader FBoot;
    bool FInBootloader = false;
    qint64 FBootAtMs = -1;
    qint64 FRestartLeaveMs = -1;
    int FBootDelayMs = 500;

    TClock::time_point FStart = TClock::now();
    qint64 FLastAdvanceMs = 0;
    qint64 FSwitchOffAtMs = -1;
    qint64 FLastAnswerDueMs = 0;
    TLineAssembler FAssembler;
    std::deque<TOutChunk> FOut;
    TPacer FTxPacer;
    TPacer FRxPacer;
    QFile FLog;
    std::mt19937 FRandom;
};

TVirtualSarvik::TVirtualSarvik(TVirtualSarvikOptions options)
    : FImpl(std::make_unique<TImpl>(std::move(options)))
{
}

TVirtualSarvik::~TVirtualSarvik()
{
    stop();
}

bool TVirtualSarvik::start(QString* error)
{
    return FImpl->start(error);
}

void TVirtualSarvik::stop()
{
    FImpl->stop();
}

bool TVirtualSarvik::isRunning() const
{
    return FImpl->FRunning;
}

QString TVirtualSarvik::root() const
{
    return FImpl->FOptions.root;
}

QString TVirtualSarvik::portPath() const
{
    return FImpl->invoke([this] { return FImpl->FPort.slavePath(); });
}

QString TVirtualSarvik::ttyName() const
{
    return FImpl->invoke([this] { return FImpl->FEntry.ttyName(); });
}

TSimStatus TVirtualSarvik::status() const
{
    return FImpl->invoke([this] { return FImpl->status(); });
}

void TVirtualSarvik::setAlarm(int code, int errorWord1, int errorWord2, int errorWord3)
{
    FImpl->invoke([=, this] {
        TDeviceModel& m = FImpl->FModel;
        m.FAlarmCode = code;
        m.FErrorWord1 = errorWord1;
        m.FErrorWord2 = errorWord2;
        m.FErrorWord3 = errorWord3;
    });
}

void TVirtualSarvik::clearAlarm()
{
    setAlarm(0, 0, 0, 0);
}

namespace {

bool setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

}  // namespace

bool TVirtualSarvik::sendTim(const QString& text, QString* error)
{
    return FImpl->invoke([&, this] {
        if (!FImpl->onBus())
            return setError(error, QStringLiteral("not on the bus"));
        const QString line = QStringLiteral("TIM;") + text;
        FImpl->queueNow(ToWire(line) + "\r\n", LogText(ToWire(line)));
        return true;
    });
}

void TVirtualSarvik::dropNext(int frames)
{
    FImpl->invoke([=, this] { FImpl->FDropCount = std::max(0, frames); });
}

void TVirtualSarvik::corruptNext(int answers)
{
    FImpl->invoke([=, this] { FImpl->FCorruptCount = std::max(0, answers); });
}

void TVirtualSarvik::setAnswerDelay(int ms)
{
    FImpl->invoke([=, this] { FImpl->FDelayMs = std::max(0, ms); });
}

void TVirtualSarvik::splitNext(int answers)
{
    FImpl->invoke([=, this] { FImpl->FSplitCount = std::max(0, answers); });
}

void TVirtualSarvik::setFaultRates(const TSimFaultRates& rates)
{
    FImpl->invoke([=, this] {
        const auto clamp = [](double p) { return std::isfinite(p) ? std::clamp(p, 0.0, 100.0) : 0.0; };
        FImpl->FRates = {clamp(rates.dropPercent), clamp(rates.corruptPercent), clamp(rates.splitPercent), rates.seed};
        FImpl->FFaultRandom.seed(rates.seed ? rates.seed : std::random_device{}());
    });
}

bool TVirtualSarvik::sendGarbage(int bytes, QString* error)
{
    return FImpl->invoke([&, this] {
        if (!FImpl->onBus())
            return setError(error, QStringLiteral("not on the bus"));
        if (bytes > 0)
            FImpl->queueNow(FImpl->garbage(bytes), QString());
        return true;
    });
}

bool TVirtualSarvik::unplug(QString* error)
{
    return FImpl->invoke([&, this] {
        if (!FImpl->FPlugged)
            return setError(error, QStringLiteral("already unplugged"));
        FImpl->FPlugged = false;
        FImpl->goOffBus();
        return true;
    });
}

bool TVirtualSarvik::plug(QString* error)
{
    return FImpl->invoke([&, this] {
        if (FImpl->FPlugged)
            return setError(error, QStringLiteral("already plugged in"));
        FImpl->FPlugged = true;
        return FImpl->goOnBus(error);
    });
}

bool TVirtualSarvik::powerOn(QString* error)
{
    return FImpl->invoke([&, this] {
        if (FImpl->FModel.isOn())
            return setError(error, QStringLiteral("already switched on"));
        FImpl->FModel.powerOn();
        return FImpl->goOnBus(error);
    });
}

bool TVirtualSarvik::startRun(int preset, QString* error)
{
    return FImpl->invoke([&, this] {
        switch (FImpl->FModel.startRun(preset)) {
        case 0: return true;
        case 1: return setError(error, QStringLiteral("no preset %1").arg(preset));
        case 2: return setError(error, QStringLiteral("sampling already running"));
        case 3: return setError(error, QStringLiteral("preset %1 has no active channel").arg(preset));
        default: return setError(error, QStringLiteral("device is switched off"));
        }
    });
}

bool TVirtualSarvik::setFlow(int channel, double flowNlMin, QString* error)
{
    return FImpl->invoke([&, this] {
        if (channel < 0 || channel > 1)
            return setError(error, QStringLiteral("no channel %1").arg(channel + 1));
        if (!std::isfinite(flowNlMin) || flowNlMin > 2.5)
            return setError(error, QStringLiteral("flow outside 0..2.5 NL/min"));
        FImpl->FModel.FCalibration.aManualFlow[static_cast<size_t>(channel)] = std::max(-1.0, flowNlMin);
        return true;
    });
}

void TVirtualSarvik::withModel(const std::function<void(TDeviceModel& model)>& f)
{
    FImpl->invoke([&, this] { f(FImpl->FModel); });
}

bool TVirtualSarvik::stopRun(QString* error)
{
    return FImpl->invoke([&, this] {
        if (!FImpl->FModel.isOn())
            return setError(error, QStringLiteral("device is switched off"));
        if (!FImpl->FModel.stopRun())
            return setError(error, QStringLiteral("no sampling running"));
        return true;
    });
}

QStringList TVirtualSarvik::storedPreset(int n) const
{
    return storedParameter(QStringLiteral("P;%1").arg(n));
}

QStringList TVirtualSarvik::storedParameter(const QString& letter) const
{
    return FImpl->invoke([&, this] {
        QStringList params = letter.split(QLatin1Char(';'));
        const QString word = QStringLiteral("GS") + params.takeFirst();
        const TCommandHandler* handler = FImpl->FTable.find(word);
        return handler ? (*handler)(FImpl->FModel, params) : QStringList{};
    });
}

QDateTime TVirtualSarvik::deviceClock() const
{
    return FImpl->invoke([this] { return FImpl->FModel.deviceClock(); });
}

bool TVirtualSarvik::applyParameterSet(const QString& name, QString* error)
{
    const bool ok = FImpl->invoke([&, this] { return ApplyParameterSet(FImpl->FModel, name); });
    if (!ok && error)
        *error = QStringLiteral("unknown parameter set %1").arg(name);
    return ok;
}

void TVirtualSarvik::setRestartAnswer(int code)
{
    FImpl->invoke([=, this] { FImpl->FModel.FRestart.answerCode = std::max(-1, code); });
}

void TVirtualSarvik::setBootDelay(int ms)
{
    FImpl->invoke([=, this] { FImpl->FBootDelayMs = std::max(-1, ms); });
}

void TVirtualSarvik::setBootFaults(const TBootFaults& faults)
{
    FImpl->invoke([=, this] { FImpl->FBoot.Faults() = faults; });
}

QByteArray TVirtualSarvik::flashImage() const
{
    return FImpl->invoke([this] { return FImpl->FBoot.Flash(); });
}

bool TVirtualSarvik::dumpFlash(const QString& fileName, QString* error) const
{
    const QByteArray image = flashImage();
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(image) != image.size())
        return setError(error, QStringLiteral("cannot write %1").arg(fileName));
    return true;
}
