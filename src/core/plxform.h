#pragma once
// Base of every module window: client id, own status line, geometry kept in the settings, and
// the operations the main window calls.

#include "appcontext.h"
#include "sessionclient.h"

#include <QString>
#include <QWidget>

class QStatusBar;

class TPLXForm : public QWidget, public TSessionClient {
    Q_OBJECT
public:
    explicit TPLXForm(TAppContext& context, QWidget* parent = nullptr);
    ~TPLXForm() override;

    // Stores the text and repaints the attached status bar.
    virtual void ShowStatus(const QString& text, bool alarm);
    void ShowStatusInfo(const QString& text) { ShowStatus(text, false); }
    // 1 online, 0 offline; sent to every open module window on each change, minimised or not.
    void SetOnOffLine(int online) override;
    // Every tick of the main window's status timer (interval in milliseconds), to every open
    // module window.
    void TimerEvent(int interval) override;
    // A finished order of this window: status 10 or 14, the sender's tag, the payload.
    void RXData(int status, int tag, const QString& data) override;
    // Re-translates the window's texts.
    virtual void SwitchLanguage();
    // Whether the window may close now; a window that refuses tells the user why.
    virtual bool CloseQuery() { return true; }
    int SessionClientId() const override { return FClientID; }

    // The bar shows FStatusText in a panel of its own (also its accessible name); a double
    // click clears it.
    void AttachStatusBar(QStatusBar* bar);
    // The panel that draws the status text; none before AttachStatusBar.
    QWidget* StatusPanel() const;

    // The widget whose geometry is stored: the MDI frame around this window, or the window.
    QWidget* FrameWindow();
    void RestoreGeometry();
    void StoreGeometry();

    TAppContext& Context() const { return FContext; }
    // From the first show until closed; a minimised window is open.
    bool IsOpen() const;

    QStatusBar* FStatusBar = nullptr;
    int FClientID = -1;
    QString FStatusText;
    bool FStatusAlarm = false;

protected:
    // The window is shown anew: on its first show and when shown again after it was hidden or
    // closed. Restoring a minimised window is no new showing.
    virtual void FormShow();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TAppContext& FContext;
    class TStatusPanel* FStatusPanel = nullptr;
    bool FShownOnce = false;
    bool FHiddenByMinimise = false;
};

// The settings path of one of the five window keys of a client ("Top", "Left", "Width",
// "Height", "Open").
QString WinPosPath(int clientId, const char* key);
