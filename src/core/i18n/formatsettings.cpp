#include "formatsettings.h"

#include <QRegularExpression>

namespace {

bool isPatternLetter(QChar c)
{
    return c.isLetter();
}

// First separator character of a Qt date or time pattern, or fallback.
QChar firstSeparator(const QString& pattern, QChar fallback)
{
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !isPatternLetter(c) && !c.isSpace())
            return c;
    }
    return fallback;
}

// Qt pattern → our pattern: its separator becomes the placeholder.
QString toPlaceholders(QString pattern, QChar separator, QChar placeholder)
{
    if (separator != placeholder)
        pattern.replace(separator, placeholder);
    return pattern;
}

TFormatSettings withDecimal(TFormatSettings s, QChar decimal)
{
    s.DecimalSeparator = decimal;
    // A grouping character equal to the decimal one would make numbers ambiguous.
    if (s.ThousandSeparator == decimal)
        s.ThousandSeparator = decimal == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
    return s;
}

TFormatSettings makeDevice()
{
    TFormatSettings s;  // the defaults are the device's notation
    s.DecimalSeparator = QLatin1Char('.');
    s.ThousandSeparator = QLatin1Char(',');
    s.DateSeparator = QLatin1Char('.');
    s.TimeSeparator = QLatin1Char(':');
    s.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    s.LongDateFormat = QStringLiteral("dd/MM/yyyy");
    s.ShortTimeFormat = QStringLiteral("hh:mm");
    s.LongTimeFormat = QStringLiteral("hh:mm:ss");
    return s;
}

struct TFormats {
    TFormatSettings point = withDecimal(TFormatSettings::FromLocale(QLocale::system()), QLatin1Char('.'));
    TFormatSettings comma = withDecimal(TFormatSettings::FromLocale(QLocale::system()), QLatin1Char(','));
    TFormatSettings display = TFormatSettings::FromLocale(QLocale(QStringLiteral("de-DE")));
    TFormatSettings device = makeDevice();
};

TFormats& formats()
{
    static TFormats f;
    return f;
}

}  // namespace

TFormatSettings TFormatSettings::FromLocale(const QLocale& locale)
{
    TFormatSettings s;
    s.Locale = locale;
    s.DecimalSeparator = locale.decimalPoint().isEmpty() ? QLatin1Char('.') : locale.decimalPoint().at(0);
    s.ThousandSeparator = locale.groupSeparator().isEmpty() ? QLatin1Char(',') : locale.groupSeparator().at(0);
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    // Qt's long time format ends in the time zone ("HH:mm:ss t"); a time shown to the user never
    // carries one.
    QString longTime = locale.timeFormat(QLocale::LongFormat);
    longTime.remove(QRegularExpression(QStringLiteral("\\s*t+"))).squeeze();
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    s.DateSeparator = firstSeparator(shortDate, QLatin1Char('/'));
    s.TimeSeparator = firstSeparator(shortTime, QLatin1Char(':'));
    s.ShortDateFormat = toPlaceholders(shortDate, s.DateSeparator, QLatin1Char('/'));
    s.LongDateFormat = toPlaceholders(locale.dateFormat(QLocale::LongFormat), s.DateSeparator, QLatin1Char('/'));
    s.ShortTimeFormat = toPlaceholders(shortTime, s.TimeSeparator, QLatin1Char(':'));
    s.LongTimeFormat = toPlaceholders(longTime, s.TimeSeparator, QLatin1Char(':'));
    return s;
}

QString TFormatSettings::FormatFloat(double value, int decimals) const
{
    QString text = QString::number(value, 'f', qBound(0, decimals, 30));
    if (DecimalSeparator != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), DecimalSeparator);
    return text;
}

