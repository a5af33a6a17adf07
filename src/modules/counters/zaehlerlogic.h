#pragma once
// What the counters window does, without widgets: reads every service counter with one action,
// writes single values back (serial number, operating hours per load class, personalisation,
// volume and servo counters, adjustment and event counters, monitor flags) and shows the device's
// hardware configuration. The window TfZaehler binds its edit fields to Fields() by object name;
// tests drive this object headless. User-interface thread only.

#include "appcontext.h"
#include "fieldmodel.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

// One row of a counter list; Wire is the counter number on the wire (rows may be left out).
struct TCounterRow {
    int Wire = 0;
    const char* Parameter = "";  // untranslated
    QString Count;
    QString Date;
};

enum class TCounterColour { Black, Purple, Red };

// Row colour of a count: above 10 red, 1 to 10 purple, else black.
TCounterColour CounterColour(const QString& count);

// hours:minutes:seconds, digits only, minutes and seconds below 60, hours unlimited.
bool IsValidDuration(const QString& text);

class TZaehlerLogic : public QObject {
    Q_OBJECT
public:
    static constexpr int kSerialMinLength = 6;
    static constexpr int kSerialMaxLength = 9;
    static constexpr int kPersoMaxLength = 25;
    static constexpr int kFlagCount = 8;

    enum TList { lJC, lEC };

    // The count dialog: caption, prompt and pre-filled text; no value when cancelled.
    using TCountDialog = std::function<std::optional<QString>(const QString& caption, const QString& prompt,
                                                              const QString& text)>;

    explicit TZaehlerLogic(TAppContext& context, QObject* parent = nullptr);

    void SetCountDialog(TCountDialog dialog) { FCountDialog = std::move(dialog); }

    void FormShow();
    void SetOnOffLine(int online);
    void RXData(int status, int tag, const QString& data);

    // User actions.
    void btnReadCounterClick();
    void btnSetSerNrClick();
    void btnSetBSZClick(int loadClass);  // 1, 2 or 4
    void btnSetPersoClick();
    void btnVolSpeichernClick(int channel);
    void btnServoInkrSpeichernClick(int channel);
    // The user checked or unchecked a flag: the flags as they stand now.
    void clbMonitorFlagsClickCheck(int flags);
    // The user chose a row (by click, never by a rebuild).
    void EditCounter(TList list, int index);
    void btnJustageNullenClick();
    void btnEventZaehlerNullenClick();
    void btnJustageSpeichernClick();
    void btnEventzaehlerSpeichernClick();

    // The view.
    TFieldModel& Fields() { return FFields; }
    QString Text(const QString& name) const { return FFields.Text(name); }
    TFieldState State(const QString& name) const { return FFields.State(name); }
    const std::vector<TCounterRow>& Rows(TList list) const { return list == lJC ? FJC : FEC; }
    int MonitorFlags() const { return FFlags; }
    TFieldState MonitorFlagsState() const { return FFlagsState; }
    bool ControlsOnline() const { return FControlsOnline; }

    static QString PersoName(int line) { return QStringLiteral("ePerso%1").arg(line); }  // 1..4
    static QString HoursName(int loadClass);  // 1, 2, 4, 7

Q_SIGNALS:
    void Status(const QString& text, bool alarm);
    void Message(const QString& text);  // a message box
    void FocusField(const QString& name);
    // Lists, flags, hardware or the online state changed.
    void ViewChanged();

private:
    void send(const QString& command, int tag);
    void buildLists();
    void showHardware();
    void updateVolumeSum();
    void onRow(TList list, bool ok, int tag, const QString& data);
    void saveList(TList list);

    TAppContext& FContext;
    TFieldModel FFields;
    TCountDialog FCountDialog;
    std::vector<TCounterRow> FJC;
    std::vector<TCounterRow> FEC;
    int FFlags = 0;
    TFieldState FFlagsState = TFieldState::Normal;
    bool FControlsOnline = false;
    // Orders sent and not yet finished (tag, answer word): a failed order without an answer
    // still names its field.
    std::deque<std::pair<int, QString>> FSent;
};
