#pragma once
// The system messages window: the coloured, time-stamped list the message helpers
// (sysmessages.h) add to once the window is registered. User-interface thread only.

#include "plxform.h"
#include "sysmessages.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QRect>
#include <QString>

#include <functional>

class QPushButton;
class QTextDocument;
class QTextEdit;

class TfSysMeld;
// The window the helpers add to; nullptr unregisters. A destroyed window unregisters itself.
void SetSysMeldWindow(TfSysMeld* window);
TfSysMeld* SysMeldWindow();

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