QString TFormatSettings::Format(const QString& pattern, const QVariantList& args) const
{
    QString out;
    out.reserve(pattern.size() + 16);
    int next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        if (i + 1 < pattern.size() && pattern.at(i + 1) == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        // %[flags][width][.precision][length]conversion
        qsizetype j = i + 1;
        while (j < pattern.size() && QStringLiteral("-+ 0#").contains(pattern.at(j)))
            ++j;
        while (j < pattern.size() && pattern.at(j).isDigit())
            ++j;
        if (j < pattern.size() && pattern.at(j) == QLatin1Char('.')) {
            ++j;
            while (j < pattern.size() && pattern.at(j).isDigit())
                ++j;
        }
        while (j < pattern.size() && QStringLiteral("hlLqjzt").contains(pattern.at(j)))
            ++j;
        if (j >= pattern.size() || next >= args.size()) {
            out += pattern.mid(i, j - i + (j < pattern.size() ? 1 : 0));
            i = j;
            continue;
        }
        const QChar conv = pattern.at(j);
        // The conversion without length modifiers, handed to printf with a fitting argument type.
        QString conversion = pattern.mid(i, j - i);
        while (!conversion.isEmpty() && QStringLiteral("hlLqjzt").contains(conversion.back()))
            conversion.chop(1);
        const QVariant& arg = args.at(next);
        bool used = true;
        switch (conv.unicode()) {
        case 'd':
        case 'i':
            out += QString::asprintf(qPrintable(conversion + QStringLiteral("lld")), arg.toLongLong());
            break;
        case 'u':
        case 'x':
        case 'X':
            out += QString::asprintf(qPrintable(conversion + QStringLiteral("ll") + conv), arg.toULongLong());
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            QString text = QString::asprintf(qPrintable(conversion + conv), arg.toDouble());
            if (DecimalSeparator != QLatin1Char('.'))
                text.replace(QLatin1Char('.'), DecimalSeparator);
            out += text;
            break;
        }
        case 's':
        case 'c': {
            QString text = conv == QLatin1Char('c') ? QString(arg.toString().left(1)) : arg.toString();
            // Width and precision apply to characters, not bytes.
            const QString flagsWidth = conversion.mid(1);
            const bool left = flagsWidth.startsWith(QLatin1Char('-'));
            QString rest = flagsWidth;
            while (!rest.isEmpty() && QStringLiteral("-+ 0#").contains(rest.front()))
                rest.remove(0, 1);
            const qsizetype dot = rest.indexOf(QLatin1Char('.'));
            const int width = (dot >= 0 ? rest.left(dot) : rest).toInt();
            if (dot >= 0)
                text.truncate(rest.mid(dot + 1).toInt());
            out += left ? text.leftJustified(width) : text.rightJustified(width);
            break;
        }
        default:
            used = false;
            out += pattern.mid(i, j - i + 1);
            break;
        }
        if (used)
            ++next;
        i = j;
    }
    return out;
}

bool TFormatSettings::ParseFloat(const QString& text, double& value) const
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    if (DecimalSeparator != QLatin1Char('.')) {
        if (ThousandSeparator == QLatin1Char('.') && t.contains(QLatin1Char('.')))
            return false;
        t.replace(DecimalSeparator, QLatin1Char('.'));
    }
    for (QChar c : t) {
        if (!c.isDigit() && !QStringLiteral(".+-eE").contains(c))
            return false;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (ok)
        value = v;
    return ok;
}

bool TFormatSettings::ParseInt(const QString& text, int& value) const
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        value = v;
    return ok;
}

QString TFormatSettings::QtPattern(const QString& pattern) const
{
    QString out;
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('/'))
            out += DateSeparator;
        else if (!quoted && c == QLatin1Char(':'))
            out += TimeSeparator;
        else
            out += c;
    }
    return out;
}

QString TFormatSettings::FormatDate(const QDate& date) const
{
    return Locale.toString(date, QtPattern(ShortDateFormat));
}

QString TFormatSettings::FormatTime(const QTime& time, bool seconds) const
{
    return Locale.toString(time, QtPattern(seconds ? LongTimeFormat : ShortTimeFormat));
}

QString TFormatSettings::FormatDateTime(const QDateTime& dateTime) const
{
    return FormatDate(dateTime.date()) + QLatin1Char(' ') + FormatTime(dateTime.time());
}

bool TFormatSettings::ParseDate(const QString& text, QDate& date) const
{
    const QDate d = Locale.toDate(text.trimmed(), QtPattern(ShortDateFormat));
    if (!d.isValid())
        return false;
    date = d;
    return true;
}

bool TFormatSettings::ParseTime(const QString& text, QTime& time) const
{
    for (const QString& pattern : {LongTimeFormat, ShortTimeFormat}) {
        const QTime t = Locale.toTime(text.trimmed(), QtPattern(pattern));
        if (t.isValid()) {
            time = t;
            return true;
        }
    }
    return false;
}

const TFormatSettings& FmtPoint()
{
    return formats().point;
}

const TFormatSettings& FmtComma()
{
    return formats().comma;
}

const TFormatSettings& FmtDisplay()
{
    return formats().display;
}

const TFormatSettings& FmtDevice()
{
    return formats().device;
}

void SetDisplayLocale(const QString& languageCode)
{
    QString name = languageCode;
    name.replace(QLatin1Char('_'), QLatin1Char('-'));
    formats().display = TFormatSettings::FromLocale(QLocale(name));
}
