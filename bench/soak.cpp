// Soak: the whole program against the virtual device in one process, over a real
// pseudo-terminal, with the operation, sample data and service windows open and busy, while the
// device drops, corrupts and splits answers at random, sends device messages, is unplugged and
// plugged in again and once switched off and on. It runs until the given number of orders has
// been answered, checking every answer a window gets against the order the window sent.
//
// The run itself happens in a child process (this program started again with --child); the
// parent counts a death by signal or a hang as a crash.
//
// Options: --orders N (default 10000), --seed S (default 1), --hang-s S (default 60).
// Last line: soak orders=<n> faults=<n> recoveries=<n> max_recovery_s=<s> misrouted=<n>
//            rss_growth_kb=<n> crashes=<n>

#include "appcontext.h"
#include "devicemodel.h"
#include "mainwindow.h"
#include "modules.h"
#include "plxform.h"
#include "probedatenlogic.h"
#include "recordstore.h"
#include "sendorder.h"
#include "sysmeld.h"
#include "settingsform.h"
#include "tfprobedaten.h"
#include "virtualsarvik.h"
#include "wireformat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kDefaultOrders = 10000;
constexpr int kDefaultHangS = 60;
constexpr int kRssBaseOrders = 1000;
constexpr int kUnplugCycles = 20;
constexpr int kPowerCycleAfter = 10;  // the switch-off comes after this many unplug cycles
constexpr double kDropPercent = 5.0;
constexpr double kCorruptPercent = 2.0;
constexpr double kSplitPercent = 5.0;
constexpr int kTimEveryMs = 3000;
constexpr int kUnpluggedMs = 1500;
constexpr int kSwitchedOffMs = 2000;
constexpr int kRecoveryGiveUpMs = 60000;  // a recovery this long is recorded as such and the run goes on
constexpr int kStallMs = 20000;           // a download without an answer this long while online
constexpr int kScheduleMs = 50;
constexpr int kProgressMs = 5000;

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QString answerWord(const QString& commandWord)
{
    return QStringLiteral("T") + commandWord.mid(1, 2);
}

// Every order on its way to the worker gets a serial number in TXIndex, a field the link carries
// along untouched; every delivery is then held against the order it belongs to: the client that
// sent it, the tag it went out with, the answer word of its command, delivered once and in the
// order sent (the worker carries out one order after the other). So a delivery also settles
// every older order still owed: the link threw those away after a failure.
class TDeliveryCheck {
public:
    void Sent(TOrder& order)
    {
        order.TXIndex = ++FSerial;
        FOwed[order.TXIndex] = {order.Sender, order.TXTag, FromWire(order.TXData.left(3))};
        ++FSent;
        if (FTrace)
            std::printf("trace sent #%d client=%d tag=%d %s\n", order.TXIndex, order.Sender, order.TXTag,
                        order.TXData.trimmed().constData());
    }

    void Delivered(int clientId, const TOrder& order)
    {
        const QString payload = FromWire(order.RXData);
        if (FTrace)
            std::printf("trace delivered #%d client=%d tag=%d status=%d %s\n", order.TXIndex, clientId, order.TXTag,
                        order.Status, order.RXData.left(20).constData());
        if (order.Status == kOrderDone)
            ++FAnswered;
        else
            ++FFailed;
        const auto it = FOwed.find(order.TXIndex);
        if (it == FOwed.end()) {
            misrouted(clientId, order, "no such order is owed (never sent, delivered before, or overtaken)");
            return;
        }
        const TExpected sent = it->second;
        FThrownAway += std::distance(FOwed.begin(), it);
        FOwed.erase(FOwed.begin(), std::next(it));
        if (clientId != sent.client)
            misrouted(clientId, order, "handed to a client that did not send it");
        if (order.TXTag != sent.tag)
            misrouted(clientId, order, "not the tag the order went out with");
        if (order.Status == kOrderDone && !payload.startsWith(answerWord(sent.word) + QLatin1Char(';')))
            misrouted(clientId, order, "the answer word does not belong to the command");
    }

