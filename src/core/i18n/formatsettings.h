#pragma once
// Number and date notations: FmtPoint and FmtComma for files, FmtDisplay for what the user
// sees (follows the program language), FmtDevice for the device's own notation.

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <QVariantList>

struct TFormatSettings {
    QLocale Locale = QLocale::c();
    QChar DecimalSeparator = QLatin1Char('.');
    QChar ThousandSeparator = QLatin1Char(',');
    QChar DateSeparator = QLatin1Char('.');
    QChar TimeSeparator = QLatin1Char(':');
    // Date and time patterns with Qt's letters; "/" stands for DateSeparator and ":" for
    // TimeSeparator, so one pattern serves every separator.
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    QString LongDateFormat = QStringLiteral("dd/MM/yyyy");
    QString ShortTimeFormat = QStringLiteral("hh:mm");
    QString LongTimeFormat = QStringLiteral("hh:mm:ss");

    // The notation of locale: its separators and date/time patterns.
    static TFormatSettings FromLocale(const QLocale& locale);

    // value with a fixed number of decimals ("%.2f"), DecimalSeparator, no grouping.
    QString FormatFloat(double value, int decimals) const;
    // printf-style pattern: %d %i %u %x %X %f %e %g %s %c %% with flags, width and precision
    // ("%2.2d", "%-8s", "%.3f"); floats use DecimalSeparator. A conversion without an argument
    // is left as written.
    QString Format(const QString& pattern, const QVariantList& args) const;

    // A decimal number written with DecimalSeparator (a "." is accepted as well when it is not
    // the thousand separator); surrounding blanks allowed, grouping not. False on anything else.
    bool ParseFloat(const QString& text, double& value) const;
    bool ParseInt(const QString& text, int& value) const;

    QString FormatDate(const QDate& date) const;                   // ShortDateFormat
    QString FormatTime(const QTime& time, bool seconds = true) const;  // Long/ShortTimeFormat
    QString FormatDateTime(const QDateTime& dateTime) const;       // date + " " + long time
    bool ParseDate(const QString& text, QDate& date) const;
    bool ParseTime(const QString& text, QTime& time) const;

    // A pattern of this struct in Qt's notation with the separators filled in.
    QString QtPattern(const QString& pattern) const;
};

// The four notations, created on first use. FmtDisplay follows SetProgramLanguage.
const TFormatSettings& FmtPoint();
const TFormatSettings& FmtComma();
const TFormatSettings& FmtDisplay();
const TFormatSettings& FmtDevice();

// Sets FmtDisplay to the locale of a language code ("de_DE" becomes "de-DE").
void SetDisplayLocale(const QString& languageCode);
