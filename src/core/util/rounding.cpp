#include "rounding.h"

#include <cmath>
#include <limits>

qint64 RoundHalfEven(double value)
{
    // Values from files or the device can be anything; beyond the range the result saturates.
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (std::isnan(value))
        return 0;
    if (value >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (value < -kLimit)
        return std::numeric_limits<qint64>::min();
    const double floor = std::floor(value);
    const double diff = value - floor;
    const qint64 f = static_cast<qint64>(floor);
    if (diff < 0.5)
        return f;
    if (diff > 0.5)
        return f + 1;
    return (f % 2 == 0) ? f : f + 1;
}
