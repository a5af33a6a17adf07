// Service information: built-in tests (GIT, SMC, GMC), the error memory (GII, GIF, SHD) and the
// read-only counters (GIO;n, GIV, GIJ, GIR) from the same stores as the counter commands.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"
#include "servicestate.h"

namespace {

constexpr int kClearCode1 = 428;
constexpr int kClearCode2 = 617;
constexpr int kSeededEntries = 150;

double clockMs(const TDeviceModel& m)
{
    // The device clock runs with the device's speed; a clock set by the program may cut a test short.
    return static_cast<double>(m.deviceClock().toMSecsSinceEpoch());
}

// About 150 entries of mixed types, some unreadable and some empty slots, oldest first.
void seedErrMem(TDeviceModel& m)
{
    TSimService& s = m.FService;
    if (s.bSeeded)
        return;
    s.bSeeded = true;
    const int types[] = {9, 147, 132, 200, 128, 149, 3, 150, 143, 8};
    const QDateTime start(QDate(2025, 3, 1), QTime(8, 0));
    for (int i = 0; i < kSeededEntries; ++i) {
        TSimErrEntry e;
        e.iNr = i + 1;
        const QDateTime at = start.addSecs(qint64(i) * 86400 + i * 317);
        e.strDate = at.date().toString(QStringLiteral("dd.MM.yyyy"));
        e.strTime = at.time().toString(QStringLiteral("HH:mm:ss"));
        e.iType = types[i % 10];
        e.iSource = i % 3;
        e.iSeverity = i % 3;
        e.iOpTimeS = 3725 + qint64(i) * 3600;
        switch (e.iType) {
        case 9: e.aData = {1, 44, 1, 0}; break;
        case 147: e.aData = {1, 44, 0, 0}; break;
        case 132: e.aData = {7, 0, 0, 0}; break;
        case 200: e.aData = {1, 2, 3, 4}; break;
        default: break;
        }
        if (i % 23 == 5)
            e.iValid = 0;
        if (i % 31 == 7)
            e.iNr = 65535;
        s.aErrMem.push_back(e);
    }
}

QStringList resultAnswer(const TDeviceModel& m, int n)
{
    const TSimTestResult& r = m.FService.aResults[static_cast<size_t>(n)];
    return {QString::number(n), r.strDate, r.strTime, QString::number(r.iResult), QString::number(r.iRaw0),
            QString::number(r.iRaw1)};
}

// Finishes a running test whose time is up with a passed result dated now.
void advanceTest(TDeviceModel& m)
{
    TSimService& s = m.FService;
    if (s.iRunningTest < 0 || clockMs(m) - s.fTestStartMs < kSimTestDurationMs)
        return;
    TSimTestResult& r = s.aResults[static_cast<size_t>(s.iRunningTest)];
    const QDateTime now = m.deviceClock();
    r.strDate = now.date().toString(QStringLiteral("dd.MM.yyyy"));
    r.strTime = now.time().toString(QStringLiteral("HH:mm:ss"));
    r.iResult = 1;
    switch (s.iRunningTest) {
    case 0: r.iRaw0 = m.FServo.iOpen[0]; r.iRaw1 = m.FServo.iClosed[0]; break;
    case 1: r.iRaw0 = m.FServo.iOpen[1]; r.iRaw1 = m.FServo.iClosed[1]; break;
    case 2: r.iRaw0 = 123; r.iRaw1 = 98; break;      // 0.0123 and 0.0098 NL
    default: r.iRaw0 = 12; r.iRaw1 = 10123; break;  // 1.2 mbar from 1012.3 mbar
    }
    s.iRunningTest = -1;
}

bool channelParam(const QStringList& p, int& c)
{
    return (p.size() == 1 || (p.size() == 2 && p.at(1).isEmpty())) && IntParamIn(p, 0, 0, 1, c);
}

}  // namespace

