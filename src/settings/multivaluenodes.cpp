#include "multivaluenodes.h"

#include "settingsini.h"

#include <cmath>
#include <limits>

namespace {

QString cellKey(int col, int row)
{
    return QStringLiteral("%1-%2").arg(col).arg(row);
}

QString kindName(int kind)
{
    switch (kind) {
    case 0: return TypeNameInteger();
    case 1: return TypeNameString();
    default: return TypeNameBoolean();
    }
}

const QString kComPortFields[] = {QStringLiteral("ComPort"), QStringLiteral("BaudRate"), QStringLiteral("Log"),
                                  QStringLiteral("TimeOut"), QStringLiteral("Interval")};

}  // namespace

// --- TFloatTableNode ---

TFloatTableNode::TFloatTableNode(const QString& identifier_, const QStringList& captions_, qint32 cols_,
                                 qint32 rows_, const TStringArrArr& colCaps_, const QList<TFloatArr>& defaults_,
                                 qint32 decimals_, const TFloatArr& minVals_, const TFloatArr& maxVals_)
    : TMultiValueNode(identifier_, captions_), rows(rows_ < 0 ? 0 : rows_), cols(cols_ < 0 ? 0 : cols_),
      decimals(decimals_), colLangCaps(colCaps_), colCaps(colCaps_.isEmpty() ? QStringList() : colCaps_.first())
{
    constexpr long double inf = std::numeric_limits<long double>::infinity();
    for (int c = 0; c < cols; ++c) {
        minVals.append(c < minVals_.size() ? minVals_.at(c) : -inf);
        maxVals.append(c < maxVals_.size() ? maxVals_.at(c) : inf);
        TFloatArr column;
        for (int r = 0; r < rows; ++r)
            column.append(c < defaults_.size() && r < defaults_.at(c).size() ? defaults_.at(c).at(r) : 0.0L);
        defaults.append(column);
    }
    values = defaults;
}

void TFloatTableNode::coordsFromPath(const QString& path, int& x, int& y) const
{
    if (path.isEmpty())
        return;
    if (x >= 0 || y >= 0)
        Raise(TSettingsText::CoordinatesTwice);
    const QStringList parts = SplitPath(path);
    if (parts.size() > 2)
        Raise(TSettingsText::TooManyParameters);
    bool ok = true;
    if (parts.size() >= 1) {
        x = parts.at(0).toInt(&ok);
        if (!ok)
            Raise(TSettingsText::CoordNotInteger, {QStringLiteral("X")});
    }
    if (parts.size() == 2) {
        y = parts.at(1).toInt(&ok);
        if (!ok)
            Raise(TSettingsText::CoordNotInteger, {QStringLiteral("Y")});
    }
}

void TFloatTableNode::checkCell(int x, int& y) const
{
    if (rows == 1 && y == -1)
        y = 0;
    if (x < 0 || x >= cols || y < 0 || y >= rows)
        Raise(TSettingsText::OutOfRange);
}

long double TFloatTableNode::GetFloat(int x, int y) const
{
    checkCell(x, y);
    return values.at(x).at(y);
}

QString TFloatTableNode::GetStr(int x, int y) const
{
    return FormatFixed(GetFloat(x, y), decimals);
}

bool TFloatTableNode::SetFloat(long double val, QString& errMsg, int x, int y)
{
    checkCell(x, y);
    if (std::isnan(val)) {
        errMsg = Message(TSettingsText::InvalidFloat);
        return false;
    }
    if (val < minVals.at(x)) {
        errMsg = Message(TSettingsText::FloatTooSmall, {FormatFixed(minVals.at(x), decimals)});
        return false;
    }
    if (val > maxVals.at(x)) {
        errMsg = Message(TSettingsText::FloatTooLarge, {FormatFixed(maxVals.at(x), decimals)});
        return false;
    }
    values[x][y] = val;
    NotifyChanged();
    return true;
}

long double TFloatTableNode::GetFloatP(const QString& path, int x, int y) const
{
    coordsFromPath(path, x, y);
    return GetFloat(x, y);
}

QString TFloatTableNode::GetStrP(const QString& path, int x, int y) const
{
    coordsFromPath(path, x, y);
    return GetStr(x, y);
}

