#pragma once
// The virtual Sarvik2V2: the device model behind a pseudo-terminal, registered in a sysfs-shaped
// device root, run by its own thread. Every public operation is thread-safe; the control
// operations are carried out on the device's thread and return when they have taken effect.

#include "bootloader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

struct TVirtualSarvikOptions {
    QString root;  // device root; created when missing
    QString serial = QStringLiteral("SV2000123");
    QString firmware = QStringLiteral("3.6.0");
    QString hardware = QStringLiteral("2.1");
    int variants = 0;
    int jumpers = 0;
    int languages = 3;
    double speed = 1.0;      // device clock runs this many times faster than the wall clock
    bool paceBaud = false;   // bytes in and out at 115200 baud
    QString logFile;         // event log, empty = none
    unsigned seed = 0;       // noise of flows and climate; 0 = a fresh one each start
    int switchOffMs = 2000;  // how long "Ausschaltvorgang" shows before the device leaves the bus
    QString paramSet;        // named parameter set (paramset.h) to start with; empty = the defaults
    bool bootloader = false; // starts stranded in its bootloader (no application in the flash)
    int bootDelayMs = 500;   // restart: off the bus this long; -1 = never comes back
};

// Checks the options a user can give; empty when they are usable.
QString CheckVirtualSarvikOptions(const TVirtualSarvikOptions& options);

struct TSimChannelStatus {
    int state = 0;
    double flow = 0.0;
    double volume = 0.0;
    int volType = 0;
};

struct TSimStatus {
    bool powered = false;
    bool plugged = false;
    bool onBus = false;
    QString portPath;
    QString ttyName;
    int deviceState = 0;
    int preset = 0;  // of the current or last run
    double runElapsedS = 0.0;
    std::array<TSimChannelStatus, 2> channels;
    double batteryPercent = 0.0;
    int alarmCode = 0;
    std::array<int, 3> errorWords {};
    qint64 framesAnswered = 0;
    qint64 framesRejected = 0;  // bad checksum or malformed
    qint64 bytesIn = 0;   // read from the line since the start
    qint64 bytesOut = 0;  // written to the line since the start
    bool bootloader = false;    // the bootloader serves the port (or will, once back on the bus)
    qint64 violations = 0;      // bytes the bootloader could not take as its protocol
    int blocksReceived = 0;     // since the last handshake
    QString firmware;
    // Faults carried out so far, whether asked for one by one or drawn at the set rates.
    qint64 framesDropped = 0;
    qint64 answersCorrupted = 0;
    qint64 answersSplit = 0;
};

// Chances in percent (0..100) that a valid frame is dropped, or its answer is sent with a wrong
// checksum or in fragments; drawn per frame from a generator of its own.
struct TSimFaultRates {
    double dropPercent = 0.0;
    double corruptPercent = 0.0;
    double splitPercent = 0.0;
    unsigned seed = 0;  // 0 = a fresh one
};

// Device state codes as text, German as the device's display shows them.
QString DeviceStateText(int state);
QString ChannelStateText(int state);

class TDeviceModel;

class TVirtualSarvik {
public:
    explicit TVirtualSarvik(TVirtualSarvikOptions options);
    ~TVirtualSarvik();
    TVirtualSarvik(const TVirtualSarvik&) = delete;
    TVirtualSarvik& operator=(const TVirtualSarvik&) = delete;

    // Opens the port, registers the device and starts its thread.
    bool start(QString* error = nullptr);
    // Stops the thread, unregisters and closes the port. Safe to call twice.
    void stop();
    bool isRunning() const;

    QString root() const;
    QString portPath() const;
    QString ttyName() const;
    TSimStatus status() const;

    // Alarm code and error words shown by the status answer.
    void setAlarm(int code, int errorWord1 = 0, int errorWord2 = 0, int errorWord3 = 0);
    void clearAlarm();
    // Sends "TIM;" + text now.
    bool sendTim(const QString& text, QString* error = nullptr);

    // Fault injection on the wire.
    void dropNext(int frames);         // the frames are lost: neither carried out nor answered
    void corruptNext(int answers);     // answered with a wrong checksum
    void setAnswerDelay(int ms);       // from now on; 0 = at once
    void splitNext(int answers);       // each sent in fragments with short pauses
    bool sendGarbage(int bytes, QString* error = nullptr);  // random bytes, never CR or LF
    // From now on, on top of the counts above; all rates 0 ends it. The same seed gives the
    // same faults for the same frames.
    void setFaultRates(const TSimFaultRates& rates);

    bool unplug(QString* error = nullptr);
    bool plug(QString* error = nullptr);
    bool powerOn(QString* error = nullptr);

    // As from the device's own display.
    bool startRun(int preset, QString* error = nullptr);
    bool stopRun(QString* error = nullptr);

    // Holds channel (0 or 1) at a flow in NL/min without a run, so its flow sensor reads that
    // flow; a negative flow gives the channel back to the run.
    bool setFlow(int channel, double flowNlMin, QString* error = nullptr);
    // Runs f on the device's thread with its model (tests look at or seed the device's state,
    // families run their own control commands).
    void withModel(const std::function<void(TDeviceModel& model)>& f);
    // What the device holds, read without the wire. Preset n (1..10) and a parameter (the letter
    // after "GS", e.g. "B", "V", "E") as the fields their get command answers; empty for an
    // unknown one.
    QStringList storedPreset(int n) const;
    QStringList storedParameter(const QString& letter) const;
    QDateTime deviceClock() const;
    // Gives the device one of the named parameter sets (paramset.h).
    bool applyParameterSet(const QString& name, QString* error = nullptr);
    // Restart into the bootloader (SAR): the answer code; 0 restarts, -1 restarts without
    // answering, any other code is answered and nothing happens.
    void setRestartAnswer(int code);
    // Off the bus this long on a restart; -1 = never back.
    void setBootDelay(int ms);
    void setBootFaults(const TBootFaults& faults);
    // The application area of the flash as the bootloader wrote it.
    QByteArray flashImage() const;
    bool dumpFlash(const QString& fileName, QString* error = nullptr) const;

private:
    class TImpl;
    std::unique_ptr<TImpl> FImpl;
};
