#pragma once
// Read access to the fields of an answer payload ("TSB;5;..."), numbered from 1 like GetToken:
// field 1 is the answer word. A field can be missing, present but not a value of the asked
// kind, or a value; the parsers of every window tell these apart through TField.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

enum class TFieldResult { Ok, Missing, NotAValue };

template <typename T>
struct TField {
    TFieldResult Result = TFieldResult::Missing;
    T Value{};
    bool ok() const { return Result == TFieldResult::Ok; }
    bool missing() const { return Result == TFieldResult::Missing; }
    T valueOr(const T& fallback) const { return ok() ? Value : fallback; }
};

class TAnswerFields {
public:
    explicit TAnswerFields(const QString& payload);

    // Number of fields as GetToken counts them (a trailing ";" makes a last empty field).
    int count() const { return int(FFields.size()); }
    bool has(int n) const { return n >= 1 && n <= count(); }
    QString word() const { return text(1); }
    // Field n as sent; empty when missing.
    QString text(int n) const;
    TField<QString> textAt(int n) const;
    // The text from field n on, delimiters included (GetToken's negative index).
    QString rest(int n) const;

    // Decimal integer, blanks around it allowed.
    TField<int> intAt(int n) const;
    TField<qint64> int64At(int n) const;
    // Decimal in the device's notation ("." as separator).
    TField<double> floatAt(int n) const;
    // "dd.mm.yyyy" and "hh:mm:ss" (also "hh:mm") as the device writes them.
    TField<QDate> dateAt(int n) const;
    TField<QTime> timeAt(int n) const;

private:
    QString FPayload;
    QStringList FFields;
};
