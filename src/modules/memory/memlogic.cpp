#include "memlogic.h"

#include "answerfields.h"
#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"
#include "settingsform.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

Q_LOGGING_CATEGORY(lcMemory, "sarvik.modules.memory")

namespace {

constexpr int kClientId = ciMem;
// Requests are numbered over the whole run of the program, across reopened windows.
int gRequestCounter = 0;

const char* const kTargetNames[kMemTargetCount] = {"RAM", "EEPROM", "BCK RAM", "FLASH"};

QString key(const char* name)
{
    return QStringLiteral("MemoryMon/") + QLatin1String(name);
}

}  // namespace

QString MemTargetName(int position)
{
    return position >= 0 && position < kMemTargetCount ? QLatin1String(kTargetNames[position]) : QString();
}

QColor MemTargetColour(int position)
{
    switch (position) {
    case 0: return QColor(0, 0, 128);    // navy
    case 1: return QColor(128, 0, 128);  // purple
    case 2: return QColor(255, 0, 0);    // red
    default: return QColor(0, 128, 0);   // green
    }
}

int MemTargetPosition(const QString& name)
{
    for (int p = 0; p < kMemTargetCount; ++p) {
        if (name == QLatin1String(kTargetNames[p]))
            return p;
    }
    return -1;
}

