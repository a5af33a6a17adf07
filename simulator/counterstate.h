#pragma once
// The virtual device's service counters: operating hours per load class, personalisation lines,
// volume and servo travel counters, adjustment and event counters with their dates, and the
// monitor flags.

#include <QString>

#include <array>

struct TSimCounterEntry {
    int iCount = 0;
    QString strDate;  // as the device shows it, "dd.mm.yyyy"; empty when never set
};

struct TSimCounters {
    // Load classes 1, 2 and 4 at index 0..2, in seconds.
    std::array<qint64, 3> aHoursS{{412L * 3600 + 17 * 60 + 5, 98L * 3600 + 2 * 60, 12L * 3600 + 59 * 60 + 59}};
    std::array<QString, 4> aPerso{{QStringLiteral("Sarvik GmbH"), QStringLiteral("Messtechnik"), QString(), QString()}};
    std::array<qint64, 2> aVolume{{18345, 17290}};
    std::array<qint64, 2> aServo{{1204311, 1187200}};
    std::array<TSimCounterEntry, 27> aAdjust{};
    std::array<TSimCounterEntry, 8> aEvent{{{57, QStringLiteral("03.12.2026")}, {0, {}}, {2, QStringLiteral("14.10.2026")}, {0, {}},
                                            {11, QStringLiteral("01.12.2026")}, {0, {}}, {0, {}}, {0, {}}}};
    int iMonitorFlags = 0;
};

// "h:mm:ss" of seconds, hours not limited.
QString CounterDuration(qint64 seconds);
