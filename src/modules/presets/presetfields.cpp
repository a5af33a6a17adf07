#include "presetfields.h"

#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"
#include "rounding.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <cmath>

namespace {

// Far above every range of the editor (100 years in seconds) and far below the 64-bit limit.
constexpr qint64 kSaturation = qint64(100) * 366 * 86400;

qint64 saturatingMulAdd(qint64 value, qint64 factor, qint64 add)
{
    if (value > (kSaturation - add) / factor)
        return kSaturation;
    return value * factor + add;
}

QString twoDecimalPattern(QString pattern)
{
    // The catalogue keeps printf's "%f"; the message shows two decimals like the fields do.
    pattern.replace(QStringLiteral("%f"), QStringLiteral("%.2f"));
    return pattern;
}

}  // namespace

bool CheckIntField(const QString& text, int min, int max, int& value, QString& message)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*-?\\d+\\s*$"));
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    qint64 checked = v;
    if (!ok) {
        if (!digits.match(text).hasMatch()) {
            message = Tr("Nur Zeichen \"0123456789-\" möglich!");
            return false;
        }
        // Digits beyond 64 bits: far outside any range.
        checked = text.trimmed().startsWith(QLatin1Char('-')) ? std::numeric_limits<qint64>::min()
                                                              : std::numeric_limits<qint64>::max();
    }
    if (checked < min) {
        message = FmtDisplay().Format(Tr("Wert muss größer oder gleich %d sein"), {min});
        return false;
    }
    if (checked > max) {
        message = FmtDisplay().Format(Tr("Wert muss kleiner oder gleich %d sein"), {max});
        return false;
    }
    value = static_cast<int>(checked);
    message.clear();
    return true;
}

bool CheckFloatField(const QString& text, double min, double max, int decimals, double& value, QString& message)
{
    double v = 0.0;
    if (!FmtDisplay().ParseFloat(text, v) || !std::isfinite(v)) {
        message = Tr("Keine gültige Zahl");
        return false;
    }
    if (v < min) {
        message = FmtDisplay().Format(twoDecimalPattern(Tr("Wert muss größer oder gleich %f sein")), {min});
        return false;
    }
    if (v > max) {
        message = FmtDisplay().Format(twoDecimalPattern(Tr("Wert muss kleiner oder gleich %f sein")), {max});
        return false;
    }
    const double scale = std::pow(10.0, decimals);
    // The typed decimal is what gets rounded: snap away the binary representation error first,
    // so a typed tie such as 0.115 stays a tie.
    const double scaled = static_cast<double>(RoundHalfEven(v * scale * 1e6)) / 1e6;
    value = static_cast<double>(RoundHalfEven(scaled)) / scale;
    message.clear();
    return true;
}

bool TimeTextSeconds(const QString& text, qint64& seconds)
{
    qint64 v = 0;  // running number
    qint64 s = 0;  // number saved at ':'
    qint64 t = 0;  // total
    bool colon = false;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            v = saturatingMulAdd(v, 10, c.unicode() - '0');
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('s') || c == QLatin1Char('S')) {
            continue;
        } else if (c == QLatin1Char(':')) {
            s = v;
            v = 0;
            colon = true;
        } else if (c == QLatin1Char('h') || c == QLatin1Char('H')) {
            const qint64 add = colon ? saturatingMulAdd(s, 3600, saturatingMulAdd(v, 60, 0)) : saturatingMulAdd(v, 3600, 0);
            t = std::min(kSaturation, t + add);
            s = v = 0;
        } else if (c == QLatin1Char('m') || c == QLatin1Char('M')) {
            const qint64 add = colon ? saturatingMulAdd(s, 60, v) : saturatingMulAdd(v, 60, 0);
            t = std::min(kSaturation, t + add);
            s = v = 0;
        } else {
            return false;
        }
    }
    if (t == 0)
        t = saturatingMulAdd(s, 60, v);
    seconds = t;
    return true;
}

bool ParseTimeText(const QString& text, qint64 min, qint64 max, qint64& seconds, QString& message)
{
    qint64 t = 0;
    if (!TimeTextSeconds(text, t)) {
        message = Tr("Kein gültiger Zeitwert");
        return false;
    }
    if (t < min) {
        message = FmtDisplay().Format(Tr("Wert muss größer oder gleich %s sein"), {FormatDuration(static_cast<int>(min))});
        return false;
    }
    if (t > max) {
        message = FmtDisplay().Format(Tr("Wert muss kleiner oder gleich %s sein"), {FormatDuration(static_cast<int>(max))});
        return false;
    }
    seconds = t;
    message.clear();
    return true;
}