bool TFloatTableNode::SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y)
{
    coordsFromPath(path, x, y);
    return SetFloat(val, errMsg, x, y);
}

qint32 TFloatTableNode::GetIntP(const QString& path, int x, int y) const
{
    if (x >= 0 || y >= 0)
        Raise(TSettingsText::CoordinatesTwice);
    const QStringList parts = SplitPath(path);
    if (parts.size() > 1)
        Raise(TSettingsText::PathTooLong);
    const QString name = parts.value(0);
    if (name.compare(QLatin1String("count"), Qt::CaseInsensitive) == 0 && rows == 1)
        return cols;
    if (name.compare(QLatin1String("cols"), Qt::CaseInsensitive) == 0)
        return cols;
    if (name.compare(QLatin1String("rows"), Qt::CaseInsensitive) == 0)
        return rows;
    Raise(TSettingsText::CannotAccess, {path});
}

bool TFloatTableNode::GetBoolP(const QString&, int, int) const
{
    Raise(TSettingsText::CannotReturnType, {TypeNameBoolean()});
}

bool TFloatTableNode::SetIntP(const QString&, qint32, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameInteger()});
}

bool TFloatTableNode::SetStrP(const QString&, const QString&, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameString()});
}

bool TFloatTableNode::SetBoolP(const QString&, bool, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameBoolean()});
}

void TFloatTableNode::SetLanguage(int lang)
{
    TMultiValueNode::SetLanguage(lang);
    if (!colLangCaps.isEmpty())
        colCaps = lang < colLangCaps.size() ? colLangCaps.at(lang) : colLangCaps.first();
}

void TFloatTableNode::SaveToFile(TSettingsIni& ini) const
{
    const QString section = ToString();
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            ini.WriteString(section, cellKey(c, r), FloatToIniText(values.at(c).at(r)));
}

void TFloatTableNode::ReadFromFile(const TSettingsIni& ini)
{
    const QString section = ToString();
    QList<TFloatArr> read = values;
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            const QString text = ini.ReadString(section, cellKey(c, r), FloatToIniText(defaults.at(c).at(r)));
            if (!IniTextToFloat(text, read[c][r]))
                RaiseSettingsError(FloatConversionMessage(text, section + QLatin1Char('/') + cellKey(c, r), FLanguage));
        }
    }
    values = read;
    NotifyChanged();
}

// --- TComPortNode ---

TComPortNode::TComPortNode(const QString& identifier_, const QStringList& captions_, const TComPortVals& defaults_,
                           bool withBaud_)
    : TMultiValueNode(identifier_, captions_), defaults(defaults_), values(defaults_), withBaud(withBaud_)
{
}

TComPortNode::TComPortNode(const QString& identifier_, const QStringList& captions_, const QString& comPort,
                           const QString& baudRate, bool log, qint32 timeOut, qint32 interval, bool withBaud_)
    : TComPortNode(identifier_, captions_, TComPortVals{comPort, baudRate, log, timeOut, interval}, withBaud_)
{
}

void TComPortNode::checkY(int y) const
{
    if (y >= 0)
        Raise(TSettingsText::OnlyNegativeY);
}

void TComPortNode::raiseNoField(TKind kind, int x) const
{
    Raise(TSettingsText::NoFieldWithX, {kindName(static_cast<int>(kind)), QString::number(x)});
}

qint32 TComPortNode::GetInt(int x, int y) const
{
    checkY(y);
    if (x == 3)
        return values.TimeOut;
    if (x == 4)
        return values.Interval;
    raiseNoField(TKind::Integer, x);
}

QString TComPortNode::GetStr(int x, int y) const
{
    checkY(y);
    switch (x) {
    case 0: return values.ComPort;
    case 1: return values.BaudRate;
    case 2: return values.Log ? QStringLiteral("True") : QStringLiteral("False");
    case 3: return QString::number(values.TimeOut);
    case 4: return QString::number(values.Interval);
    default: raiseNoField(TKind::String, x);
    }
}

bool TComPortNode::GetBool(int x, int y) const
{
    checkY(y);
    if (x == 2)
        return values.Log;
    raiseNoField(TKind::Boolean, x);
}