    long Answered() const { return FAnswered; }
    long Failed() const { return FFailed; }
    long Sent() const { return FSent; }
    long Misrouted() const { return FMisrouted; }
    // Orders never delivered though a younger one was: thrown away by the link after a failure.
    long ThrownAway() const { return FThrownAway; }

private:
    struct TExpected {
        int client;
        int tag;
        QString word;
    };

    void misrouted(int clientId, const TOrder& order, const char* why)
    {
        ++FMisrouted;
        std::printf("misrouted #%d client=%d sender=%d tag=%d status=%d sent=%s answer=%s: %s\n", order.TXIndex,
                    clientId, order.Sender, order.TXTag, order.Status, order.TXData.trimmed().constData(),
                    order.RXData.constData(), why);
        std::fflush(stdout);
    }

    const bool FTrace = qEnvironmentVariableIsSet("SOAK_TRACE");
    qint32 FSerial = 0;
    std::map<qint32, TExpected> FOwed;
    long FThrownAway = 0;
    long FAnswered = 0;
    long FFailed = 0;
    long FSent = 0;
    long FMisrouted = 0;
};

struct TOptions {
    long orders = kDefaultOrders;
    unsigned seed = 1;
    int hangS = kDefaultHangS;
    bool child = false;
};

TOptions parseOptions(int argc, char** argv)
{
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--orders" && hasValue)
            o.orders = std::max(1L, std::atol(argv[++i]));
        else if (a == "--seed" && hasValue)
            o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--hang-s" && hasValue)
            o.hangS = std::max(1, std::atoi(argv[++i]));
        else if (a == "--child")
            o.child = true;
        else {
            std::fprintf(stderr, "usage: soak [--orders N] [--seed S] [--hang-s S]\n");
            std::exit(2);
        }
    }
    return o;
}

// The figures the child reports, as "key=value" words after a leading word.
struct TFigures {
    long orders = 0;
    long faults = 0;
    long recoveries = 0;
    double maxRecoveryS = 0.0;
    long misrouted = 0;
    long rssGrowthKb = 0;

    std::string Format() const
    {
        char buf[256];
        std::snprintf(buf, sizeof buf, "orders=%ld faults=%ld recoveries=%ld max_recovery_s=%.1f misrouted=%ld rss_growth_kb=%ld",
                      orders, faults, recoveries, maxRecoveryS, misrouted, rssGrowthKb);
        return buf;
    }

    static bool Parse(const std::string& line, TFigures& f)
    {
        return std::sscanf(line.c_str(), "%*s orders=%ld faults=%ld recoveries=%ld max_recovery_s=%lf misrouted=%ld rss_growth_kb=%ld",
                           &f.orders, &f.faults, &f.recoveries, &f.maxRecoveryS, &f.misrouted, &f.rssGrowthKb)
               == 6;
    }
};

// ---- the run (child) ----

class TSoak {
public:
    TSoak(const TOptions& options, const QString& dir)
        : FOptions(options)
        , FDir(dir)
    {
    }

