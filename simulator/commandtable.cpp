#include "commandtable.h"

#include "devicemodel.h"

#include <algorithm>

void TCommandTable::add(const QString& word, TCommandHandler handler)
{
    FHandlers.insert(word, std::move(handler));
}

const TCommandHandler* TCommandTable::find(const QString& word) const
{
    const auto it = FHandlers.constFind(word);
    return it == FHandlers.constEnd() ? nullptr : &it.value();
}

QStringList TCommandTable::words() const
{
    QStringList list = FHandlers.keys();
    std::sort(list.begin(), list.end());
    return list;
}

QString AnswerPayload(const TCommandTable& table, TDeviceModel& model, const QString& command)
{
    const QString word = command.left(3);
    QStringList params;
    if (command.size() > 4)
        params = command.mid(4).split(QLatin1Char(';'));
    else if (command.size() == 4)
        params = QStringList{QString()};
    QStringList fields;
    if (const TCommandHandler* handler = table.find(word)) {
        // A set or an action counts as use of the device; polling does not keep it awake.
        if (word.startsWith(QLatin1Char('S')))
            model.noteActivity();
        fields = (*handler)(model, params);
    }
    if (fields.isEmpty())
        fields = QStringList{kUnknownField};
    QString payload = QLatin1Char('T') + word.mid(1, 2) + QLatin1Char(';');
    for (const QString& f : fields)
        payload += f + QLatin1Char(';');
    return payload;
}

bool IntParam(const QStringList& params, int index, int& value)
{
    if (index < 0 || index >= params.size())
        return false;
    const QString& text = params.at(index);
    // Digits with an optional sign only; no blanks, no "0x".
    if (text.isEmpty())
        return false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!(c.isDigit() || (i == 0 && text.size() > 1 && (c == QLatin1Char('-') || c == QLatin1Char('+')))))
            return false;
    }
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

bool IntParamIn(const QStringList& params, int index, int low, int high, int& value)
{
    int v = 0;
    if (!IntParam(params, index, v) || v < low || v > high)
        return false;
    value = v;
    return true;
}

QString FormatDecimal(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}