bool ParseMemInt(const QString& text, int& value)
{
    static const QRegularExpression dec(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression hex(QStringLiteral("^\\$[0-9A-Fa-f]+$"));
    const QString t = text.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (dec.match(t).hasMatch())
        v = t.toLongLong(&ok, 10);
    else if (hex.match(t).hasMatch())
        v = t.mid(1).toLongLong(&ok, 16);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(v);
    return true;
}

TMemLogic::TMemLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
{
}

void TMemLogic::message(const QString& text)
{
    if (FMessageBox)
        FMessageBox(text);
}

void TMemLogic::setInt(const char* name, int value)
{
    try {
        FContext.Settings().SetInt(key(name), value);
    } catch (const std::exception& e) {
        qCWarning(lcMemory) << "setting not stored:" << e.what();
    }
}

void TMemLogic::FormShow()
{
    try {
        TFSettingsForm& s = FContext.Settings();
        const int target = s.GetInt(key("Target"));
        FInputs.Target = target >= 0 && target < kMemTargetCount ? target : 0;
        FInputs.Address = QString::number(s.GetInt(key("Address")));
        FInputs.WriteText = s.GetStr(key("WriteVal"));
        FInputs.Hex = s.GetBool(key("Hex"));
        FInputs.Count = QString::number(s.GetInt(key("Len")));
    } catch (const std::exception& e) {
        qCWarning(lcMemory) << "settings not read:" << e.what();
    }
    FRows.clear();
    Q_EMIT InputsChanged();
    Q_EMIT RowsChanged(-1);
    Q_EMIT ViewChanged();
}

void TMemLogic::FormClose()
{
    setInt("Target", FInputs.Target);
    try {
        FContext.Settings().SetBool(key("Hex"), FInputs.Hex);
    } catch (const std::exception& e) {
        qCWarning(lcMemory) << "setting not stored:" << e.what();
    }
}

void TMemLogic::SetOnOffLine(int)
{
    Q_EMIT ViewChanged();
}

int TMemLogic::saveTarget()
{
    setInt("Target", FInputs.Target);
    return std::clamp(FInputs.Target, 0, kMemTargetCount - 1);
}

bool TMemLogic::readAddress(int& address)
{
    if (!ParseMemInt(FInputs.Address, address)) {
        FAddressState = TFieldState::Invalid;
        Q_EMIT ViewChanged();
        return false;
    }
    setInt("Address", address);
    return true;
}

void TMemLogic::btnReadClick()
{
    const int target = saveTarget();
    int address = 0;
    if (!readAddress(address))
        return;
    FAddressState = TFieldState::Sent;
    int count = 0;
    if (!ParseMemInt(FInputs.Count, count)) {
        FCountState = TFieldState::Invalid;
        Q_EMIT ViewChanged();
        return;
    }
    count = std::clamp(count, 1, kMemMaxCount);
    FInputs.Count = QString::number(count);
    setInt("Len", count);
    const int nr = ++gRequestCounter;
    FCounter = nr;
    SendOrder(kClientId, QStringLiteral("GHM;%1;%2;%3").arg(target + 1).arg(address).arg(count), nr);
    FCountState = TFieldState::Sent;
    FRows.append(TMemRow{nr, false, target, address, count, {}});
    Q_EMIT InputsChanged();
    Q_EMIT RowsChanged(-1);
    Q_EMIT ViewChanged();
}

void TMemLogic::btnWriteClick()
{
    const int target = saveTarget();
    if (target == kMemTargetFlash) {
        message(Tr("FLASH kann nicht beschrieben werden!"));
        return;
    }
    int address = 0;
    if (!readAddress(address))
        return;
    if (FInputs.WriteText.isEmpty()) {
        FWriteState = TFieldState::Invalid;
        Q_EMIT ViewChanged();
        return;
    }
    const QStringList texts = FInputs.WriteText.split(QLatin1Char(';'));
    const int n = static_cast<int>(texts.size());
    setInt("Len", n);
    QString values;
    for (int i = 0; i < n; ++i) {
        int v = 0;
        if (!ParseMemInt(texts.at(i), v)) {
            message(FmtDisplay().Format(Tr("Fehler im Byte Nr. %d"), {i + 1}));
            return;
        }
        values += QString::number(v) + QLatin1Char(';');
    }
    const int nr = ++gRequestCounter;
    FCounter = nr;
    try {
        FContext.Settings().SetStr(key("WriteVal"), FInputs.WriteText);
    } catch (const std::exception& e) {
        qCWarning(lcMemory) << "setting not stored:" << e.what();
    }
    SendOrder(kClientId, QStringLiteral("SHM;%1;%2;%3;%4").arg(target + 1).arg(address).arg(n).arg(values), nr);
    FWriteState = TFieldState::Normal;
    FRows.append(TMemRow{nr, true, target, address, n, {}});
    Q_EMIT RowsChanged(-1);
    Q_EMIT ViewChanged();
}

void TMemLogic::btnClearClick()
{
    FRows.clear();
    Q_EMIT RowsChanged(-1);
}

bool TMemLogic::RowDoubleClick(int index)
{
    if (index < 0 || index >= FRows.size())
        return false;
    const TMemRow& row = FRows.at(index);
    FInputs.Target = row.Target;
    FInputs.Address = QString::number(row.Address);
    FInputs.Count = QString::number(row.Count);
    if (row.Write) {
        QStringList cells;
        for (int i = 0; i < row.Count && i < row.Data.size(); ++i)
            cells << row.Data.at(i).trimmed();
        FInputs.WriteText = cells.join(QLatin1Char(';'));
    }
    Q_EMIT InputsChanged();
    return row.Write;
}

void TMemLogic::RXData(int status, int tag, const QString& data)
{
    if (status != kOrderDone) {
        FWriteState = TFieldState::Invalid;
        FAddressState = TFieldState::Invalid;
        Q_EMIT ViewChanged();
        return;
    }
    const TAnswerFields f(data);
    if (f.word() != QLatin1String("THM"))
        return;
    if (!f.intAt(3).ok()) {
        FAddressState = TFieldState::Invalid;
        Q_EMIT ViewChanged();
    }
    const TField<int> count = f.intAt(4);
    if (!count.ok() || count.Value <= 0)
        return;
    // The row of the request: answers of quick reads do not pile up in the newest row.
    const auto it = std::find_if(FRows.begin(), FRows.end(), [tag](const TMemRow& r) { return r.Nr == tag; });
    if (it == FRows.end())
        return;
    for (int i = 0; i < count.Value; ++i) {
        const int n = 5 + i;
        if (!f.has(n))
            break;
        const TField<int> byte = f.intAt(n);
        if (!byte.ok())
            it->Data << QStringLiteral("??");
        else if (FInputs.Hex)
            it->Data << FmtPoint().Format(QStringLiteral("$%0.2X"), {byte.Value});
        else
            it->Data << FmtPoint().Format(QStringLiteral("%3d"), {byte.Value});
    }
    Q_EMIT RowsChanged(static_cast<int>(it - FRows.begin()));
}
