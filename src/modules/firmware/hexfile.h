#pragma once
// Reads a firmware file (Intel HEX) into the flash image for the update.

#include "hexparser.h"

#include <QString>

#include <functional>

// Receives the reader's error lines; the firmware window shows them in red. Each text is one
// fixed German source text, so the window can look it up in the catalogue as it arrives.
using THexLogFn = std::function<void(const QString& text)>;

inline constexpr char kHexInvalidCharsText[] = "HEX-Datei enthält ungültige Zeichen";
inline constexpr char kHexUnsupportedTypeText[] = "HEX-Datei enthält nicht unterstütztes Feld: RECTYPE";
inline constexpr char kHexOutsideImageText[] = "HEX-Datei enthält Daten außerhalb des Flash-Bereichs";
inline constexpr char kHexUnreadableText[] = "HEX-Datei kann nicht gelesen werden";

// Fills image from the file: reset to 0xFF first, then every record checked and stored.
// True when the file is good (an end record is not required). A bad file leaves in the image
// what was stored before the bad line. The caller reports the overall result.
bool ReadHexFile(const QString& fileName, THexImage& image, const THexLogFn& log);
