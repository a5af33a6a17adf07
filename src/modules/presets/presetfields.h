#pragma once
// Checks of the preset editor's text fields: integers and decimals within a range, and the
// duration texts operators type ("2h", "12:35 h:m", "05:30 m:s", "1:30", "90"). Each returns
// false with the message to show when the text is refused, true with an empty message else.

#include <QString>

// Log interval and other integer fields.
bool CheckIntField(const QString& text, int min, int max, int& value, QString& message);

// A decimal in the display notation (FmtDisplay) within min..max; on success value is rounded
// to the given number of decimals, halves to even.
bool CheckFloatField(const QString& text, double min, double max, int decimals, double& value, QString& message);

// A duration text in seconds within min..max.
bool ParseTimeText(const QString& text, qint64 min, qint64 max, qint64& seconds, QString& message);

// The seconds a duration text stands for; false when it is no duration. Saturates far above any
// range the editor uses instead of wrapping.
bool TimeTextSeconds(const QString& text, qint64& seconds);
