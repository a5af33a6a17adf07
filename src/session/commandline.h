#pragma once
// The program's command line: the device's own switches ("Service", "-C file") and ours.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

struct TCommandLine {
    bool ServiceMode = false;
    QString ConfiguredName;   // from "-C name", "-Cname"; empty when none
    QStringList DeviceRoots;  // every --device-root DIR
    bool Demo = false;        // --demo: run a virtual device inside the program
    bool Help = false;
    bool Version = false;
    bool Paths = false;  // --paths: where the translations and manuals are found
};

// args without the program name. Parameters are looked at in order; "-C"/"-c" anywhere in a
// parameter names the settings file: the rest of it, or the next parameter when it is that short.
TCommandLine ParseCommandLine(const QStringList& args);

// The configured file when its name is longer than 2 characters and it exists, otherwise
// startDir + "SarvikControl.ini". startDir ends with "/".
QString ChooseSettingsFile(const QString& configuredName, const QString& startDir);

QString CommandLineHelp();

// Main window geometry from the stored keys: Height only above 180, Width only above 480; a
// Top/Left below -39 centres the window on the screen, otherwise it is applied as stored.
QRect ApplyStoredGeometry(const QRect& current, int top, int left, int width, int height, const QSize& screen);

// A path broken into lines of at most maxLen characters, at "/" where possible.
QString BreakPath(const QString& path, int maxLen = 45);
