#pragma once
// The one rounding rule for values the device or the user sees where ties go to even.
// Never qRound, std::round or lround there: they round ties away from zero.

#include <QtGlobal>

// Round to the nearest integer, halves to even (1.5 -> 2, 2.5 -> 2, -2.5 -> -2). Beyond the
// range of qint64 (infinities included) the result is the nearest limit; NaN gives 0.
qint64 RoundHalfEven(double value);
