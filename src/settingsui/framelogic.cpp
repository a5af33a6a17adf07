#include "framelogic.h"

#include <QLocale>

#include <cmath>

namespace {

const QStringList kBaudRates{QStringLiteral("2400"),  QStringLiteral("4800"),  QStringLiteral("9600"),
                             QStringLiteral("14400"), QStringLiteral("19200"), QStringLiteral("28800"),
                             QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")};

// "*.xls" -> "*.xls *.XLS"; "*.*" -> "*".
QString patternList(const QString& patterns)
{
    QStringList out;
    for (const QString& raw : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString p = raw.trimmed();
        if (p == QLatin1String("*.*") || p == QLatin1String("*")) {
            out << QStringLiteral("*");
            continue;
        }
        out << p.toLower();
        if (p.toUpper() != p.toLower())
            out << p.toUpper();
    }
    out.removeDuplicates();
    return out.join(QLatin1Char(' '));
}

}  // namespace

bool ParseFrameInteger(const QString& text, qint32& value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        value = v;
    return ok;
}

bool ParseFrameFloat(const QString& text, long double& value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    const QString separator = locale.decimalPoint();
    QString t = text.trimmed();
    t.replace(QLatin1Char('.'), separator);
    t.replace(QLatin1Char(','), separator);
    bool ok = false;
    const double v = locale.toDouble(t, &ok);
    if (ok)
        value = v;
    return ok;
}

bool CheckFrameText(const TValueNode& node, const QString& text, QString& errMsg)
{
    errMsg.clear();
    if (const auto* n = dynamic_cast<const TIntegerNode*>(&node)) {
        qint32 v = 0;
        if (!ParseFrameInteger(text, v)) {
            errMsg = SettingsMessage(TSettingsText::InvalidInteger, node.FLanguage);
            return false;
        }
        return n->CheckValue(v, errMsg);
    }
    if (const auto* n = dynamic_cast<const TFloatNode*>(&node)) {
        long double v = 0;
        if (!ParseFrameFloat(text, v)) {
            errMsg = SettingsMessage(TSettingsText::InvalidFloat, node.FLanguage);
            return false;
        }
        return n->CheckValue(v, errMsg);
    }
    if (const auto* n = dynamic_cast<const TStringNode*>(&node))
        return n->CheckValue(text, errMsg);
    return true;
}

QStringList SpinnerItems(const TSelectNode& node)
{
    if (dynamic_cast<const TLanguageNode*>(&node))
        return node.items;
    QStringList out;
    for (int i = 0; i < node.items.size(); ++i)
        out << FillText(QStringLiteral("%s|%d"), {node.items.at(i), QString::number(i)});
    return out;
}

QString SpinnerItemText(const QString& item)
{
    const qsizetype bar = item.indexOf(QLatin1Char('|'));
    return bar < 0 ? item : item.left(bar);
}

int SpinnerItemNumber(const QString& item)
{
    const qsizetype bar = item.indexOf(QLatin1Char('|'));
    bool ok = false;
    const int n = bar < 0 ? -1 : item.mid(bar + 1).toInt(&ok);
    return ok ? n : -1;
}

int RadioFrameHeight(int itemCount)
{
    const int rows = (itemCount + 2) / 3;
    return rows * 20 + 25;
}

QString DialogFilter(const QString& delphiFilter)
{
    const QStringList parts = delphiFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts.at(i) + QStringLiteral(" (") + patternList(parts.at(i + 1)) + QLatin1Char(')');
    return filters.join(QStringLiteral(";;"));
}

TInfoTextKind InfoTextKind(const QString& text)
{
    if (text.startsWith(QLatin1String("{\\rtf")))
        return TInfoTextKind::Rtf;
    if (text.startsWith(QLatin1String("<html"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("<!DOCTYPE html"), Qt::CaseInsensitive))
        return TInfoTextKind::Html;
    return TInfoTextKind::Plain;
}

QString RtfToPlain(const QString& rtf)
{
    // Groups that hold no readable text.
    static const QStringList hidden{QStringLiteral("fonttbl"), QStringLiteral("colortbl"),
                                    QStringLiteral("stylesheet"), QStringLiteral("info"), QStringLiteral("pict")};
    QString out;
    QList<bool> skipStack{false};
    const qsizetype n = rtf.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = rtf.at(i);
        const bool skipping = skipStack.last();
        if (c == QLatin1Char('{')) {
            skipStack.append(skipping);
            continue;
        }
        if (c == QLatin1Char('}')) {
            if (skipStack.size() > 1)
                skipStack.removeLast();
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            continue;
        if (c != QLatin1Char('\\')) {
            if (!skipping)
                out += c;
            continue;
        }
        if (i + 1 >= n)
            break;
        const QChar next = rtf.at(i + 1);
        if (next == QLatin1Char('\\') || next == QLatin1Char('{') || next == QLatin1Char('}')) {
            if (!skipping)
                out += next;
            ++i;
            continue;
        }
        if (next == QLatin1Char('*')) {
            skipStack.last() = true;
            ++i;
            continue;
        }
        if (next == QLatin1Char('\'')) {
            bool ok = false;
            const int code = rtf.mid(i + 2, 2).toInt(&ok, 16);
            if (ok && !skipping)
                out += QChar::fromLatin1(char(code));
            i += 3;
            continue;
        }
        // A control word: letters, an optional number, an optional blank.
        qsizetype j = i + 1;
        while (j < n && rtf.at(j).isLetter())
            ++j;
        const QString word = rtf.mid(i + 1, j - i - 1);
        if (j < n && (rtf.at(j) == QLatin1Char('-') || rtf.at(j).isDigit())) {
            ++j;
            while (j < n && rtf.at(j).isDigit())
                ++j;
        }
        if (j < n && rtf.at(j) == QLatin1Char(' '))
            ++j;
        i = j - 1;
        if (hidden.contains(word))
            skipStack.last() = true;
        else if (!skipping && (word == QLatin1String("par") || word == QLatin1String("line")))
            out += QLatin1Char('\n');
        else if (!skipping && word == QLatin1String("tab"))
            out += QLatin1Char('\t');
    }
    return out.trimmed();
}

QString PortListLine(const TPortEntry& entry)
{
    return QStringLiteral("%1  %2 ").arg(entry.Port, 6).arg(entry.Description);
}

QStringList PortChoices(const QList<TPortEntry>& found, const QString& current)
{
    QStringList out;
    for (const TPortEntry& e : found) {
        if (!out.contains(e.Port))
            out << e.Port;
    }
    if (!current.isEmpty() && !out.contains(current))
        out << current;
    return out;
}

QStringList BaudChoices(const QString& current)
{
    QStringList out = kBaudRates;
    if (current.isEmpty() || out.contains(current))
        return out;
    bool numeric = false;
    const qint64 rate = current.toLongLong(&numeric);
    qsizetype at = out.size();
    if (numeric) {
        for (qsizetype i = 0; i < out.size(); ++i) {
            if (out.at(i).toLongLong() > rate) {
                at = i;
                break;
            }
        }
    }
    out.insert(at, current);
    return out;
}

TTableCheck CheckTableCells(const TFloatTableNode& node, const std::function<QString(int col, int row)>& cellText)
{
    TTableCheck check;
    for (int col = 0; col < node.cols && check.ok(); ++col) {
        for (int row = 0; row < node.rows; ++row) {
            long double v = 0;
            QString msg;
            if (!ParseFrameFloat(cellText(col, row), v)) {
                msg = SettingsMessage(TSettingsText::InvalidFloat, node.FLanguage);
            } else if (col < node.minVals.size() && v < node.minVals.at(col)) {
                msg = SettingsMessage(TSettingsText::FloatTooSmall, node.FLanguage,
                                      {FormatFixed(node.minVals.at(col), node.decimals)});
            } else if (col < node.maxVals.size() && v > node.maxVals.at(col)) {
                msg = SettingsMessage(TSettingsText::FloatTooLarge, node.FLanguage,
                                      {FormatFixed(node.maxVals.at(col), node.decimals)});
            }
            if (msg.isEmpty()) {
                check.valid.append({col, row, v});
            } else if (check.ok()) {
                check.badCol = col;
                check.badRow = row;
                check.message = msg;
            }
        }
    }
    return check;
}

QString CheckComPortNumbers(const TComPortNode& node, const QString& timeOut, const QString& interval)
{
    QStringList errors;
    qint32 v = 0;
    if (!ParseFrameInteger(timeOut, v))
        errors << SettingsMessage(TSettingsText::NamedInvalidInteger, node.FLanguage,
                                  {SettingsText(TSettingsText::Timeout, node.FLanguage)});
    if (!ParseFrameInteger(interval, v))
        errors << SettingsMessage(TSettingsText::NamedInvalidInteger, node.FLanguage,
                                  {SettingsText(TSettingsText::ReadInterval, node.FLanguage)});
    return errors.join(QStringLiteral(", "));
}

QString DisplayText(const TSettingsNode& node, bool debugMode)
{
    if (node.caption.isEmpty() && debugMode)
        return node.identifier;
    return node.caption;
}

namespace {

void fillEntries(TGroupNode& group, int depth, bool debugMode, QList<TTreeEntry>& out)
{
    const QString text = DisplayText(group, debugMode);
    if (text.isEmpty())
        return;
    out.append({&group, text, depth});
    for (const auto& child : group.children) {
        if (auto* sub = dynamic_cast<TGroupNode*>(child.get()))
            fillEntries(*sub, depth + 1, debugMode, out);
    }
}

}  // namespace

QList<TTreeEntry> TreeEntries(TGroupNode& root, bool debugMode)
{
    QList<TTreeEntry> out;
    fillEntries(root, 0, debugMode, out);
    return out;
}

QList<TValueNode*> FrameNodes(const TGroupNode& group, bool debugMode)
{
    QList<TValueNode*> out;
    for (const auto& child : group.children) {
        auto* value = dynamic_cast<TValueNode*>(child.get());
        if (value && !DisplayText(*value, debugMode).isEmpty())
            out << value;
    }
    return out;
}
