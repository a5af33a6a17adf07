#pragma once
// The global message helpers every window and logic class uses. A message goes to two places
// together: the message panel of the main status bar (the status hook) and the list of system
// messages (the message sink: the system messages window, or standard error on the command
// line). User-interface thread only. With nothing registered the helpers simply do less.

#include <QColor>
#include <QString>

#include <functional>

// The main window connects this to its status bar's StatusSetMessage.
using TStatusMessageHook = std::function<void(const QString& text, bool alarm)>;
void SetStatusMessageHook(TStatusMessageHook hook);
// Sets the status bar's message panel through the hook; nothing without one.
void StatusMessage(const QString& text, bool alarm);

// Takes a line of the message list: text as shown (alarms already carry "ALARM: "), its
// colour, and whether the list stays where it is (false pops it up).
using TSysMessageSink = std::function<void(const QString& text, const QColor& colour, bool silent)>;
void SetSysMessageSink(TSysMessageSink sink);

// Status bar message; a non-empty text also goes to the list: an alarm as "ALARM: " + text in
// red, which pops the window up, otherwise in black without showing the window.
void ShowSysMessage(const QString& text, bool alarm);
// Status bar message (no alarm); a non-empty text goes to the list in colour, window not shown.
void ShowSysMessageColor(const QString& text, const QColor& colour);
void ShowSysInfo(const QString& text);
