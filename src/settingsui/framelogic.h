#pragma once
// What the settings editor's frames decide without widgets: reading the typed texts, the
// choices a spinner offers, the file dialog's filter, the walk over a table's cells and which
// groups the tree view shows.

#include "multivaluenodes.h"
#include "settingsnodes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// An integer as typed; surrounding blanks are ignored.
bool ParseFrameInteger(const QString& text, qint32& value);
// A float as typed: "." and "," both count as the decimal separator, whatever the system's is.
bool ParseFrameFloat(const QString& text, long double& value);

// Checks a frame's text against the node's type and rules. errMsg in the node's language.
bool CheckFrameText(const TValueNode& node, const QString& text, QString& errMsg);

// Spinner items of a choice node: "%s|%d" from each item and its index. A language node's
// items already carry their number.
QStringList SpinnerItems(const TSelectNode& node);
// The text a spinner item shows (before the first "|") and the number it yields (after it).
QString SpinnerItemText(const QString& item);
int SpinnerItemNumber(const QString& item);

// Height of a radio frame: three columns, 20 pixels a row, 25 for the title.
int RadioFrameHeight(int itemCount);

// A filter of the form "Name|*.a;*.b|All|*.*" as a Qt dialog filter: "Name (*.a *.A *.b *.B);;All (*)".
QString DialogFilter(const QString& delphiFilter);

enum class TInfoTextKind { Plain, Rtf, Html };
// Rich text only when it says so: RTF starts with "{\rtf", HTML with "<html" or "<!DOCTYPE html".
// Anything else (a file name with "<" too) is plain text.
TInfoTextKind InfoTextKind(const QString& text);
// The readable text of an RTF document: control words and hidden groups dropped.
QString RtfToPlain(const QString& rtf);

// One port found by the connection layer.
struct TPortEntry {
    QString Port;         // device path, e.g. /dev/ttyACM0
    QString Description;  // USB product and maker; may be empty
};

// A line of the port list: "%6s  %s " with port and description.
QString PortListLine(const TPortEntry& entry);
// The ports the spinner offers: those found, then the current one when it is not among them.
QStringList PortChoices(const QList<TPortEntry>& found, const QString& current);
// The baud rates offered; a stored rate that is not a standard one is kept as an entry.
QStringList BaudChoices(const QString& current);

// The walk over a table's cells, column by column; it stops after the first column with a bad
// cell. Every valid cell reached is listed for saving.
struct TTableCell {
    int col = 0;
    int row = 0;
    long double value = 0;
};
struct TTableCheck {
    int badCol = -1;
    int badRow = -1;
    QString message;
    QList<TTableCell> valid;
    bool ok() const { return badCol < 0; }
};
TTableCheck CheckTableCells(const TFloatTableNode& node, const std::function<QString(int col, int row)>& cellText);

// TimeOut and Interval of a serial-port frame; empty when both are integers, else the messages
// joined by ", ".
QString CheckComPortNumbers(const TComPortNode& node, const QString& timeOut, const QString& interval);

// A node's text in the editor: its caption; in debug mode an empty caption shows the identifier.
QString DisplayText(const TSettingsNode& node, bool debugMode);

// One group of the tree view, depth first; nodes without display text are left out with all
// below them.
struct TTreeEntry {
    TGroupNode* group = nullptr;
    QString text;
    int depth = 0;
};
QList<TTreeEntry> TreeEntries(TGroupNode& root, bool debugMode);
// The value children of a group that get a frame, in order.
QList<TValueNode*> FrameNodes(const TGroupNode& group, bool debugMode);
