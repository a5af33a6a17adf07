#pragma once
// The system messages window and the global message helpers every window uses. A message goes
// to two places together: the message panel of the main status bar (through the status hook the
// main window registers) and the coloured, time-stamped list of the one registered TfSysMeld.
// User-interface thread only. With nothing registered the helpers simply do less.

#include "plxform.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QRect>
#include <QString>

#include <functional>

class QPushButton;
class QTextDocument;
class QTextEdit;

// The main window connects this to its status bar's StatusSetMessage.
using TStatusMessageHook = std::function<void(const QString& text, bool alarm)>;
void SetStatusMessageHook(TStatusMessageHook hook);
// Sets the status bar's message panel through the hook; nothing without one.
void StatusMessage(const QString& text, bool alarm);

class TfSysMeld;
// The window the helpers add to; nullptr unregisters. A destroyed window unregisters itself.
void SetSysMeldWindow(TfSysMeld* window);
TfSysMeld* SysMeldWindow();

// Status bar message; a non-empty text also goes to the list: an alarm as "ALARM: " + text in
// red, which pops the window up, otherwise in black without showing the window.
void ShowSysMessage(const QString& text, bool alarm);
// Status bar message (no alarm); a non-empty text goes to the list in colour, window not shown.
void ShowSysMessageColor(const QString& text, const QColor& colour);
void ShowSysInfo(const QString& text);

// The document as RTF that keeps the text colours: a colour table of the colours used, one
// \par per line, "\", "{" and "}" escaped, tabs as \tab, everything outside ASCII as \uN?.
QByteArray SysMeldToRtf(const QTextDocument& document);

class TfSysMeld : public TPLXForm {
    Q_OBJECT
public:
    // Returns the chosen path, or an empty string when the user cancelled.
    using TSaveDialog = std::function<QString(QWidget* parent, const QString& proposedPath)>;

    static constexpr int kMaxLines = 1001;

    explicit TfSysMeld(TAppContext& context, QWidget* parent = nullptr);
    ~TfSysMeld() override;

    // Appends "dd.mm. hh:nn:ss:zzz " + text in colour, first dropping the oldest line when the
    // list is full; shows a hidden window unless silent.
    void AddSysMeldLine(const QString& text, const QColor& colour, bool silent);
    int LineCount() const;

    // Replaces the file dialog of "Speichern" (tests run headless); empty restores the default.
    void SetSaveDialog(TSaveDialog dialog);
    // The screen rectangle the window must not cover when an alarm pops it up (the main
    // window's error panel); none when unset or empty.
    void SetKeepClearArea(std::function<QRect()> area);
    // Log directory + "SarvikControl_" + "yyyymmddhhnnss" + ".RTF".
    QString ProposedFileName(const QDateTime& now = QDateTime::currentDateTime());

    void btnSaveClick();
    void btnClearClick();

    void SwitchLanguage() override;

    QTextEdit* mem1 = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The window has no status line of its own, so its results go to the main status bar too.
    void report(const QString& text, bool alarm);
    void scrollToEnd();
    void keepClear();

    TSaveDialog FSaveDialog;
    std::function<QRect()> FKeepClearArea;
    int FNewestLine = 0;  // first block of the newest message
};
