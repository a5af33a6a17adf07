#pragma once
// What the service information window does, without widgets: the device's four built-in tests
// (results, start, running-test poll), the error memory (read newest first, clear, export to the
// system messages) and the read-only counters with their export. The window TfService shows the
// view kept here; tests drive it headless. User-interface thread only.

#include "appcontext.h"
#include "fieldmodel.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <vector>

constexpr int kServiceTests = 4;
// The running test before the device has told it: a value no answer carries.
constexpr int kRunningTestUnknown = -1000;

// One result frame ("Testergebnis").
struct TTestFrameView {
    QString Date;
    QString Time;
    QString Value0;
    QString Value1;
    QString Result;
    bool Passed = false;
    bool Lit = false;
    bool Running = false;
};

// One row of the error memory list.
struct TErrMemRow {
    QString Nr;
    int Icon = -1;  // severity class; -1 for an unreadable entry
    QString DateTime;
    QString Event;
    QString Source;
    QString OpTime;
    QString Info;
};

struct TEventRow {
    const char* Parameter = "";
    QString Count;
    QString Date;
};

// "%.2d:%.2d:%.2d" of seconds, hours not limited to two digits.
QString OperatingTime(qint64 seconds);
// The event text of an error-memory entry type (translated), "Unbekannt" for unknown types.
QString ErrMemTypeText(int type);
bool ErrMemTypeKnown(int type);

class TServiceLogic : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 500;
    static constexpr int kMaxErrMemEntries = 129;

    using TClock = std::function<qint64()>;  // ms, monotonic
    using TQuestion = std::function<bool(const QString& question)>;

    explicit TServiceLogic(TAppContext& context, QObject* parent = nullptr);

    void SetClock(TClock clock);
    void SetQuestion(TQuestion question) { FQuestion = std::move(question); }

    void FormShow();
    void SetOnOffLine(int online);
    void TimerEvent(int interval);
    void RXData(int status, int tag, const QString& data);

    // User actions.
    void btnReadDataClick();
    void btnStartTestClick(int test);  // asks the start condition first
    void StartTest(int test);           // the frames' start callback
    void btnErrMemReadClick();
    void btnClearErrMemClick();
    void btnErrMemExportClick();
    void btnReadCountersClick();
    void btnCountersExportClick();

    // The view.
    const std::array<TTestFrameView, kServiceTests>& Frames() const { return FFrames; }
    static QString StartCondition(int test);  // translated
    const std::vector<TErrMemRow>& ErrMem() const { return FErrMem; }
    const std::vector<TEventRow>& Events() const { return FEvents; }
    TFieldModel& Fields() { return FFields; }
    QString Text(const QString& name) const { return FFields.Text(name); }
    TFieldState State(const QString& name) const { return FFields.State(name); }
    bool Online() const { return FControlsOnline; }
    bool CountersPageVisible() const { return FContext.Device.DeviceFeatures & dfServiceCounters; }
    bool ClearVisible() const { return FContext.ServiceMode; }
    bool CountersExportEnabled() const { return FCountersRead; }
    int RunningTest() const { return FRunningTest; }
    qint64 NextTestCheck() const { return FNextTestCheck; }
    int NextErrMemIndex() const { return FNextIndex; }
    int LowestErrMemIndex() const { return FLowestIndex; }

    // Column captions of the error memory list (translated).
    static QStringList ErrMemColumns();

Q_SIGNALS:
    void Status(const QString& text, bool alarm);
    void SysMessage(const QString& text, bool alarm);
    void SysMessageColor(const QString& text, const QColor& colour);
    void SysInfo(const QString& text);
    void ShowSysMeld();
    void ViewChanged();

private:
    qint64 now() const { return FClock(); }
    void send(const QString& command, int tag);
    void buildEvents();
    void setAllNotRunning();
    void onTIT(int tag, const QString& data);
    void onTIF(const QString& data);
    void updateVolumeSum();

    TAppContext& FContext;
    TClock FClock;
    TQuestion FQuestion;
    TFieldModel FFields;
    std::array<TTestFrameView, kServiceTests> FFrames{};
    std::vector<TErrMemRow> FErrMem;
    std::vector<TEventRow> FEvents;
    int FRunningTest = kRunningTestUnknown;
    qint64 FNextTestCheck = 0;
    int FNextIndex = -1;
    int FLowestIndex = 0;
    bool FControlsOnline = false;
    bool FCountersRead = false;
};