    bool Start()
    {
        const QString root = FDir + QStringLiteral("/root");
        const QString ini = FDir + QStringLiteral("/SarvikControl.ini");
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly))
            return fail("cannot write the settings file");
        f.close();

        TVirtualSarvikOptions device;
        device.root = root;
        device.seed = FOptions.seed;
        FDevice = std::make_unique<TVirtualSarvik>(device);
        QString error;
        if (!FDevice->start(&error))
            return fail(error.toUtf8().constData());
        FDevice->setFaultRates({kDropPercent, kCorruptPercent, kSplitPercent, FOptions.seed});

        FSettings = std::make_unique<TFSettingsForm>();
        FForm = std::make_unique<TForm1>(*FSettings,
                                         QStringList{QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root},
                                         FDir + QLatin1Char('/'));
        RegisterModules(*FForm);
        TMainDialogs& d = FForm->Dialogs();
        d.askYesNo = [this](QWidget*, const QString& q) {
            box("question", q);
            return false;
        };
        d.warn = [this](QWidget*, const QString& t) { box("warning", t); };
        d.error = [this](QWidget*, const QString& t) { box("error", t); };
        d.confirmAdjustment = [](QWidget*) { return false; };
        d.openDocument = [](const QString&) { return false; };
        FForm->Session().OnDeliver = [this](int clientId, const TOrder& order) { delivered(clientId, order); };
        FForm->OnOnlineChanged = [this](bool online) { onlineChanged(online); };
        FForm->show();
        // The worker exists once the window is shown; every order goes through here from now on.
        SetOrderSink([this](const TOrder& sent) {
            TOrder order = sent;
            FCheck.Sent(order);
            if (TDeviceCommThread* worker = FForm->Worker())
                worker->AddOrder(order);
        });

        FClock.start();
        FNextFaultAt = faultThreshold(0);
        startTimer(FSchedule, kScheduleMs, [this] { step(); });
        startTimer(FTim, kTimEveryMs, [this] { sendTim(); });
        startTimer(FProgress, kProgressMs, [this] { report("progress"); });
        return true;
    }

    // Ends the run; the windows go before the device.
    void Stop()
    {
        FSchedule.stop();
        FTim.stop();
        FProgress.stop();
        if (FForm)
            FForm->CloseWithoutQuestion();
        FForm.reset();
        FSettings.reset();
        if (FDevice)
            FDevice->stop();
    }

    int ExitCode() const { return FExitCode; }