void RegisterServiceCommands(TCommandTable& table)
{
    table.add(QStringLiteral("GIT"), [](TDeviceModel& m, const QStringList& p) {
        int n = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 3, n))
            return QStringList{};
        advanceTest(m);
        return resultAnswer(m, n);
    });
    table.add(QStringLiteral("SMC"), [](TDeviceModel& m, const QStringList& p) {
        int n = 0;
        advanceTest(m);
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 3, n) || m.FService.iRunningTest >= 0
            || m.deviceState() == kDevSampling)
            return QStringList{};
        m.FService.iRunningTest = n;
        m.FService.fTestStartMs = clockMs(m);
        m.noteActivity();
        return QStringList{QString::number(n)};
    });
    table.add(QStringLiteral("GMC"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        advanceTest(m);
        return QStringList{QString::number(m.FService.iRunningTest)};
    });
    table.add(QStringLiteral("GII"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        seedErrMem(m);
        return QStringList{QString::number(int(m.FService.aErrMem.size()) - 1)};
    });
    table.add(QStringLiteral("GIF"), [](TDeviceModel& m, const QStringList& p) {
        seedErrMem(m);
        int i = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, int(m.FService.aErrMem.size()) - 1, i))
            return QStringList{};
        const TSimErrEntry& e = m.FService.aErrMem[static_cast<size_t>(i)];
        return QStringList{QString::number(i),          QString::number(e.iNr),      e.strDate,
                           e.strTime,                   QString::number(e.iValid),   QString::number(e.iType),
                           QString::number(e.iSource),  QString::number(e.iSeverity), QString::number(e.iOpTimeS),
                           QString::number(e.aData[0]), QString::number(e.aData[1]), QString::number(e.aData[2]),
                           QString::number(e.aData[3])};
    });
    table.add(QStringLiteral("SHD"), [](TDeviceModel& m, const QStringList& p) {
        int a = 0;
        int b = 0;
        if (p.size() != 2 || !IntParam(p, 0, a) || !IntParam(p, 1, b) || a != kClearCode1 || b != kClearCode2)
            return QStringList{};
        seedErrMem(m);
        m.FService.aErrMem.clear();
        // The device notes its own clearing as the only entry.
        TSimErrEntry e;
        e.iNr = 1;
        e.strDate = m.deviceClock().date().toString(QStringLiteral("dd.MM.yyyy"));
        e.strTime = m.deviceClock().time().toString(QStringLiteral("HH:mm:ss"));
        e.iType = 143;
        m.FService.aErrMem.push_back(e);
        m.noteActivity();
        return QStringList{QStringLiteral("0")};
    });

    // GIO;n gives one load class as hhhh:mm; plain GIO keeps the status layout.
    const TCommandHandler* statusGio = table.find(QStringLiteral("GIO"));
    TCommandHandler plain = statusGio ? *statusGio : TCommandHandler();
    table.add(QStringLiteral("GIO"), [plain](TDeviceModel& m, const QStringList& p) {
        if (p.isEmpty())
            return plain ? plain(m, p) : QStringList{};
        int c = 0;
        if (p.size() != 1 || !IntParam(p, 0, c) || (c != 1 && c != 2 && c != 4 && c != 7))
            return QStringList{};
        const auto& h = m.FCounters.aHoursS;
        const qint64 s = c == 7 ? h[0] + h[1] + h[2] : h[static_cast<size_t>(c == 1 ? 0 : c == 2 ? 1 : 2)];
        return QStringList{QStringLiteral("%1:%2").arg(s / 3600, 4, 10, QLatin1Char('0')).arg(s / 60 % 60, 2, 10, QLatin1Char('0'))};
    });
    table.add(QStringLiteral("GIV"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        if (!channelParam(p, c))
            return QStringList{};
        return QStringList{QString::number(c), QString::number(m.FCounters.aVolume[static_cast<size_t>(c)])};
    });
    table.add(QStringLiteral("GIJ"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        if (!channelParam(p, c))
            return QStringList{};
        return QStringList{QString::number(c), QString::number(m.FCounters.aServo[static_cast<size_t>(c)])};
    });
    table.add(QStringLiteral("GIR"), [](TDeviceModel& m, const QStringList& p) {
        int row = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 7, row))
            return QStringList{};
        const TSimCounterEntry& e = m.FCounters.aEvent[static_cast<size_t>(row)];
        return QStringList{QString::number(row), QString::number(e.iCount), e.strDate};
    });
}
