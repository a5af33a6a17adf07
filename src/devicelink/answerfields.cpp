#include "answerfields.h"

namespace {

template <typename T, typename Conv>
TField<T> convert(const TField<QString>& f, Conv conv)
{
    TField<T> r;
    if (f.missing())
        return r;
    bool ok = false;
    const T v = conv(f.Value.trimmed(), ok);
    r.Result = ok ? TFieldResult::Ok : TFieldResult::NotAValue;
    if (ok)
        r.Value = v;
    return r;
}

}  // namespace

TAnswerFields::TAnswerFields(const QString& payload)
    : FPayload(payload)
{
    if (!payload.isEmpty())
        FFields = payload.split(QLatin1Char(';'));
}

QString TAnswerFields::text(int n) const
{
    return has(n) ? FFields.at(n - 1) : QString();
}

TField<QString> TAnswerFields::textAt(int n) const
{
    TField<QString> r;
    if (has(n)) {
        r.Result = TFieldResult::Ok;
        r.Value = FFields.at(n - 1);
    }
    return r;
}

QString TAnswerFields::rest(int n) const
{
    if (!has(n))
        return {};
    qsizetype pos = 0;
    for (int i = 1; i < n; ++i)
        pos += FFields.at(i - 1).size() + 1;
    return FPayload.mid(pos);
}

TField<int> TAnswerFields::intAt(int n) const
{
    return convert<int>(textAt(n), [](const QString& s, bool& ok) { return s.toInt(&ok); });
}

TField<qint64> TAnswerFields::int64At(int n) const
{
    return convert<qint64>(textAt(n), [](const QString& s, bool& ok) { return s.toLongLong(&ok); });
}

TField<double> TAnswerFields::floatAt(int n) const
{
    // QString::toDouble reads the C locale: "." only, no group separators.
    return convert<double>(textAt(n), [](const QString& s, bool& ok) { return s.toDouble(&ok); });
}

TField<QDate> TAnswerFields::dateAt(int n) const
{
    return convert<QDate>(textAt(n), [](const QString& s, bool& ok) {
        const QDate d = QDate::fromString(s, QStringLiteral("dd.MM.yyyy"));
        ok = d.isValid();
        return d;
    });
}

TField<QTime> TAnswerFields::timeAt(int n) const
{
    return convert<QTime>(textAt(n), [](const QString& s, bool& ok) {
        QTime t = QTime::fromString(s, QStringLiteral("HH:mm:ss"));
        if (!t.isValid())
            t = QTime::fromString(s, QStringLiteral("HH:mm"));
        ok = t.isValid();
        return t;
    });
}
