#pragma once
// The device's command families: which commands and answer words belong together.

#include <QString>
#include <QStringList>

#include <span>

struct TCommandFamily {
    const char* name;       // e.g. "identity and status"
    QStringList commands;   // exact commands; a two-letter entry ("GS") stands for a prefix
    QStringList answers;    // answer words; a two-letter entry ("TS") stands for a prefix
    const char* subject;    // what the family is about
};

std::span<const TCommandFamily> CommandFamilies();

// The family a command (with or without parameters) belongs to; nullptr when unknown.
// Exact entries win over prefix entries, so "GSP" is a preset and "GSV" a device parameter.
const TCommandFamily* FindCommandFamily(const QString& command);

// The answer word the device uses for a command: "T" + its 2nd and 3rd letters.
QString AnswerWordFor(const QString& command);
