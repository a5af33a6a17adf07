#pragma once
// What the text configuration window does, without widgets: the lines of its text area, the
// items of a read-back description, the transfer of lines to the device one at a time (each
// only after the answer to the one before), the read-back that turns answers into set commands,
// and loading and saving the files. The window Tftc shows this object's view and forwards user
// actions; tests drive it headless. User-interface thread only.

#include "appcontext.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// One line of a read-back description.
struct T_KONFDATA {
    QString sRequest = QStringLiteral(" ");  // request command, trimmed; " " for an empty line
    QString sWrite;                          // set command to build, as written
    qint32 iFromTok = 0;                     // first answer field to copy; <= 0 copies nothing
    QString sVal;                            // the copied answer text
    bool operator==(const T_KONFDATA&) const = default;
};

enum class TTcMode { Send, ReadBack };

// The colour of the answer lines of a command file in the system messages.
inline const QColor kTcAnswerColour{128, 0, 128};

// File kinds of the two load dialogs and the save dialogs.
inline constexpr const char* kTcCommandExt = "puc";
inline constexpr const char* kTcDescriptionExt = "pkd";

// Replaceable file dialogs and message box (tests run headless). The dialogs return the chosen
// path, or an empty string when the user cancelled.
struct TTcDialogs {
    std::function<QString(const QString& title, const QString& dir, const QString& filter, const QString& suffix)>
        openFile;
    std::function<QString(const QString& title, const QString& dir, const QString& proposedName,
                          const QString& filter, const QString& suffix)>
        saveFile;
    std::function<void(const QString& text)> errorBox;
};

struct TTcControls {
    bool Uebertragen = false;
    bool Auslesen = true;
    bool Abbrechen = false;
    bool Edit = true;  // load, clear, save and typing into the text area
};

// Lines of a text: split at LF, a trailing CR dropped; a final line end adds no empty line and an
// empty text has none.
QStringList SplitTextLines(const QString& text);
// The fields of a description line, split at "@".
QStringList DescriptionFields(const QString& line);
// File contents: UTF-8 (byte-order mark dropped), else Windows-1252.
QString DecodeTextFile(const QByteArray& bytes);
// Lines in Windows-1252, each ended by CR LF.
QByteArray EncodeTextFile(const QStringList& lines);
// path, with "." + suffix appended when it has none.
QString WithDefaultSuffix(const QString& path, const QString& suffix);
// A line with its placeholders applied: "§DATE§" anywhere makes it the date command, "§TIME§"
// the time command (which wins when both are there).
QString ApplyPlaceholders(const QString& line, const QDateTime& now);

class TTcLogic : public QObject {
    Q_OBJECT
public:
    using TNow = std::function<QDateTime()>;

    explicit TTcLogic(TAppContext& context, QObject* parent = nullptr);

    void SetDialogs(TTcDialogs dialogs) { FDialogs = std::move(dialogs); }
    // Replaces the clock of the placeholders and proposed names; empty restores the PC's clock.
    void SetNow(TNow now);

    // Module operations.
    void SetOnOffLine(int online);
    void TimerEvent();
    void RXData(int status, int tag, const QString& data);

    // The text area as the user typed it.
    void SetText(const QString& text);
    void SetLines(const QStringList& lines);
    const QStringList& Lines() const { return FLines; }
    QString Text() const { return FLines.join(QLatin1Char('\n')); }

    // The text area into the item list; errors go to the status line, the parse goes on.
    void ParseItems();
    const QList<T_KONFDATA>& Items() const { return FItems; }

    // User actions.
    void btnDateiLadenClick();
    void btnKonfDateiLadenClick();
    void btnUebertragenClick() { StartTransfer(TTcMode::Send); }
    void btnAuslesenClick() { StartTransfer(TTcMode::ReadBack); }
    void btnSpeichernClick();
    void btnKonfDatSpeichernClick();
    void btnLoeschenClick();
    void btnAbbrechenClick();

    // The file steps behind the dialogs. False (with the messages) when the file was not read
    // or written.
    bool LoadFile(const QString& path, bool description);
    bool SaveFile(const QString& path);
    // Proposed file names of the two save buttons.
    QString ProposedName() const;
    QString ProposedDeviceName() const;

    void StartTransfer(TTcMode mode);

    // The view.
    bool Running() const { return FRunning; }
    bool Busy() const { return FRunning || FAnswerPending; }
    bool Aborted() const { return FAborted; }
    bool AnswerPending() const { return FAnswerPending; }
    TTcMode Mode() const { return FMode; }
    int NextIndex() const { return FNextIndex; }
    int AwaitedIndex() const { return FAwaitedIndex; }
    int Total() const { return FTotal; }
    QString CounterText() const { return FCounterText; }
    int ProgressMax() const { return FProgressMax; }
    int ProgressValue() const { return FProgressValue; }
    const TTcControls& Controls() const { return FControls; }

Q_SIGNALS:
    // A text for the window's status line.
    void Status(const QString& text, bool alarm);
    // The lines changed by a load, a read-back or "Löschen" (not by SetText).
    void LinesChanged();
    // Anything else of the view changed.
    void ViewChanged();

private:
    QDateTime now() const { return FNow(); }
    void updateControls();
    void setLine(int index, const QString& text);
    void endTransfer();
    void abortAwaited(const QString& answer);
    QString lineAt(int index) const;
    QString configDir() const;
    void setConfigDir(const QString& filePath);
    void load(bool description);
    void save(const QString& proposedName);

    TAppContext& FContext;
    TTcDialogs FDialogs;
    TNow FNow;

    QStringList FLines;
    QList<T_KONFDATA> FItems;

    bool FRunning = false;
    TTcMode FMode = TTcMode::Send;
    bool FAborted = false;
    bool FReady = true;
    bool FAnswerPending = false;  // an order of this window is in the link
    int FNextIndex = 0;
    int FAwaitedIndex = -1;
    int FTotal = 0;
    QString FCounterText;
    int FProgressMax = 0;
    int FProgressValue = 0;
    TTcControls FControls;
};
