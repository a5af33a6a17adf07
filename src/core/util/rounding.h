#pragma once
// The one rounding rule for values the device or the user sees where ties go to even.
// Never qRound, std::round or lround there: they round ties away from zero.

#include <QtGlobal>

// Round to the nearest integer, halves to even (1.5 -> 2, 2.5 -> 2, -2.5 -> -2).
qint64 RoundHalfEven(double value);
