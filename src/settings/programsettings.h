#pragma once
// The program's settings schema: every group and key with type, default, limits and captions.

class TFSettingsForm;

// Default of Control/Interval, seconds between the operation window's data requests.
constexpr int kControlIntervalDefaultS = 10;

// Builds the schema into a fresh owner, once at start-up, before the settings file is read.
void BuildProgramSettings(TFSettingsForm& form);
