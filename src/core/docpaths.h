#pragma once
// Where the program's own documents are: beside the program, in the installed documentation
// folder relative to it, or in the build tree.

#include <QString>
#include <QStringList>

// Replaces the folders searched (tests); an empty list restores the defaults.
void SetManualDirs(const QStringList& dirs);

// The manual file's full path where it exists, else empty.
QString FindManual(const QString& fileName);

// The full path of the manual file `fileName` where it exists; else the path beside the program,
// which the "not found" message names.
QString ManualPath(const QString& fileName);
