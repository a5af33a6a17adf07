#pragma once
// The control commands of the executable's standard input, one per line; each gives one line
// back, beginning with "ok" or "error".

#include <QString>

class TVirtualSarvik;

QString ExecuteControlCommand(TVirtualSarvik& device, const QString& line);

// One-line summary for "state".
QString DescribeState(TVirtualSarvik& device);

// The text of "help".
QString ControlHelpText();