bool TComPortNode::SetInt(qint32 val, QString&, int x, int y)
{
    checkY(y);
    if (x == 3)
        values.TimeOut = val;
    else if (x == 4)
        values.Interval = val;
    else
        raiseNoField(TKind::Integer, x);
    NotifyChanged();
    return true;
}

bool TComPortNode::SetStr(const QString& val, QString&, int x, int y)
{
    checkY(y);
    if (x == 0)
        values.ComPort = val;
    else if (x == 1)
        values.BaudRate = val;
    else
        raiseNoField(TKind::String, x);
    NotifyChanged();
    return true;
}

bool TComPortNode::SetBool(bool val, QString&, int x, int y)
{
    checkY(y);
    if (x != 2)
        raiseNoField(TKind::Boolean, x);
    values.Log = val;
    NotifyChanged();
    return true;
}

int TComPortNode::fieldFromPath(const QString& path, int x, int y, TKind kind, bool reading) const
{
    checkY(y);
    QString name = path;
    name.remove(QLatin1Char('/'));
    if (name.isEmpty() && x >= 0)
        return x;
    if (!name.isEmpty() && x >= 0)
        Raise(TSettingsText::CoordinatesTwice);
    int field = -1;
    for (int i = 0; i < 5; ++i)
        if (kComPortFields[i] == name)
            field = i;
    const bool fits = field >= 0
                      && ((kind == TKind::String && (reading || field <= 1)) || (kind == TKind::Boolean && field == 2)
                          || (kind == TKind::Integer && field >= 3));
    if (!fits)
        Raise(TSettingsText::CannotAccessAs, {path, kindName(static_cast<int>(kind))});
    return field;
}

qint32 TComPortNode::GetIntP(const QString& path, int x, int y) const
{
    return GetInt(fieldFromPath(path, x, y, TKind::Integer, true), y);
}

QString TComPortNode::GetStrP(const QString& path, int x, int y) const
{
    return GetStr(fieldFromPath(path, x, y, TKind::String, true), y);
}

bool TComPortNode::GetBoolP(const QString& path, int x, int y) const
{
    return GetBool(fieldFromPath(path, x, y, TKind::Boolean, true), y);
}

long double TComPortNode::GetFloatP(const QString&, int, int) const
{
    Raise(TSettingsText::CannotReturnType, {TypeNameFloat()});
}

bool TComPortNode::SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y)
{
    return SetInt(val, errMsg, fieldFromPath(path, x, y, TKind::Integer, false), y);
}

bool TComPortNode::SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y)
{
    return SetStr(val, errMsg, fieldFromPath(path, x, y, TKind::String, false), y);
}

bool TComPortNode::SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y)
{
    return SetBool(val, errMsg, fieldFromPath(path, x, y, TKind::Boolean, false), y);
}

bool TComPortNode::SetFloatP(const QString&, long double, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameFloat()});
}

void TComPortNode::SaveToFile(TSettingsIni& ini) const
{
    const QString section = ToString();
    ini.WriteString(section, QStringLiteral("ComPort"), values.ComPort);
    if (withBaud)
        ini.WriteString(section, QStringLiteral("BaudRate"), values.BaudRate);
    ini.WriteBool(section, QStringLiteral("Log"), values.Log);
    ini.WriteInteger(section, QStringLiteral("TimeOut"), values.TimeOut);
    ini.WriteInteger(section, QStringLiteral("Interval"), values.Interval);
}

void TComPortNode::ReadFromFile(const TSettingsIni& ini)
{
    const QString section = ToString();
    values.ComPort = ini.ReadString(section, QStringLiteral("ComPort"), defaults.ComPort);
    if (withBaud)
        values.BaudRate = ini.ReadString(section, QStringLiteral("BaudRate"), defaults.BaudRate);
    values.Log = ini.ReadBool(section, QStringLiteral("Log"), defaults.Log);
    values.TimeOut = ini.ReadInteger(section, QStringLiteral("TimeOut"), defaults.TimeOut);
    values.Interval = ini.ReadInteger(section, QStringLiteral("Interval"), defaults.Interval);
    NotifyChanged();
}
