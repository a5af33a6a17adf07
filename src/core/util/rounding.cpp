#include "rounding.h"

#include <cmath>

qint64 RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    const qint64 f = static_cast<qint64>(floor);
    if (diff < 0.5)
        return f;
    if (diff > 0.5)
        return f + 1;
    return (f % 2 == 0) ? f : f + 1;
}
