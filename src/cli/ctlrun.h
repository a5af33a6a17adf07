#pragma once
// sarvikctl's run: the options, the device session with the module logic classes as its
// clients, progress and results on the terminal, and the exit code. No widgets.

#include "appcontext.h"
#include "devicesession.h"
#include "settingsform.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Exit codes.
enum TCtlExit : int { ceDone = 0, ceDevice = 1, ceUsage = 2, ceNoDevice = 3, ceInterrupted = 4 };

struct TCtlOptions {
    QStringList DeviceRoots;
    QString Serial;
    bool Demo = false;
    bool Json = false;
    bool Quiet = false;
    bool Yes = false;
    bool Watch = false;
    QString ConfigFile;
    QString Output;   // -o
    int Last = 100;   // records --last
    QStringList Command;  // the command and its operands
};

// Parses the arguments (without the program name); false with a message on a usage error.
bool ParseCtlArguments(const QStringList& args, TCtlOptions& options, QString& error);
QString CtlUsage();

// Set by the SIGINT handler; looked at when a command reaches a safe point.
bool CtlInterrupted();
void SetCtlInterrupted(bool interrupted);

class TCtlClient;

class TCtlRun {
public:
    explicit TCtlRun(TCtlOptions options);
    ~TCtlRun();

    int Execute();

private:
    enum class TWait { Done, Timeout, Interrupted };

    int prepare();
    int connectDevice();
    int waitDeviceInfo();
    TWait waitFor(const std::function<bool()>& done, int timeoutMs, bool interruptible = true);

    int cmdList();
    int cmdStatus();
    int cmdPresets();
    int cmdStart(int preset);
    int cmdStop();
    int cmdRecords();
    int cmdLog(int number);
    int cmdPresetsExport(const QString& file);
    int cmdPresetsImport(const QString& file);
    int cmdSend(const QString& file);
    int cmdReadback(const QString& file);
    int cmdFlash(const QString& file);

    // Texts for the user: results on standard output, everything else on standard error.
    void error(const QString& text);
    void info(const QString& text);
    void result(const QString& text);
    void jsonResult(const QJsonObject& object);
    void progress(const QString& what, int position, int maximum);
    void endProgress();
    bool loadPresets(class TBedienLogic& logic, TCtlClient& client);
    // Connects and reads the ten presets; a ce* code, with the error already told.
    int connectAndLoadPresets(class TBedienLogic& logic);
    int runOperation(const std::function<void(class TBedienLogic&)>& action, bool needPresets);
    // newest < 0: ask the device for its newest record first ("Von Sarvik2 laden").
    int downloadRecords(class TProbedatenLogic& logic, TCtlClient& client, int newest, QStringList& rawRecords);
    int runTransfer(const QString& file, bool readBack);
    // Yes from --yes or from the user on a terminal; without a terminal, no.
    bool confirm(const QString& question);
    int exportWorkbook(class TProbedatenLogic& logic, const std::function<void()>& run);

    TCtlOptions FOptions;
    TFSettingsForm FSettings;
    TAppContext FContext;
    std::unique_ptr<TDeviceSession> FSession;
    std::unique_ptr<class TVirtualSarvik> FDemoDevice;
    std::unique_ptr<class QTemporaryDir> FDemoRoot;
    QString FSettingsFile;
    bool FProgressShown = false;
    bool FTerminal = false;
    int FLastProgressPos = -1;
    QString FProgressWhat;
};
