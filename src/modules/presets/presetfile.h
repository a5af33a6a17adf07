#pragma once
// Preset files (".svk"): INI text with one section "preset_NN" per preset. Export writes the
// presets of a window's table into a file (keeping what else the file holds); import reads the
// presets the table knows from a file and checks each against the device's limits. No widgets,
// no dialogs: the device settings window asks and reports.

#include "presetmodel.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

class TSettingsIni;

// "preset_03" for preset 3.
QString PresetSection(int number);
// The file name proposed for an export: serial number + "_yyyyMMdd_HHmmss".
QString ProposedPresetFileName(const QString& serialNo, const QDateTime& when);

// Decimals as the file keeps them: the single-precision value widened to double, up to 15
// significant digits, with the decimal separator of locale.
QString PresetFileDecimal(float value, const QLocale& locale);
// Reads "." or "," as the decimal separator; anything else (group separators, nan, inf,
// letters) is not a number and reads as 0.
double ReadPresetFileDecimal(const QString& text);

// Writes the table's received presets into the image: keys in their fixed order, each section
// followed by an empty line.
void WritePresets(TSettingsIni& ini, const TPresetTable& table, const QLocale& locale);
// The image as file text with an empty line after every preset section.
QString PresetFileText(const TSettingsIni& ini);
// Loads fileName (missing: empty), writes the presets, replaces the file without ever leaving it
// half written. Empty on success, else the system's error text.
QString ExportPresetFile(const QString& fileName, const TPresetTable& table, const QLocale& locale);

// Loads a preset file: UTF-8, or Windows-1252 for files that are not UTF-8. False with the
// system's error text when it cannot be read.
bool LoadPresetFile(const QString& fileName, TSettingsIni& ini, QString& error);

// Preset n from its section (which must exist), defaults for missing keys, name cut to 20.
TPreSet ReadPreset(const TSettingsIni& ini, int number);
// The range checks of an imported preset: one "\r\n" + line per failure, empty when it passes.
QString CheckImportedPreset(const TPreSet& preset, double maxFlow);

struct TPresetImport {
    QList<TPreSet> Accepted;  // to be sent, in table order
    QStringList Rejections;   // one system message per refused preset
};
// The presets of the table (received ones only) that the file has a section for.
TPresetImport ImportPresets(const TSettingsIni& ini, const TPresetTable& table, double maxFlow);