private:
    enum class TPhase { Steady, Unplugged, SwitchingOff, SwitchedOff, Recovering };

    static void startTimer(QTimer& timer, int ms, const std::function<void()>& f)
    {
        timer.setInterval(ms);
        QObject::connect(&timer, &QTimer::timeout, f);
        timer.start();
    }

    bool fail(const char* why)
    {
        std::printf("soak child cannot start: %s\n", why);
        return false;
    }

    void box(const char* kind, const QString& text)
    {
        ++FBoxes;
        std::printf("box %s: %s\n", kind, text.simplified().toUtf8().constData());
        std::fflush(stdout);
    }

    // Unplug cycle k (0-based) and the switch-off are spread evenly over the orders.
    long faultThreshold(int k) const
    {
        return FOptions.orders * (k + 1) / (kUnplugCycles + 2);
    }

    int faultsDone() const { return FUnplugs + FPowerCycles; }

    void delivered(int clientId, const TOrder& order)
    {
        FCheck.Delivered(clientId, order);
        if (FPhase == TPhase::Recovering) {
            ++FRecoveryDeliveries;
            FRecoveryFailures += order.Status == kOrderDone ? 0 : 1;
        }
        if (clientId == ciProbedaten && order.Status == kOrderDone)
            FLastSampleAnswerMs = FClock.elapsed();
        if (FRssBase < 0 && FCheck.Answered() >= kRssBaseOrders)
            FRssBase = rssKb();
    }

    void onlineChanged(bool online)
    {
        const qint64 now = FClock.elapsed();
        if (!online) {
            FSawOffline = true;
            ++FOfflineEpisodes;
            FOfflineSinceMs = now;
            FOfflineInSteady = FPhase == TPhase::Steady;
        } else if (FOfflineSinceMs >= 0) {
            // Offline episodes the wire faults caused on their own, outside the bus faults.
            if (FOfflineInSteady && FPhase == TPhase::Steady)
                FMaxWireOfflineS = std::max(FMaxWireOfflineS, double(now - FOfflineSinceMs) / 1000.0);
            FOfflineSinceMs = -1;
        }
    }

    bool online() const { return FForm->Context().Online; }

    void sendTim()
    {
        if (FDevice->sendTim(QStringLiteral("Soak %1").arg(FTims + 1)))
            ++FTims;
    }

    void step()
    {
        const qint64 now = FClock.elapsed();
        openWindows();
        keepDownloadsGoing(now);
        switch (FPhase) {
        case TPhase::Steady:
            if (faultsDone() < kUnplugCycles + 1 && FCheck.Answered() >= FNextFaultAt && online())
                startFault(now);
            break;
        case TPhase::Unplugged:
            if (now - FPhaseSinceMs >= kUnpluggedMs) {
                QString error;
                if (!FDevice->plug(&error))
                    std::printf("plug failed: %s\n", error.toUtf8().constData());
                startRecovery(now);
            }
            break;
        case TPhase::SwitchingOff:
            // The device shows its switch-off for a moment, then leaves the bus.
            if (!FDevice->status().onBus) {
                FPhase = TPhase::SwitchedOff;
                FPhaseSinceMs = now;
            }
            break;
        case TPhase::SwitchedOff:
            if (now - FPhaseSinceMs >= kSwitchedOffMs) {
                QString error;
                if (!FDevice->powerOn(&error))
                    std::printf("power on failed: %s\n", error.toUtf8().constData());
                startRecovery(now);
            }
            break;
        case TPhase::Recovering:
            if ((FSawOffline && online()) || now - FPhaseSinceMs > kRecoveryGiveUpMs) {
                const double s = double(now - FPhaseSinceMs) / 1000.0;
                if (!FSawOffline)
                    std::printf("fault %d: the program never went offline\n", faultsDone());
                ++FRecoveries;
                FMaxRecoveryS = std::max(FMaxRecoveryS, s);
                std::printf("recovery %ld: %.2f s (%s; %ld orders finished on the way, %ld of them failed)\n",
                            FRecoveries, s, FRecoveryKind, FRecoveryDeliveries, FRecoveryFailures);
                std::fflush(stdout);
                FPhase = TPhase::Steady;
                FNextFaultAt = faultThreshold(faultsDone());
            }
            break;
        }
        if (FCheck.Answered() >= FOptions.orders && faultsDone() >= kUnplugCycles + 1 && FPhase == TPhase::Steady)
            finish();
    }

    void startFault(qint64 now)
    {
        FSawOffline = false;
        FPhaseSinceMs = now;
        QString error;
        if (FUnplugs == kPowerCycleAfter && FPowerCycles == 0) {
            ++FPowerCycles;
            FRecoveryKind = "switch-off";
            FDevice->withModel([](TDeviceModel& model) { model.requestSwitchOff(); });
            FPhase = TPhase::SwitchingOff;
        } else {
            ++FUnplugs;
            FRecoveryKind = "unplug";
            if (!FDevice->unplug(&error))
                std::printf("unplug failed: %s\n", error.toUtf8().constData());
            FPhase = TPhase::Unplugged;
        }
    }

    void startRecovery(qint64 now)
    {
        FRecoveryDeliveries = 0;
        FRecoveryFailures = 0;
        FPhase = TPhase::Recovering;
        FPhaseSinceMs = now;
    }

    // The windows are opened once the program is online, and again should one have closed.
    void openWindows()
    {
        if (!online() && !FSample)
            return;
        for (int id : {ciBedien, ciProbedaten, ciService}) {
            TPLXForm* w = FForm->Module(id);
            if (w && w->IsOpen())
                continue;
            w = FForm->OpenModule(id);
            if (id == ciProbedaten) {
                FSample = qobject_cast<TfProbedaten*>(w);
                if (FSample) {
                    FSample->SetQuestionBox([](QWidget*, const QString&) { return false; });
                    FSample->SetMessageBox([this](QWidget*, const QString& t) { box("sample data", t); });
                    FSample->SetSaveBox([](QWidget*, const QString&, const QString&, const QString&, const QString&) {
                        return QStringLiteral("False");
                    });
                    FSample->SetOpenDocument([](const QString&) { return false; });
                }
            }
        }
    }

    // A record download and a log download by turns, each started again when the other ended.
    void keepDownloadsGoing(qint64 now)
    {
        if (!FSample)
            return;
        TProbedatenLogic& logic = FSample->Logic();
        if (logic.Busy()) {
            if (!FWasBusy)
                FLastSampleAnswerMs = now;
            FWasBusy = true;
            if (online() && now - FLastSampleAnswerMs > kStallMs && !FStallReported) {
                FStallReported = true;
                ++FStalls;
                std::printf("stalled download: no answer for %d s while online (records=%d log=%d)\n",
                            kStallMs / 1000, int(logic.Downloading()), int(logic.LogDownloading()));
                std::fflush(stdout);
            }
            return;
        }
        FWasBusy = false;
        FStallReported = false;
        if (!online())
            return;
        if (FNextIsLog) {
            FNextIsLog = false;
            if (startLogDownload(logic))
                return;
        }
        FNextIsLog = true;
        ++FRecordDownloads;
        logic.btnLadeSarvikClick();
    }

    // A record of the list with an ordinary log (the one with a day's log would hold up the
    // record downloads for thousands of orders).
    bool startLogDownload(TProbedatenLogic& logic)
    {
        const auto& rows = logic.Rows();
        const auto& records = logic.Records();
        std::vector<int> candidates;
        for (std::size_t row = 0; row < rows.size(); ++row) {
            const int index = rows[row].Index;
            if (index >= 0 && index < int(records.size()) && records[std::size_t(index)].bLoggingActive
                && records[std::size_t(index)].uiNummer != kSimLongLogRecord)
                candidates.push_back(int(row));
        }
        if (candidates.empty())
            return false;
        logic.SelectRow(candidates[std::size_t(FLogDownloads) % candidates.size()]);
        logic.btnProbeExcelClick();
        if (!logic.LogDownloading())
            return false;
        ++FLogDownloads;
        return true;
    }

    long faults() const
    {
        const TSimStatus s = FDevice->status();
        return s.framesDropped + s.answersCorrupted + s.answersSplit + FTims + FUnplugs + FPowerCycles;
    }

    TFigures figures() const
    {
        TFigures f;
        f.orders = FCheck.Answered();
        f.faults = faults();
        f.recoveries = FRecoveries;
        f.maxRecoveryS = FMaxRecoveryS;
        f.misrouted = FCheck.Misrouted();
        f.rssGrowthKb = FRssBase < 0 ? 0 : rssKb() - FRssBase;
        return f;
    }

    void report(const char* word)
    {
        std::printf("%s %s\n", word, figures().Format().c_str());
        std::fflush(stdout);
    }

    void finish()
    {
        FSchedule.stop();
        FTim.stop();
        FProgress.stop();
        const TSimStatus s = FDevice->status();
        std::printf("run_s=%.1f sent=%ld answered=%ld failed=%ld thrown_away=%ld offline_episodes=%ld max_wire_offline_s=%.1f "
                    "stalled_downloads=%ld record_downloads=%ld log_downloads=%ld boxes=%ld\n",
                    double(FClock.elapsed()) / 1000.0, FCheck.Sent(), FCheck.Answered(), FCheck.Failed(),
                    FCheck.ThrownAway(), FOfflineEpisodes, FMaxWireOfflineS, FStalls, FRecordDownloads, FLogDownloads, FBoxes);
        std::printf("faults dropped=%lld corrupted=%lld split=%lld tim=%ld unplug=%d switch_off=%d\n",
                    static_cast<long long>(s.framesDropped), static_cast<long long>(s.answersCorrupted),
                    static_cast<long long>(s.answersSplit), FTims, FUnplugs, FPowerCycles);
        // The system messages keep up to their limit of lines, so they grow until it is reached.
        const TfSysMeld* messages = SysMeldWindow();
        std::printf("rss_kb at %d orders=%ld at the end=%ld system_message_lines=%d of %d\n", kRssBaseOrders,
                    FRssBase, rssKb(), messages ? messages->LineCount() : -1, TfSysMeld::kMaxLines);
        report("result");
        FExitCode = 0;
        // exit, not quit: quit asks the windows to close, and the main window asks the user.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }

    TOptions FOptions;
    QString FDir;
    std::unique_ptr<TVirtualSarvik> FDevice;
    std::unique_ptr<TFSettingsForm> FSettings;
    std::unique_ptr<TForm1> FForm;
    TfProbedaten* FSample = nullptr;
    TDeliveryCheck FCheck;
    QElapsedTimer FClock;
    QTimer FSchedule;
    QTimer FTim;
    QTimer FProgress;

    TPhase FPhase = TPhase::Steady;
    qint64 FPhaseSinceMs = 0;
    long FNextFaultAt = 0;
    const char* FRecoveryKind = "";
    bool FSawOffline = false;
    int FUnplugs = 0;
    int FPowerCycles = 0;
    long FTims = 0;
    long FRecoveries = 0;
    double FMaxRecoveryS = 0.0;
    long FRecoveryDeliveries = 0;  // orders finished between the device's return and online
    long FRecoveryFailures = 0;
    long FOfflineEpisodes = 0;
    qint64 FOfflineSinceMs = -1;
    bool FOfflineInSteady = false;
    double FMaxWireOfflineS = 0.0;
    long FRssBase = -1;
    long FBoxes = 0;

    bool FNextIsLog = false;
    bool FWasBusy = false;
    bool FStallReported = false;
    qint64 FLastSampleAnswerMs = 0;
    long FStalls = 0;
    long FRecordDownloads = 0;
    long FLogDownloads = 0;
    int FExitCode = 1;
};

