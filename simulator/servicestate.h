#pragma once
// The virtual device's built-in tests (last results, the one running) and its error memory.

#include <QDateTime>
#include <QString>

#include <array>
#include <vector>

struct TSimTestResult {
    QString strDate = QStringLiteral("12.11.2026");
    QString strTime = QStringLiteral("09:41:07");
    int iResult = 1;
    int iRaw0 = 0;
    int iRaw1 = 0;
};

struct TSimErrEntry {
    int iNr = 0;  // 65535: an empty slot
    QString strDate;
    QString strTime;
    int iValid = 1;
    int iType = 0;
    int iSource = 2;
    int iSeverity = 0;
    qint64 iOpTimeS = 0;
    std::array<int, 4> aData{};
};

struct TSimService {
    std::array<TSimTestResult, 4> aResults{};
    int iRunningTest = -1;
    double fTestStartMs = 0.0;  // device clock (ms since the epoch) when the running test began
    std::vector<TSimErrEntry> aErrMem;  // index = slot; filled on first use
    bool bSeeded = false;
};

// How long a built-in test runs, in device milliseconds.
constexpr double kSimTestDurationMs = 4000.0;