int runChild(int argc, char** argv, const TOptions& options)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    TSoak soak(options, dir.path());
    if (!soak.Start())
        return 1;
    app.exec();
    soak.Stop();
    return soak.ExitCode();
}

// ---- the watch (parent) ----

int runParent(const char* self, const TOptions& options)
{
    int out[2];
    if (::pipe(out) != 0)
        return 1;
    const std::string orders = std::to_string(options.orders);
    const std::string seed = std::to_string(options.seed);
    const pid_t pid = ::fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        // The run ends with its watch, however the watch ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(self, self, "--child", "--orders", orders.c_str(), "--seed", seed.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ::close(out[1]);

    QElapsedTimer clock;
    clock.start();
    TFigures last;
    bool finished = false;
    bool hung = false;
    long lastOrders = -1;
    qint64 lastProgressMs = 0;
    std::string pending;
    for (;;) {
        pollfd fd{out[0], POLLIN, 0};
        const int r = ::poll(&fd, 1, 1000);
        if (r > 0) {
            char buf[4096];
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            pending.append(buf, static_cast<std::size_t>(n));
            std::size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                std::printf("%s\n", line.c_str());
                std::fflush(stdout);
                TFigures f;
                if ((line.rfind("progress ", 0) == 0 || line.rfind("result ", 0) == 0) && TFigures::Parse(line, f)) {
                    last = f;
                    finished = finished || line.rfind("result ", 0) == 0;
                    if (f.orders != lastOrders) {
                        lastOrders = f.orders;
                        lastProgressMs = clock.elapsed();
                    }
                }
            }
        } else if (r < 0 && errno != EINTR) {
            break;
        }
        if (!finished && clock.elapsed() - lastProgressMs > qint64(options.hangS) * 1000) {
            std::printf("no progress for %d s: killing the run\n", options.hangS);
            hung = true;
            ::kill(pid, SIGKILL);
            break;
        }
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    int crashes = 0;
    if (hung) {
        crashes = 1;
    } else if (WIFSIGNALED(status)) {
        std::printf("the run died by signal %d (%s)\n", WTERMSIG(status), strsignal(WTERMSIG(status)));
        crashes = 1;
    } else if (!finished || WEXITSTATUS(status) != 0) {
        std::printf("the run ended with exit code %d without its result\n", WEXITSTATUS(status));
        crashes = 1;
    }
    std::printf("soak %s crashes=%d\n", last.Format().c_str(), crashes);
    return crashes == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const TOptions options = parseOptions(argc, argv);
    if (options.child)
        return runChild(argc, argv, options);
    return runParent("/proc/self/exe", options);
}
